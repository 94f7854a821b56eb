#include "app/running_app.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/desktop_shell.h"
#include "app/step_reports.h"
#include "app/update_rules.h"
#include "app/wait_rules.h"
#include "base/setup_state.h"
#include "base/text.h"
#include "platform/process_account.h"
#include "platform/run_log.h"
#include "platform/system_clock.h"
#include "platform/unique_handle.h"
#include "platform/window_station.h"

namespace kavrel {

namespace {

constexpr const char* kInstanceMappingName = "kavrel_memfile";
constexpr DWORD kInstanceMappingSize = 64;

// Handles to a mapping that the application created. They stay open until
// the process ends: while one is open the name exists, so a copy that quits
// during the update still reads as running to every later probe.
std::vector<UniqueHandle>& HeldInstanceMappings() {
    static std::vector<UniqueHandle> held;
    return held;
}

void KeepUntilExit(UniqueHandle mapping) noexcept {
    try {
        HeldInstanceMappings().push_back(std::move(mapping));
    } catch (const std::exception&) {
        // Without room to record it the handle is still never closed.
        mapping.release();
    }
}

HWND FindMainWindow() { return ::FindWindowA(CurrentSetup().mainWindowClass, nullptr); }

}  // namespace

bool AppNotRunning() noexcept {
    UniqueHandle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              kInstanceMappingSize, kInstanceMappingName));
    // Read at once: the owner below must not run any call that could reset it.
    const DWORD error = ::GetLastError();
    if (!InstanceProbeFindsCopy(static_cast<bool>(mapping), error)) {
        // The probe created the mapping itself (or failed to): the owner
        // closes it here so that the name is gone again.
        return true;
    }
    if (mapping) KeepUntilExit(std::move(mapping));
    return false;
}

void CloseRunningApp() noexcept {
    HWND window = FindMainWindow();
    if (window) ::PostMessageA(window, WM_QUIT, 0, 0);
}

bool LaunchApp(const WaitClock& clock) noexcept {
    try {
        const SetupState& setup = CurrentSetup();
        ::SetCurrentDirectoryW(setup.installDir.c_str());
        const std::wstring executable = setup.installDir + WideFromAscii(setup.appName) + L".exe";
        // Started by the shell's process, the application is no child of this
        // one, which holds the foreground after the user's answer: it may take
        // the foreground only when allowed. Its process id is not known
        // beforehand, so any process is allowed, until the next input.
        ::AllowSetForegroundWindow(ASFW_ANY);
        const ShellStart shell = StartThroughDesktopShellBounded(executable, setup.installDir, ClockOrSystem(clock));
        const ShellRefusalWords refusal = ShellRefusalText(
            shell.refusal, shell.answered, shell.refusal ? LoggedSystemText(*shell.refusal) : ShownText());
        if (!StartsItselfAfter(shell.outcome, WindowStationIsVisible(), RunsAsLocalSystem())) {
            LogLine(shell.outcome == ShellStartOutcome::Started ? "application: started through the desktop shell"
                    : shell.outcome == ShellStartOutcome::NoAnswer
                        ? "application: the desktop shell did not answer in time; not started by the installer"
                    : RunsAsLocalSystem() ? "application: " + refusal.why +
                                                " and the installer runs as LocalSystem; not started" + refusal.record
                                          : "application: " + refusal.why +
                                                " where nobody sees the installer; not started" + refusal.record);
            return shell.outcome != ShellStartOutcome::Refused;
        }
        // Empty parameters and folder, not null ones: the new process starts in
        // the current folder, which is now the installation folder.
        const auto result = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, L"open", executable.c_str(), L"", L"", SW_SHOWNORMAL));
        // ShellExecute answers 32 or less for a failure: its own error number.
        LogLine(result > 32 ? "application: started by the installer (" + refusal.why + ")" + refusal.record
                            : "application: " + refusal.why + "; the start failed, ShellExecute error " +
                                  ProgramText(std::to_string(static_cast<long long>(result))) + refusal.record);
        return result > 32;
    } catch (const std::exception&) {
        // Only building the path or a text can throw (no memory): the start is then skipped.
    }
    return false;
}

void LaunchAndActivate(const WaitClock& clock) noexcept {
    if (!LaunchApp(clock)) return;
    try {
        const WaitClock system = ClockOrSystem(clock);
        if (!WaitUntil(InstanceMappingWait(), [] { return !AppNotRunning(); }, system.sleep)) return;
        if (!WindowStationIsVisible()) return;
        HWND window = nullptr;
        if (!WaitUntil(MainWindowWait(), [&window] { return (window = FindMainWindow()) != nullptr; }, system.sleep))
            return;
        ::ShowWindow(window, SW_SHOWNORMAL);
        ::SetForegroundWindow(window);
    } catch (const std::exception&) {
        // No memory for the clock: the window is left as the application shows it.
    }
}

}  // namespace kavrel
