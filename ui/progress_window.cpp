#include "ui/progress_window.h"

#include <atomic>
#include <mutex>

#include "app/setup_state.h"
#include "base/text_decoding.h"
#include "platform/system_library.h"
#include "ui/progress_rules.h"

namespace kavrel {

static_assert(kProgressClassStyle == (CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE));
static_assert(kProgressWindowExStyle == (WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_STATICEDGE));
static_assert(kProgressWindowStyle == WS_DLGFRAME);
static_assert(kStatusLineStyle == (WS_CHILD | WS_VISIBLE | SS_LEFT));
static_assert(kProgressBarStyle == (WS_CHILD | WS_VISIBLE | WS_THICKFRAME));

namespace {

constexpr const wchar_t* kWindowClassName = L"PlainWindow";
constexpr const wchar_t* kStatusLineClassName = L"STATIC";
constexpr const wchar_t* kProgressBarClassName = L"msctls_progress32";

// The state shared by the main thread and the window thread. The model is
// read and changed only under the lock; the handles and the position are
// stored before `created` is set (release), so a reader that sees it set
// (acquire) sees them too.
struct ProgressModule {
    std::mutex lock;
    ProgressWindowModel model;
    TSetupForm* form = nullptr;  // main thread only
    std::atomic<bool> created{false};
    std::atomic<HWND> window{nullptr};
    std::atomic<HWND> label{nullptr};
    std::atomic<HWND> bar{nullptr};
    std::atomic<int> x{0};
    std::atomic<int> y{0};
};

// Never destroyed: the window thread still runs while the program's static
// objects are torn down at exit, and the system ends it only afterwards.
ProgressModule& Module() {
    static ProgressModule* module = new ProgressModule;
    return *module;
}

// The module's own shut-down at program end.
struct ShutDownAtExit {
    ShutDownAtExit() = default;
    ShutDownAtExit(const ShutDownAtExit&) = delete;
    ShutDownAtExit& operator=(const ShutDownAtExit&) = delete;
    ~ShutDownAtExit() { ShutDownProgressWindow(); }
};
ShutDownAtExit shutDownAtExit;

// The window's texts hold no text of a language file.
std::wstring Decode(const ShownText& text) { return DecodeShownText(text, kSystemCodePage); }

// What WM_CREATE needs and what it hands back to the window thread.
struct CreationContext {
    const std::wstring* status = nullptr;
    HWND label = nullptr;
    HWND bar = nullptr;
};

void CreateChildren(HWND window, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* context = create ? static_cast<CreationContext*>(create->lpCreateParams) : nullptr;
    // A window of this class that someone else creates gets no children.
    if (!context || !context->status) return;
    context->label = ::CreateWindowExW(0, kStatusLineClassName, context->status->c_str(), kStatusLineStyle,
                                       kStatusLinePlacement.x, kStatusLinePlacement.y, kStatusLinePlacement.width,
                                       kStatusLinePlacement.height, window, nullptr, create->hInstance, nullptr);
    context->bar = ::CreateWindowExW(0, kProgressBarClassName, L"", kProgressBarStyle, kProgressBarPlacement.x,
                                     kProgressBarPlacement.y, kProgressBarPlacement.width,
                                     kProgressBarPlacement.height, window, nullptr, create->hInstance, nullptr);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // The system's frames that call this procedure cannot be unwound through:
    // an exception must end here.
    try {
        switch (message) {
            case WM_CREATE:
                CreateChildren(window, lParam);
                return 0;
            case WM_DESTROY:
                ::PostQuitMessage(0);
                return 0;
            default:
                break;
        }
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// comctl32 is not one of the system's known DLLs, so it is loaded from the
// system folder by full path rather than imported.
void InitCommonControlsFromSystem() {
    UniqueModule library = LoadSystemLibrary("comctl32.dll");
    using InitCommonControlsFn = void(WINAPI*)();
    if (auto initCommonControls = SystemFunction<InitCommonControlsFn>(library, "InitCommonControls"))
        initCommonControls();
    // Kept loaded for the rest of the process: the progress bar class that it
    // registered has its window procedure inside it.
    static_cast<void>(library.release());
}

// Carries out an action of a main-thread operation. Calls into the window
// thread's windows wait until that thread handles them in its message loop.
void Perform(const ProgressAction& action) {
    ProgressModule& module = Module();
    if (action.startThread) {
        bool started = false;
        try {
            if (!module.form) {
                module.form = new TSetupForm;
                CurrentSetup().progressForm = module.form;
            }
            started = module.form->Start();
        } catch (...) {
        }
        if (!started) {
            std::lock_guard guard(module.lock);
            module.model.StartFailed();
        }
    }
    HWND window = module.window.load(std::memory_order_acquire);
    HWND label = module.label.load(std::memory_order_acquire);
    if (action.setCaption && window) ::SetWindowTextW(window, Decode(action.caption).c_str());
    if (action.setStatus && label) ::SetWindowTextW(label, Decode(action.status).c_str());
    if (action.visibility != ProgressAction::Visibility::Keep && window) {
        UINT flags = action.visibility == ProgressAction::Visibility::Show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
        ::SetWindowPos(window, HWND_TOPMOST, module.x.load(std::memory_order_acquire),
                       module.y.load(std::memory_order_acquire), kProgressWindowWidth, kProgressWindowHeight, flags);
    }
}

// Runs one main-thread operation of the model and carries out its action.
// A broken progress window must never stop the update: nothing leaves.
template <typename Operation>
void RunOperation(Operation operation) noexcept {
    try {
        ProgressModule& module = Module();
        ProgressAction action;
        {
            std::lock_guard guard(module.lock);
            action = operation(module.model);
        }
        Perform(action);
    } catch (...) {
    }
}

}  // namespace

bool TSetupForm::Start() {
    if (thread_) return false;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &TSetupForm::ThreadEntry, this, 0, &id);
    if (!thread) return false;
    thread_.reset(thread);
    threadId_ = id;
    return true;
}

DWORD WINAPI TSetupForm::ThreadEntry(void* parameter) noexcept {
    // An exception leaving a thread's entry would end the whole process.
    try {
        static_cast<TSetupForm*>(parameter)->Execute();
    } catch (...) {
        try {
            ProgressModule& module = Module();
            std::lock_guard guard(module.lock);
            module.model.AbandonCreation();
        } catch (...) {
        }
    }
    return 0;
}

void TSetupForm::Execute() {
    ProgressModule& module = Module();
    ProgressTexts texts;
    {
        std::lock_guard guard(module.lock);
        texts = module.model.BeginCreation();
    }
    WindowPosition position = CenteredPosition(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                               kProgressWindowWidth, kProgressWindowHeight);
    InitCommonControlsFromSystem();

    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = kProgressClassStyle;
    windowClass.lpfnWndProc = &WindowProcedure;
    windowClass.cbClsExtra = kProgressClassExtraBytes;
    windowClass.cbWndExtra = kProgressWindowExtraBytes;
    windowClass.hInstance = instance;
    // No icon of our own: the system's default one.
    windowClass.hIcon = nullptr;
    windowClass.hIconSm = nullptr;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    if (!::RegisterClassExW(&windowClass)) {
        std::lock_guard guard(module.lock);
        module.model.AbandonCreation();
        return;
    }

    const std::wstring caption = Decode(texts.caption);
    const std::wstring status = Decode(texts.status);
    CreationContext context;
    context.status = &status;
    HWND window = ::CreateWindowExW(kProgressWindowExStyle, kWindowClassName, caption.c_str(),
                                    kProgressWindowStyle, position.x, position.y, kProgressWindowWidth,
                                    kProgressWindowHeight, nullptr, nullptr, instance, &context);
    if (!window) context = CreationContext{};

    ProgressAction action;
    {
        std::lock_guard guard(module.lock);
        module.x.store(position.x, std::memory_order_relaxed);
        module.y.store(position.y, std::memory_order_relaxed);
        module.label.store(context.label, std::memory_order_relaxed);
        module.bar.store(context.bar, std::memory_order_relaxed);
        module.window.store(window, std::memory_order_relaxed);
        action = module.model.FinishCreation(window != nullptr);
        module.created.store(true, std::memory_order_release);
    }
    // With no window there is nothing for a message loop to serve.
    if (!window) return;

    // Texts that the main thread stored while the window was being created.
    // Its own later calls wait for the message loop below, so they come after these.
    if (action.setCaption) ::SetWindowTextW(window, Decode(action.caption).c_str());
    if (action.setStatus && context.label) ::SetWindowTextW(context.label, Decode(action.status).c_str());
    if (action.visibility == ProgressAction::Visibility::Show) ::ShowWindow(window, SW_SHOWNORMAL);

    MSG message{};
    // GetMessage gives -1 on an error; looping on anything but 0 would spin.
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    std::lock_guard guard(module.lock);
    module.model.WindowEnded();
}

void SetProgressCaption(const ShownText& caption) {
    RunOperation([&](ProgressWindowModel& model) { return model.SetCaption(caption); });
}

void SetProgressStatus(const ShownText& status) {
    RunOperation([&](ProgressWindowModel& model) { return model.SetStatus(status); });
}

void HideProgressWindow() {
    RunOperation([](ProgressWindowModel& model) { return model.Hide(); });
}

void ShowProgressWindow(const ShownText& caption, const ShownText& status) {
    RunOperation([&](ProgressWindowModel& model) { return model.Show(caption, status); });
}

ShownText ProgressCaption() {
    ProgressModule& module = Module();
    std::lock_guard guard(module.lock);
    return module.model.Caption();
}

ShownText ProgressStatus() {
    ProgressModule& module = Module();
    std::lock_guard guard(module.lock);
    return module.model.Status();
}

bool ProgressWindowCreated() { return Module().created.load(std::memory_order_acquire); }

HWND ProgressWindowHandle() { return Module().window.load(std::memory_order_acquire); }

HWND ProgressLabelHandle() { return Module().label.load(std::memory_order_acquire); }

HWND ProgressBarHandle() { return Module().bar.load(std::memory_order_acquire); }

int ProgressWindowX() { return Module().x.load(std::memory_order_acquire); }

int ProgressWindowY() { return Module().y.load(std::memory_order_acquire); }

void ShutDownProgressWindow() {
    try {
        ProgressModule& module = Module();
        std::lock_guard guard(module.lock);
        module.model.ShutDown();
    } catch (...) {
    }
}

}  // namespace kavrel
