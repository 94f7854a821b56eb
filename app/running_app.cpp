#include "app/running_app.h"

#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/update_rules.h"
#include "app/wait_rules.h"
#include "base/setup_state.h"
#include "base/text.h"
#include "platform/com_ptr.h"
#include "platform/com_runtime.h"
#include "platform/process_account.h"
#include "platform/run_log.h"
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
    } catch (...) {
        // Without room to record it the handle is still never closed.
        mapping.release();
    }
}

HWND FindMainWindow() { return ::FindWindowA(CurrentSetup().mainWindowClass, nullptr); }

// The shell's windows collection, served by the desktop shell's own process
// (explorer.exe), and the service that yields a window's top-level browser.
// Spelled out here so that no import library of GUIDs is needed.
constexpr CLSID kShellWindowsClass = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowserService = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

template <typename Target, typename Source>
ComPtr<Target> QueryAs(const ComPtr<Source>& source) {
    ComPtr<Target> target;
    if (source) source->QueryInterface(__uuidof(Target), target.putVoid());
    return target;
}

VARIANT TextVariant(const UniqueBstr& text) {
    VARIANT value{};
    value.vt = VT_BSTR;
    value.bstrVal = text.get();
    return value;
}

// The desktop shell's Shell.Application object: the desktop window found in
// the shell's windows collection, its top-level browser, that browser's
// active view and the application object behind the view. All of them live
// in the desktop shell's process. Empty when any step fails: no desktop
// shell (a service, a deployment tool, another shell) or one that refuses.
ComPtr<IShellDispatch2> DesktopShellApplication(const ComRuntime& com) {
    ComPtr<IShellWindows> windows;
    // The local server only: the collection that knows the desktop is the one
    // that the shell's own process serves.
    if (FAILED(com.coCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                    windows.putVoid())) ||
        !windows)
        return {};

    VARIANT desktopLocation{};
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    VARIANT noRoot{};
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE: no such window; the dispatch pointer is then not set.
    if (windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return {};

    ComPtr<IServiceProvider> services = QueryAs<IServiceProvider>(desktop);
    ComPtr<IShellBrowser> browser;
    if (!services ||
        FAILED(services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser), browser.putVoid())) ||
        !browser)
        return {};

    ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return {};
    ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.putVoid())) || !background)
        return {};
    ComPtr<IShellFolderViewDual> folderView = QueryAs<IShellFolderViewDual>(background);
    ComPtr<IDispatch> application;
    if (!folderView || FAILED(folderView->get_Application(application.put())) || !application) return {};
    return QueryAs<IShellDispatch2>(application);
}

// Asks the desktop shell to start `file` in `folder`, as "open" with no
// parameters, shown normally. The shell's process starts it with the token
// the signed-in user's shell runs with, not with this elevated process's
// token, which is also not the user's own when someone else's administrator
// account was typed at the elevation prompt. Refused when the shell cannot
// be reached or refuses; nothing has been started then. Runs on the thread
// that calls it, in an apartment of its own, for as long as the shell takes.
ShellStartOutcome StartThroughDesktopShell(const std::wstring& file, const std::wstring& folder) {
    std::optional<ComRuntime> com = LoadComRuntime();
    if (!com) return ShellStartOutcome::Refused;
    ComApartment apartment(*com);
    if (!apartment.Usable()) return ShellStartOutcome::Refused;
    // Every interface and text below goes before the apartment does.
    ComPtr<IShellDispatch2> shell = DesktopShellApplication(*com);
    if (!shell) return ShellStartOutcome::Refused;
    UniqueBstr fileText(*com, file);
    UniqueBstr parameters(*com, L"");
    UniqueBstr folderText(*com, folder);
    UniqueBstr operation(*com, L"open");
    if (!fileText || !parameters || !folderText || !operation) return ShellStartOutcome::Refused;
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    // Wine's shell reports a start that failed as S_FALSE.
    return ShellStartOutcomeOf(shell->ShellExecute(fileText.get(), TextVariant(parameters), TextVariant(folderText),
                                                   TextVariant(operation), show));
}

// One start through the desktop shell, shared by the thread that makes it
// and the caller that waits for it: whichever lets go of it last frees it,
// so a thread still waiting for the shell after the caller gave up touches
// nothing freed.
struct ShellStartJob {
    std::wstring file;
    std::wstring folder;
    // Written by the thread before it ends; read after its end only.
    ShellStartOutcome outcome = ShellStartOutcome::Refused;
};

DWORD WINAPI ShellStartThread(void* parameter) noexcept {
    // The thread's own reference, handed over by the caller.
    std::unique_ptr<std::shared_ptr<ShellStartJob>> held(static_cast<std::shared_ptr<ShellStartJob>*>(parameter));
    // An exception must not leave a thread's entry, which would end the
    // process; one here (no memory) counts as a refusal.
    try {
        ShellStartJob& job = **held;
        job.outcome = StartThroughDesktopShell(job.file, job.folder);
    } catch (...) {
    }
    return 0;
}

// The desktop shell's start on a thread of its own, waited for at most
// kDesktopShellStartWaitMs: COM calls into the shell's process have no time
// limit, and a shell that hangs must not keep the installer from ending.
// After the wait the thread is left to itself; it holds its own reference to
// the job, and the process's end ends it. Where no thread can be started,
// the start is made on this thread.
ShellStartOutcome StartThroughDesktopShellBounded(const std::wstring& file, const std::wstring& folder) {
    auto job = std::make_shared<ShellStartJob>();
    job->file = file;
    job->folder = folder;
    auto* forThread = new std::shared_ptr<ShellStartJob>(job);
    UniqueHandle thread(::CreateThread(nullptr, 0, &ShellStartThread, forThread, 0, nullptr));
    if (!thread) {
        delete forThread;
        return StartThroughDesktopShell(file, folder);
    }
    if (::WaitForSingleObject(thread.get(), kDesktopShellStartWaitMs) != WAIT_OBJECT_0)
        return ShellStartOutcome::NoAnswer;
    return job->outcome;
}

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

void LaunchApp() noexcept {
    try {
        const SetupState& setup = CurrentSetup();
        ::SetCurrentDirectoryW(setup.installDir.c_str());
        const std::wstring executable = setup.installDir + WideFromAscii(setup.appName) + L".exe";
        // Started by the shell's process, the application is no child of this
        // one, which holds the foreground after the user's answer: it may take
        // the foreground only when allowed. Its process id is not known
        // beforehand, so any process is allowed, until the next input.
        ::AllowSetForegroundWindow(ASFW_ANY);
        const ShellStartOutcome outcome = StartThroughDesktopShellBounded(executable, setup.installDir);
        if (!StartsItselfAfter(outcome, WindowStationIsVisible(), RunsAsLocalSystem())) {
            LogLine(outcome == ShellStartOutcome::Started ? "application: started through the desktop shell"
                    : outcome == ShellStartOutcome::NoAnswer
                        ? "application: the desktop shell did not answer in time; not started by the installer"
                    : RunsAsLocalSystem()
                        ? "application: the desktop shell refused to start it and the installer runs as LocalSystem; not started"
                        : "application: no desktop shell to start it where nobody sees the installer; not started");
            return;
        }
        // Empty parameters and folder, not null ones: the new process starts in
        // the current folder, which is now the installation folder.
        const auto result = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, L"open", executable.c_str(), L"", L"", SW_SHOWNORMAL));
        LogLine(result > 32 ? "application: started by the installer (no desktop shell to ask)"
                            : "application: the start failed");
    } catch (...) {
        // Only building the path or a text can throw (no memory): the start is then skipped.
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
