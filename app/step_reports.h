#pragma once
// What a run tells its user, its log and whoever started it. The steps show
// nothing: they hand the update flow a failure record, and every box, every
// log line of a failure and the exit code come from here, in the message
// language.
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"
#include "base/shown_text.h"
#include "install/resource_install.h"
#include "lang/message_rules.h"

namespace kavrel {

// Shows the messages the language files left since the last box, then the
// box of `call`; returns the system's answer.
int AskUser(const MessageBoxCall& call);

// As AskUser, for the bilingual error box (or another button set of it).
int TellUser(const ShownText& englishText, const ShownText& russianText, std::uint32_t flags = kErrorBoxFlags);

// What the log says of the Windows error a failure means: the system's
// English text; none for the installer's own refusal.
ShownText LoggedSystemText(const Failure& failure);

// Logs and shows the failures that the language files left, oldest first;
// they decide nothing of the run's outcome.
void ShowLanguageFileErrors();

// The one reporter of a run's failures. Each failure is logged in its own
// words ("<step> failed: ..., Windows error E: <text>", or "refused" where
// the installer itself refused) and shown in its box; the first that ends
// the run, or that the run goes on after, decides the exit code.
class RunReport {
public:
    // Logs a failure that decides nothing: what a probe met while it gave
    // its neutral answer, the lock the run goes on without.
    void Note(const Failure& failure) const;

    // Logs the failure, shows its box, and keeps it for the exit code unless
    // an earlier one decides.
    void Fail(const Failure& failure);

    // A failed write of `target`: logged and shown as "Can't install file
    // <target>" and why; in an interactive run (`offerRetry`) with Retry and
    // Cancel. True when the person asks to try again: the failure then
    // decides nothing. Otherwise it is kept as by Fail.
    bool FailWrite(const Failure& failure, const std::wstring& target, bool offerRetry);

    // The exit code of the run so far: 0, or the first failure's.
    std::uint32_t ExitCode() const { return ExitCodeOf(first_); }

private:
    std::optional<Failure> first_;
};

// Asks whether an older file may replace the installed one at `target`, in
// the selected language file's words where there is one.
bool AskAboutOlderFile(const std::wstring& target, const VersionComparison& versions);

}  // namespace kavrel
