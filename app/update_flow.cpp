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

// Logs a value recorded, or hands its failure to the report; `nothingText`
// says why there was nothing to record.
void ReportRecord(RunReport& report, const std::string& name, const RegistryRecord& record, const char* unit,
                  const char* nothingText) {
    if (!record.HasValue()) report.Fail(record.failure());
    else if (record.value())
        LogLine(ProgramText(name) + " recorded: " + ProgramText(std::to_string(*record.value())) + unit);
    else LogLine(ProgramText(name) + " not recorded: " + nothingText);
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

// The steps of a run, up to the first failure that ends it; every failure
// goes to `report`.
void RunSteps(RunReport& report, SetupState& state, const std::string& packageFileName,
              const UpdateFlowSeams& seams) {
    // Two copies (a double click on a slow machine) would write the same
    // temporary file and both replace the package.
    if (const std::optional<Failure> lock = ClaimUpdateRun()) {
        if (lock->cause == FailureCause::AnotherCopyRunning) return report.Fail(*lock);
        report.Note(*lock);
    }

    if (const std::optional<Failure> discovery = DiscoverInstallation()) return report.Fail(*discovery);
    if (DiscoveredExtras().unopenedUninstallKey) report.Note(*DiscoveredExtras().unopenedUninstallKey);
    if (seams.afterDiscovery) seams.afterDiscovery();
    LogLine("administrator: " + YesNo(state.isAdmin));
    if (!state.isAdmin)
        return report.Fail(Finding(FailureCause::NotAdministrator, "rights", "the user is not an administrator"));
    const std::string& registration = DiscoveredExtras().registrationKey;
    LogLine("uninstall registration: " +
            (registration.empty() ? ShownText("none") : "HKEY_LOCAL_MACHINE\\" + SystemText(registration)) +
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
        const std::optional<Failure> integrity = IntegritySelfCheck(LongStepReporter(seams, checking), checking.Cancel());
        const DWORD elapsed = ::GetTickCount() - began;
        const ShownText outcome = !integrity ? ShownText("passed")
                                  : integrity->cause == FailureCause::Cancelled
                                      ? ShownText("cancelled")
                                      : "failed, " + ProgramText(integrity->what);
        LogLine("self-check: " + outcome + ", " + ProgramText(std::to_string(OwnFileBytes())) + " bytes, " +
                ProgramText(std::to_string(elapsed)) + " ms");
        if (integrity) return report.Fail(*integrity);
    }

    state.quietMode = IsQuietSwitch(state.commandSwitch);
    LogLine(state.quietMode ? "mode: quiet" : "mode: interactive");
    const std::wstring application = state.installDir + L"Kavrel.exe";
    if (!IsExistingFile(application))
        return report.Fail(Finding(FailureCause::NotInstalled, "application", "no executable of the application",
                                   WideText(application)));
    if (!state.quietMode) {
        const int answer = AskUser(ConfirmationQuestion(state));
        // Where nobody could answer, nothing was declined: the run could not be confirmed.
        if (NoOneAnswered(answer))
            return report.Fail(Finding(FailureCause::NobodyToAnswer, "confirmation",
                                       "a question nobody can answer here (run it as modest)"));
        if (!IsYesAnswer(answer))
            return report.Fail(Finding(FailureCause::Declined, "confirmation", "declined by the user"));
    }

    const std::wstring target = state.installDir + WideFromAscii(packageFileName);
    bool installed = false;
    bool cancelled = false;
    {
        ProgressStep installing(showsProgress, LongStepTexts(state, LongStep::Installing));
        const ByteProgress installProgress = LongStepReporter(seams, installing);
        Cancellation* const cancel = installing.Cancel();
        const DWORD began = ::GetTickCount();
        const std::optional<Failure> unwritten = InstallWithRetry(report, target, !state.quietMode, [&] {
            return state.packageBaseName == "zyq"
                       ? InstallSplitResource(state.packageBaseName, state.resourceType, target, installProgress,
                                              seams.waitClock, cancel)
                       : InstallResourceFile(state.packageBaseName, state.resourceType, target, true,
                                             AskAboutOlderFile, installProgress, seams.waitClock, cancel);
        }, cancel);
        installed = !unwritten;
        cancelled = unwritten && unwritten->cause == FailureCause::Cancelled;
        const char* const outcome = installed ? ", installed, " : cancelled ? ", cancelled, " : ", not installed, ";
        LogLine("write: " + WideText(target) + outcome + ProgramText(std::to_string(::GetTickCount() - began)) +
                " ms");
    }
    // Stopped by the person: the run ends here, with the package and the
    // registration as they were.
    if (cancelled) return;
    ReportRecord(report, "EstimatedSize", RecordInstalledSize(state), " KiB", "no folder to measure");
    // Last, and only over a package that was installed: deployment tools
    // take the value for the package that is there.
    if (installed)
        ReportRecord(report, packageFileName,
                     RecordPackageVersion(state, DiscoveredExtras().registrationKey, packageFileName), "",
                     "the application is not registered");

    if (state.quietMode) {
        if (AsksToRunApp(NarrowAscii(CommandLineArgumentBesidesLog(CommandLineText(), 2))))
            LaunchAndActivate(seams.waitClock);
        else LogLine("application: not started");
    } else if (IsYesAnswer(AskUser(FinalQuestion(state)))) {
        LaunchAndActivate(seams.waitClock);
    } else {
        LogLine("application: not started");
    }
}

}  // namespace

std::optional<Failure> InstallWithRetry(RunReport& report, const std::wstring& target, bool offerRetry,
                                        const std::function<std::optional<Failure>()>& attempt,
                                        Cancellation* cancel) {
    for (;;) {
        std::optional<Failure> failure = attempt();
        ShowLanguageFileErrors();
        if (!failure) return std::nullopt;
        if (failure->cause == FailureCause::Cancelled) {
            report.Fail(*failure);
            return failure;
        }
        if (cancel) cancel->FailTry();
        if (!report.FailWrite(*failure, target, offerRetry)) return failure;
        if (cancel) cancel->Open();
        // The box hid the progress window; the write shows in it again.
        ShowProgressWindowAgain();
    }
}

std::uint32_t RunUpdateFlow(const UpdateFlowSeams& seams) {
    SetupState& state = CurrentSetup();
    const std::string packageFileName = RunIdentityStep(state);
    LogStart(state);
    RunReport report;
    RunSteps(report, state, packageFileName, seams);
    return report.ExitCode();
}

void ShutDownUpdateFlow() {
    SetupState& state = CurrentSetup();
    state.resourceType.clear();
    state.packageBaseName.clear();
    state.packageTitle.clear();
}

}  // namespace kavrel
