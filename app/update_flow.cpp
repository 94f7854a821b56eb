#include "app/update_flow.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/integrity_check.h"
#include "app/running_app.h"
#include "app/single_instance.h"
#include "app/step_reports.h"
#include "app/update_rules.h"
#include "base/setup_state.h"
#include "base/text.h"
#include "env/discovery.h"
#include "env/startup_rules.h"
#include "env/startup_settings.h"
#include "install/extraction.h"
#include "install/installed_size.h"
#include "install/resource_install.h"
#include "lang/messages.h"
#include "platform/environment.h"
#include "platform/folder_handle.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "platform/unique_handle.h"
#include "ui/progress_window.h"

namespace kavrel {

namespace {

// Logs how recording a value ended; false when it failed.
bool LogRecord(const std::string& name, const RegistryRecord& record, const char* unit) {
    switch (record.result) {
        case RegistryRecord::Result::Recorded:
            LogLine(ProgramText(name) + " recorded: " + ProgramText(std::to_string(record.value)) + unit);
            return true;
        case RegistryRecord::Result::NothingToRecord:
            LogLine(ProgramText(name) + " not recorded: no folder to measure");
            return true;
        case RegistryRecord::Result::Failed:
            break;
    }
    LogFailure(name, record.failure, record.where, record.error);
    return false;
}

ShownText YesNo(bool value) { return value ? "yes" : "no"; }

// The facts of the run that an administrator needs first.
void LogStart(const SetupState& state) {
    LogLine("start: " + ProgramText(state.titleEn) + " " + ProgramText(std::to_string(state.packageVersion)) +
            ", command line: " + WideText(CommandLineText()));
    LogLine("Windows: " + SystemText(OperatingSystemText()) + (state.is64BitWindows ? ", 64-bit" : ", 32-bit"));
    LogLine("user locale " + ProgramText(std::to_string(::GetUserDefaultLCID())) + ", messages in " +
            (state.useRussian ? "Russian" : "English"));
}

// What the read or write of a long step reports to.
ByteProgress LongStepReporter(const UpdateFlowSeams& seams, ProgressStep& step) {
    ByteProgress reporter = step.Reporter();
    return seams.longStepProgress ? seams.longStepProgress(std::move(reporter)) : reporter;
}

RunOutcome RunSteps(SetupState& state, const std::string& packageFileName, const UpdateFlowSeams& seams) {
    // Two copies (a double click on a slow machine) would write the same
    // temporary file and both replace the package.
    const UpdateRunClaim claim = ClaimUpdateRun();
    if (claim.anotherCopyRunning) {
        TellUser("The update is already running.", "Обновление уже запущено.");
        return RunOutcome::AnotherCopyRunning;
    }
    if (!claim.unguardedBecause.empty())
        LogFailure("one-installer lock", claim.unguardedBecause + "; the run goes on without it", ShownText(),
                   claim.error);

    const DiscoveryResult discovery = DiscoverInstallation();
    if (!discovery.registryReadable) {
        LogFailure("discovery", discovery.problem, SystemText(discovery.key), discovery.error);
        TellUser("No access to system registry", "Нет доступа к системному реестру");
        return RunOutcome::CheckFailed;
    }
    if (!DiscoveredExtras().unopenedUninstallKey.empty())
        LogFailure("uninstall registration", "the key cannot be opened and is taken for none",
                   SystemText("HKEY_LOCAL_MACHINE\\" + DiscoveredExtras().unopenedUninstallKey),
                   DiscoveredExtras().unopenedUninstallKeyError);
    if (seams.afterDiscovery) seams.afterDiscovery();
    LogLine("administrator: " + YesNo(state.isAdmin));
    if (!state.isAdmin) {
        TellUser("You have no right to install applications!", "У Вас нет права устанавливать программы!");
        return RunOutcome::CheckFailed;
    }
    LogLine("uninstall registration: HKEY_LOCAL_MACHINE\\" + SystemText(state.uninstallKey + state.appName) +
            (DiscoveredExtras().wow64UninstallKey.empty() ? ", native view" : ", found below WOW6432Node") +
            ", InstallDir " + WideText(state.installDir));
    if (!AppNotRunning()) {
        CloseRunningApp();
        LogLine("running copy: found, asked to quit");
    } else {
        LogLine("running copy: none");
    }
    // Reading and writing 249 MB take seconds from a disk, longer from a
    // network share: an interactive run shows that it is at work.
    const bool showsProgress = ShowsProgress(state.commandSwitch);
    {
        ProgressStep checking(showsProgress, LongStepTexts(state, LongStep::Checking));
        const DWORD began = ::GetTickCount();
        const IntegrityOutcome integrity = IntegritySelfCheck(LongStepReporter(seams, checking));
        const DWORD elapsed = ::GetTickCount() - began;
        LogLine("self-check: " + ShownText(IntegrityLogText(integrity.result)) + ", " +
                ProgramText(std::to_string(OwnFileBytes())) + " bytes, " + ProgramText(std::to_string(elapsed)) +
                " ms");
        if (integrity.error != 0)
            LogFailure("self-check", "the installer's own file cannot be read", ShownText(), integrity.error);
        if (integrity.result != IntegrityResult::Intact) {
            ReportIntegrity(integrity.result);
            return RunOutcome::CheckFailed;
        }
    }

    state.quietMode = IsQuietSwitch(state.commandSwitch);
    LogLine(state.quietMode ? "mode: quiet" : "mode: interactive");
    if (!IsExistingFile(state.installDir + L"Kavrel.exe")) {
        TellUser(
            "There's no subject of update - the Lexova installed.\r\nPlease, install the program at first.",
            "Нет предмета обновления - установленной программы Lexova.\r\nПожалуйста, сначала установите программу.");
        return RunOutcome::CheckFailed;
    }
    if (!state.quietMode) {
        const int answer = AskUser(ConfirmationQuestion(state));
        // Where nobody could answer, nothing was declined: the run could not be confirmed.
        if (!IsYesAnswer(answer)) return NoOneAnswered(answer) ? RunOutcome::CheckFailed : RunOutcome::Declined;
    }

    RunOutcome outcome = RunOutcome::Completed;
    bool installedPackage = false;
    const std::wstring target = state.installDir + WideFromAscii(packageFileName);
    {
        ProgressStep installing(showsProgress, LongStepTexts(state, LongStep::Installing));
        const ByteProgress installProgress = LongStepReporter(seams, installing);
        const DWORD began = ::GetTickCount();
        const bool installed = InstallWithRetry(target, !state.quietMode, [&] {
            return state.packageBaseName == "zyq"
                       ? InstallSplitResource(state.packageBaseName, state.resourceType, target, installProgress)
                       : InstallResourceFile(state.packageBaseName, state.resourceType, target, true,
                                             AskAboutOlderFile, installProgress);
        });
        LogLine("write: " + WideText(target) + (installed ? ", installed, " : ", not installed, ") +
                ProgramText(std::to_string(::GetTickCount() - began)) + " ms");
        installedPackage = installed;
        if (!installed) outcome = RunOutcome::WriteFailed;
    }
    if (!LogRecord("EstimatedSize", RecordInstalledSize(state), " KiB")) outcome = RunOutcome::WriteFailed;
    // Last, and only over a package that was installed: deployment tools
    // take the value for the package that is there.
    if (installedPackage && !LogRecord(packageFileName, RecordPackageVersion(state, packageFileName), ""))
        outcome = RunOutcome::WriteFailed;

    if (state.quietMode) {
        if (AsksToRunApp(NarrowAscii(CommandLineArgumentBesidesLog(CommandLineText(), 2)))) LaunchAndActivate();
        else LogLine("application: not started");
    } else if (IsYesAnswer(AskUser(FinalQuestion(state)))) {
        LaunchAndActivate();
    } else {
        LogLine("application: not started");
    }
    return outcome;
}

}  // namespace

bool InstallWithRetry(const std::wstring& target, bool offerRetry, const std::function<WriteOutcome()>& attempt) {
    for (;;) {
        const WriteOutcome outcome = attempt();
        ShowLanguageFileErrors();
        if (outcome.installed) return true;
        if (!ReportWriteFailure(target, outcome, offerRetry)) return false;
        // The box hid the progress window; the write shows in it again.
        ShowProgressWindowAgain();
    }
}

RunOutcome RunUpdateFlow(const UpdateFlowSeams& seams) {
    SetupState& state = CurrentSetup();
    const std::string packageFileName = RunIdentityStep(state);
    LogStart(state);
    return RunSteps(state, packageFileName, seams);
}

void ShutDownUpdateFlow() {
    SetupState& state = CurrentSetup();
    state.resourceType.clear();
    state.packageBaseName.clear();
    state.packageTitle.clear();
}

}  // namespace kavrel
