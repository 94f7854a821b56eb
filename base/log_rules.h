#pragma once
// The run's log, as plain functions: the switch that turns it on, and the
// form of its lines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// What a log switch asks for: the file, or empty for the default one
// ("lexova-update.log" in the Temp folder).
struct LogRequest {
    std::wstring path;
};

// The log switch: "/log" alone, or "/log=" and a path, in any letter case.
// nullopt for any other argument ("/logfoo" included). UTF-16, as the wide
// command line gives it: the path may hold any letter.
std::optional<LogRequest> ParseLogSwitch(std::wstring_view argument);

// A log path as scripts write it ("C:/acc/logs/update.log") in the system's
// form: every "/" a backslash, which the long form ("\\?\C:\...") needs.
std::wstring WithBackslashes(std::wstring_view path);

// True for the whole path of a file, as GetFullPathNameW makes it: on a
// drive ("C:\Logs\x.log") or a network share ("\\server\share\x.log"),
// in the long form too ("\\?\C:\...", "\\?\UNC\server\share\..."),
// with a name after every backslash, no "." or ".." among them and no
// "/" or ":" in them. A
// device ("\\.\NUL", "\\.\pipe\x"), a volume by its GUID or a path
// still relative is no log file.
bool IsWholeFilePath(std::wstring_view path);

// True when `finalPath`, the path that GetFinalPathNameByHandleW gives for
// the held log folder ("\\?\C:\Logs", "\\?\UNC\server\share\Logs"),
// names `requestedFolder`, the folder of the whole log path: in any letter
// case of ASCII (the caller gives other letters in one case), with or
// without a trailing backslash or the long form's prefix. A junction in the
// middle of the requested path gives the final path of its target: another.
bool FinalPathIsFolder(std::wstring_view finalPath, std::wstring_view requestedFolder);

// The local time of a line.
struct LogTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// One line of the log: "YYYY-MM-DD HH:MM:SS.mmm ", the text with every line
// break turned into a space, and "\r\n".
std::string FormatLogLine(const LogTime& time, std::string_view text);

// Where a run's log goes: where the switch says, or, where nobody sees the
// installer and no switch was given, to the system's log folder, since a
// deployment tool's failed run leaves no other trace than its exit code.
enum class LogPlace { None, GivenPath, TempFolder, SystemLogFolder };
LogPlace LogPlaceOf(const std::optional<LogRequest>& request, bool seen);

// The file of a bare "/log": "lexova-update.log" in `tempFolder`.
std::wstring DefaultLogPath(std::wstring_view tempFolder);

// The log of a run that nobody sees: "Logs\Software\lexova-update.log" in
// the Windows folder.
std::wstring SystemLogFolder(std::wstring_view windowsFolder);
std::wstring SystemLogPath(std::wstring_view windowsFolder);

}  // namespace kavrel
