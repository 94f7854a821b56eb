#include "app/step_reports.h"

#include "app/integrity_check.h"
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

// The system's text of the Win32 error the failure's code means, where the
// system reported one (not for the installer's own refusal).
ShownText SystemTextOf(const Failure& failure, std::uint16_t language) {
    if (failure.origin == FailureOrigin::Installer || failure.windowsError == 0) return {};
    return UnicodeText(SystemErrorText(failure.windowsError, language));
}

void LogFailure(const Failure& failure) { LogLine(FailureLogText(failure, LoggedSystemText(failure))); }

// The box of a failure that ends the run before anything is written; none
// for an answer the person gave, a question nobody could answer, or a
// record that nobody reads in a box (the size, the version).
void ShowFailureBox(const Failure& failure) {
    switch (failure.cause) {
        case FailureCause::AnotherCopyRunning:
            TellUser("The update is already running.", "Обновление уже запущено.");
            return;
        case FailureCause::NotInstalled:
            TellUser("There's no subject of update - the Lexova installed.\r\nPlease, install the program at first.",
                     "Нет предмета обновления - установленной программы Lexova.\r\nПожалуйста, сначала установите "
                     "программу.");
            return;
        case FailureCause::NotAdministrator:
            TellUser("You have no right to install applications!", "У Вас нет права устанавливать программы!");
            return;
        case FailureCause::RegistryUnreadable:
            TellUser("No access to system registry", "Нет доступа к системному реестру");
            return;
        case FailureCause::InstallerDamaged:
            if (failure.code == kDistortedFileCode)
                TellUser("The package file has been distorted!\r\nVirus?", "Файл пакета установки искажён!\r\nВирус?");
            else
                TellUser("Failed to check up the package file!", "Не удаётся проверить файл пакета установки!");
            return;
        case FailureCause::Declined:
        case FailureCause::Cancelled:
        case FailureCause::NobodyToAnswer:
        case FailureCause::DiskFull:
        case FailureCause::FileInUse:
        case FailureCause::InstallFailed:
            return;
    }
}
}  // namespace

ShownText LoggedSystemText(const Failure& failure) { return SystemTextOf(failure, kEnglishUnitedStates); }

void ShowLanguageFileErrors() {
    for (const Failure& failure : TakeLanguageFileErrors()) {
        LogFailure(failure);
        const MessagePair message = LanguageFileErrorMessage(failure.subject);
        ShowBilingualMessage(message.english, message.russian);
    }
}

int AskUser(const MessageBoxCall& call) {
    ShowLanguageFileErrors();
    return ShowMessageBox(call);
}

int TellUser(const ShownText& englishText, const ShownText& russianText, std::uint32_t flags) {
    ShowLanguageFileErrors();
    return ShowBilingualMessage(englishText, russianText, flags);
}

void RunReport::Note(const Failure& failure) const { LogFailure(failure); }

void RunReport::Fail(const Failure& failure) {
    LogFailure(failure);
    ShowFailureBox(failure);
    KeepFirst(first_, failure);
}

bool RunReport::FailWrite(const Failure& failure, const std::wstring& target, bool offerRetry) {
    LogFailure(failure);
    // From the UTF-16 path: read whole on any code page.
    const ShownText path = WideText(target);
    // A refusal is told as the error whose meaning it has.
    auto reason = [&](bool russian) {
        return WriteFailureReasonText(
            russian, failure, UnicodeText(SystemErrorText(failure.windowsError, russian ? kRussianRussia : kEnglishUnitedStates)));
    };
    const int answer = TellUser(InstallFailureText(false, path, reason(false)),
                                InstallFailureText(true, path, reason(true)),
                                offerRetry ? kRetryErrorBoxFlags : kErrorBoxFlags);
    if (offerRetry && answer == kIdRetry) return true;
    KeepFirst(first_, failure);
    return false;
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
