#pragma once
// The run's log, for an administrator who deploys the update to many
// machines: UTF-8 lines, each stamped with the local time, appended to one
// file that others may read while it is written. Off unless a log switch
// asked for it; a log that cannot be opened or written never changes the run.
#include <string>

#include "base/shown_text.h"

namespace kavrel {

// Opens the log file at `path` for appending; false when it cannot be
// opened (the run then goes on without a log). The path may be relative to
// the current folder, use forward slashes or name environment variables
// ("%ProgramData%\Lexova\update.log").
bool StartRunLog(const std::wstring& path);

// True while a log is open.
bool RunLogOn();

// Writes one line when the log is on: its pieces decoded each from its own
// code page, line breaks as spaces.
void LogLine(const ShownText& text);

// Closes the log.
void StopRunLog();

}  // namespace kavrel
