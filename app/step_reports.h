#pragma once
// What a run tells its user and its log of each step's outcome. The steps
// show nothing: they hand the update flow what happened, and every box of a
// run goes through here, in the message language.
#include <cstdint>
#include <string>

#include "app/integrity_check.h"
#include "base/shown_text.h"
#include "install/extraction.h"
#include "install/resource_install.h"
#include "lang/message_rules.h"

namespace kavrel {

// Shows the messages the language files left since the last box, then the
// box of `call`; returns the system's answer.
int AskUser(const MessageBoxCall& call);

// As AskUser, for the bilingual error box (or another button set of it).
int TellUser(const ShownText& englishText, const ShownText& russianText, std::uint32_t flags = kErrorBoxFlags);

// Shows the messages that the language files left, oldest first.
void ShowLanguageFileErrors();

// The log line of a failed step: what failed, the path or key it concerned,
// and the Windows error with the system's text (none for error 0). A step
// that the installer refused is logged as refused, without an error.
void LogFailure(const std::string& step, const std::string& what, const ShownText& where, std::uint32_t error,
                bool refused = false);

// The box of a self-check that did not find the file intact.
void ReportIntegrity(IntegrityResult result);

// How the self-check ended, for the log.
const char* IntegrityLogText(IntegrityResult result);

// Logs a failed write (step, path, Windows error and its text) and shows
// "Can't install file <target>" with the reason; in an interactive run
// (`offerRetry`) with Retry and Cancel. True when the user asks to try again.
bool ReportWriteFailure(const std::wstring& target, const WriteOutcome& outcome, bool offerRetry);

// Asks whether an older file may replace the installed one at `target`, in
// the selected language file's words where there is one.
bool AskAboutOlderFile(const std::wstring& target, const VersionComparison& versions);

}  // namespace kavrel
