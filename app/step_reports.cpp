#include "app/step_reports.h"

#include "base/setup_state.h"
#include "install/install_rules.h"
#include "install/version_rules.h"
#include "lang/language_files.h"
#include "lang/messages.h"
#include "platform/failure_details.h"
#include "platform/run_log.h"

namespace kavrel {

namespace {
// The languages asked for the system's error texts.
constexpr std::uint16_t kRussianRussia = 0x0419;
constexpr std::uint16_t kEnglishUnitedStates = 0x0409;
}  // namespace

void ShowLanguageFileErrors() {
    for (const MessagePair& message : TakeLanguageFileErrors()) ShowBilingualMessage(message.english, message.russian);
}

int AskUser(const MessageBoxCall& call) {
    ShowLanguageFileErrors();
    return ShowMessageBox(call);
}

int TellUser(const ShownText& englishText, const ShownText& russianText, std::uint32_t flags) {
    ShowLanguageFileErrors();
    return ShowBilingualMessage(englishText, russianText, flags);
}

void ReportIntegrity(IntegrityResult result) {
    if (result == IntegrityResult::Distorted)
        TellUser("The package file has been distorted!\r\nVirus?", "Файл пакета установки искажён!\r\nВирус?");
    else
        TellUser("Failed to check up the package file!", "Не удаётся проверить файл пакета установки!");
}

const char* IntegrityLogText(IntegrityResult result) {
    switch (result) {
        case IntegrityResult::Intact:
            return "passed";
        case IntegrityResult::Distorted:
            return "failed, the file differs from its digest";
        case IntegrityResult::Unreadable:
            break;
    }
    return "failed, the file cannot be read";
}

void LogFailure(const std::string& step, const std::string& what, const ShownText& where, std::uint32_t error,
                bool refused) {
    if (refused) {
        LogLine(ProgramText(step) + " refused: " + ProgramText(what) + ", path " + where);
        return;
    }
    ShownText line = ProgramText(step) + " failed: " + SystemText(what);
    if (!where.Empty()) line += ", path " + where;
    if (error != 0)
        line += ", Windows error " + ProgramText(std::to_string(error)) + ": " +
                UnicodeText(SystemErrorText(error, kEnglishUnitedStates));
    LogLine(line);
}

bool ReportWriteFailure(const std::wstring& target, const WriteOutcome& outcome, bool offerRetry) {
    const std::uint32_t error = outcome.failure.error;
    LogFailure("write", outcome.step, WideText(outcome.path), error, outcome.refused);
    // From the UTF-16 path: read whole on any code page.
    const ShownText path = WideText(target);
    const ShownText holders = UnicodeText(outcome.holders);
    auto reason = [&](bool russian) {
        const ShownText errorText =
            outcome.failure.reason == WriteFailureReason::Other
                ? UnicodeText(SystemErrorText(error, russian ? kRussianRussia : kEnglishUnitedStates))
                : ShownText();
        return WriteFailureReasonText(russian, outcome.failure, holders, errorText);
    };
    const int answer = TellUser(InstallFailureText(false, path, reason(false)), InstallFailureText(true, path, reason(true)),
                            offerRetry ? kRetryErrorBoxFlags : kErrorBoxFlags);
    return offerRetry && answer == kIdRetry;
}

bool AskAboutOlderFile(const std::wstring& target, const VersionComparison& versions) {
    const SetupState& state = CurrentSetup();
    if (state.languageFileIndex >= 0) {
        // The caption is looked up first, as the language file module expects.
        ShownText caption = LanguageModule().GetLanguageText("soundquest");
        ShownText text = LanguageModule().FormatLanguageMessage("olderfilever", {WideText(target)}, false);
        return IsYesAnswer(AskUser(QuestionCall(QuestionLanguage::LanguageFile, text, caption, state.messageLangId)));
    }
    return IsYesAnswer(
        AskUser(OlderVersionQuestion(state.useRussian, target, versions.installedVersion, versions.newVersion)));
}

}  // namespace kavrel
