#include "app/running_app.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/setup_state.h"
#include "app/wait_rules.h"
#include "platform/unique_handle.h"

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
    } catch (...) {
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
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        KeepUntilExit(std::move(mapping));
        return false;
    }
    // The probe created the mapping itself (or failed to): the owner closes it
    // here so that the name is gone again.
    return true;
}

void CloseRunningApp() noexcept {
    HWND window = FindMainWindow();
    if (window) ::PostMessageA(window, WM_QUIT, 0, 0);
}

void LaunchApp() noexcept {
    try {
        const SetupState& setup = CurrentSetup();
        ::SetCurrentDirectoryA(setup.installDir.c_str());
        std::string executable = setup.installDir + setup.appName + ".exe";
        // Empty parameters and folder, not null ones: the new process starts in
        // the current folder, which is now the installation folder.
        ::ShellExecuteA(nullptr, "open", executable.c_str(), "", "", SW_SHOWNORMAL);
    } catch (...) {
        // Only building the path can throw (no memory): the start is then skipped.
    }
}

void LaunchAndActivate() noexcept {
    LaunchApp();
    auto sleep = [](std::uint32_t ms) { ::Sleep(ms); };
    if (!WaitUntil(InstanceMappingWait(), [] { return !AppNotRunning(); }, sleep)) return;
    HWND window = nullptr;
    if (!WaitUntil(MainWindowWait(), [&window] { return (window = FindMainWindow()) != nullptr; }, sleep)) return;
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
}

}  // namespace kavrel
