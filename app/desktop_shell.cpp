#include "app/desktop_shell.h"

#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <utility>

#include "platform/com_ptr.h"
#include "platform/com_runtime.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

// The shell's windows collection, served by the desktop shell's own process
// (explorer.exe), and the service that yields a window's top-level browser.
// Spelled out here so that no import library of GUIDs is needed.
constexpr CLSID kShellWindowsClass = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowserService = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// Whether a call on the way to the shell gave what it was asked for; else
// its record, made at the caller's line with the HRESULT it returned. A call
// that answered a success code without it (FindWindowSW's S_FALSE: no such
// window) is recorded with that answer, and one that answered S_OK but set
// no pointer with E_POINTER: there was nothing to use.
bool Gave(HRESULT result, bool gave, const char* call, std::optional<Failure>& failure,
          CodeLocation where = CodeLocation::Here()) {
    if (gave) return true;
    failure = HResultFailure(call, static_cast<std::uint32_t>(result != S_OK ? result : E_POINTER), {}, where);
    return false;
}

template <typename Target, typename Source>
ComPtr<Target> QueryAs(const ComPtr<Source>& source, const char* call, std::optional<Failure>& failure,
                       CodeLocation where = CodeLocation::Here()) {
    ComPtr<Target> target;
    const HRESULT result = source->QueryInterface(__uuidof(Target), target.putVoid());
    Gave(result, SUCCEEDED(result) && target, call, failure, where);
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
// in the desktop shell's process. Empty when any step fails, with the record
// of that step in `failure`: no desktop shell (a service, a deployment tool,
// another shell) or one that refuses.
ComPtr<IShellDispatch2> DesktopShellApplication(const ComRuntime& com, std::optional<Failure>& failure) {
    ComPtr<IShellWindows> windows;
    // The local server only: the collection that knows the desktop is the one
    // that the shell's own process serves.
    HRESULT result = com.coCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                          windows.putVoid());
    if (!Gave(result, SUCCEEDED(result) && windows, "CoCreateInstance of ShellWindows", failure)) return {};

    VARIANT desktopLocation{};
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    VARIANT noRoot{};
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE: no such window; the dispatch pointer is then not set.
    result = windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                   desktop.put());
    if (!Gave(result, result == S_OK && desktop, "IShellWindows::FindWindowSW of the desktop", failure)) return {};

    ComPtr<IServiceProvider> services =
        QueryAs<IServiceProvider>(desktop, "QueryInterface of IServiceProvider", failure);
    if (!services) return {};
    ComPtr<IShellBrowser> browser;
    result = services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser), browser.putVoid());
    if (!Gave(result, SUCCEEDED(result) && browser, "IServiceProvider::QueryService of the top-level browser",
              failure))
        return {};

    ComPtr<IShellView> view;
    result = browser->QueryActiveShellView(view.put());
    if (!Gave(result, SUCCEEDED(result) && view, "IShellBrowser::QueryActiveShellView", failure)) return {};
    ComPtr<IDispatch> background;
    result = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.putVoid());
    if (!Gave(result, SUCCEEDED(result) && background, "IShellView::GetItemObject of the background", failure))
        return {};
    ComPtr<IShellFolderViewDual> folderView =
        QueryAs<IShellFolderViewDual>(background, "QueryInterface of IShellFolderViewDual", failure);
    if (!folderView) return {};
    ComPtr<IDispatch> application;
    result = folderView->get_Application(application.put());
    if (!Gave(result, SUCCEEDED(result) && application, "IShellFolderViewDual::get_Application", failure)) return {};
    return QueryAs<IShellDispatch2>(application, "QueryInterface of IShellDispatch2", failure);
}

// A start the shell did not make, with the record of the call that said so.
ShellStart Refused(std::optional<Failure> failure, bool answered = false) {
    if (failure) failure->step = "desktop shell";
    return {ShellStartOutcome::Refused, std::move(failure), answered};
}

// Asks the desktop shell to start `file` in `folder`, as "open" with no
// parameters, shown normally. The shell's process starts it with the token
// the signed-in user's shell runs with, not with this elevated process's
// token, which is also not the user's own when someone else's administrator
// account was typed at the elevation prompt. Refused when the shell cannot
// be reached or refuses; nothing has been started then. Runs on the thread
// that calls it, in an apartment of its own, for as long as the shell takes.
ShellStart StartThroughDesktopShell(const std::wstring& file, const std::wstring& folder) {
    Result<ComRuntime> loaded = LoadComRuntime();
    if (!loaded.HasValue()) return Refused(std::move(loaded.failure()));
    const ComRuntime& com = loaded.value();
    ComApartment apartment(com);
    if (!apartment.Usable())
        return Refused(HResultFailure("CoInitializeEx of the start's apartment",
                                      static_cast<std::uint32_t>(apartment.Answer()), {}));
    // Every interface and text below goes before the apartment does.
    std::optional<Failure> failure;
    ComPtr<IShellDispatch2> shell = DesktopShellApplication(com, failure);
    if (!shell) return Refused(std::move(failure));
    UniqueBstr fileText(com, file);
    UniqueBstr parameters(com, L"");
    UniqueBstr folderText(com, folder);
    UniqueBstr operation(com, L"open");
    // SysAllocStringLen answers no code; a text it cannot allocate is out of memory.
    if (!fileText || !parameters || !folderText || !operation)
        return Refused(HResultFailure("SysAllocStringLen of the start's texts",
                                      static_cast<std::uint32_t>(E_OUTOFMEMORY), {}));
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    // Wine's shell reports a start that failed as S_FALSE, recorded as that answer.
    const HRESULT answer = shell->ShellExecute(fileText.get(), TextVariant(parameters), TextVariant(folderText),
                                               TextVariant(operation), show);
    if (ShellStartOutcomeOf(answer) == ShellStartOutcome::Started) return {ShellStartOutcome::Started, {}, true};
    return Refused(HResultFailure("IShellDispatch2::ShellExecute", static_cast<std::uint32_t>(answer), {}), true);
}

// One start through the desktop shell, shared by the thread that makes it
// and the caller that waits for it: whichever lets go of it last frees it,
// so a thread still waiting for the shell after the caller gave up touches
// nothing freed.
struct ShellStartJob {
    std::wstring file;
    std::wstring folder;
    // Written by the thread before it ends; read after its end only.
    ShellStart outcome;
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

}  // namespace

// After the wait the thread is left to itself; it holds its own reference to
// the job, and the process's end ends it. Where no thread can be started,
// the start is made on this thread.
ShellStart StartThroughDesktopShellBounded(const std::wstring& file, const std::wstring& folder,
                                           const WaitClock& clock) {
    auto job = std::make_shared<ShellStartJob>();
    job->file = file;
    job->folder = folder;
    auto* forThread = new std::shared_ptr<ShellStartJob>(job);
    UniqueHandle thread(::CreateThread(nullptr, 0, &ShellStartThread, forThread, 0, nullptr));
    if (!thread) {
        delete forThread;
        return StartThroughDesktopShell(file, folder);
    }
    const auto answered = [&] { return ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; };
    if (!WaitUntil(DesktopShellAnswerWait(), answered, clock.sleep)) return {ShellStartOutcome::NoAnswer, {}, false};
    return job->outcome;
}

}  // namespace kavrel
