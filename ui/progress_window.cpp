#include "ui/progress_window.h"

#include <commctrl.h>

#include <atomic>
#include <exception>
#include <mutex>

#include "base/setup_state.h"
#include "base/text_decoding.h"
#include "platform/system_library.h"
#include "platform/window_station.h"
#include "ui/progress_rules.h"
#include "ui/taskbar_progress.h"
#include "ui/window_metrics.h"

namespace kavrel {

static_assert(kProgressClassStyle == (CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE));
static_assert(kProgressWindowExStyle ==
              (WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_STATICEDGE | WS_EX_APPWINDOW));
static_assert(kProgressWindowStyle == WS_DLGFRAME);
static_assert(kStatusLineStyle == (WS_CHILD | WS_VISIBLE | SS_LEFT));
static_assert(kProgressBarStyle == (WS_CHILD | WS_VISIBLE | WS_THICKFRAME));
static_assert(kCancelButtonStyle == (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON));
static_assert(kCancelButtonId == IDCANCEL);

namespace {

constexpr const wchar_t* kWindowClassName = L"PlainWindow";
constexpr const wchar_t* kStatusLineClassName = L"STATIC";
constexpr const wchar_t* kProgressBarClassName = L"msctls_progress32";
constexpr const wchar_t* kButtonClassName = L"BUTTON";
// Posted to the window when what its taskbar button shows may have changed.
constexpr UINT kRefreshTaskbarMessage = WM_APP + 1;
// How long the shut-down waits for the window's thread to end.
constexpr DWORD kThreadEndWaitMs = 5000;

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
    std::atomic<HWND> cancelButton{nullptr};
    // The running step's, which a press of Cancel reaches; under the lock.
    Cancellation* cancellation = nullptr;
    // Window thread only.
    TaskbarProgress* taskbar = nullptr;
    UINT buttonCreatedMessage = 0;
    std::atomic<int> x{0};
    std::atomic<int> y{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};
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
    const std::wstring* cancelText = nullptr;
    ProgressLayout layout;
    HFONT font = nullptr;
    HWND label = nullptr;
    HWND bar = nullptr;
    HWND button = nullptr;
};

void CreateChildren(HWND window, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* context = create ? static_cast<CreationContext*>(create->lpCreateParams) : nullptr;
    // A window of this class that someone else creates gets no children.
    if (!context || !context->status || !context->cancelText) return;
    const ChildPlacement& line = context->layout.statusLine;
    const ChildPlacement& bar = context->layout.progressBar;
    const ChildPlacement& button = context->layout.cancelButton;
    context->label = ::CreateWindowExW(0, kStatusLineClassName, context->status->c_str(), kStatusLineStyle, line.x,
                                       line.y, line.width, line.height, window, nullptr, create->hInstance, nullptr);
    context->bar = ::CreateWindowExW(0, kProgressBarClassName, L"", kProgressBarStyle, bar.x, bar.y, bar.width,
                                     bar.height, window, nullptr, create->hInstance, nullptr);
    // Made disabled: the running step's gate enables it once the window exists.
    context->button = ::CreateWindowExW(0, kButtonClassName, context->cancelText->c_str(),
                                        kCancelButtonStyle | WS_DISABLED, button.x, button.y, button.width,
                                        button.height, window,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelButtonId)),
                                        create->hInstance, nullptr);
    // A child is drawn in the System font unless it is given another: the
    // text the user reads goes in the message font, as in message boxes.
    if (context->font) {
        const auto font = reinterpret_cast<WPARAM>(context->font);
        if (context->label) ::SendMessageW(context->label, WM_SETFONT, font, FALSE);
        if (context->bar) ::SendMessageW(context->bar, WM_SETFONT, font, FALSE);
        if (context->button) ::SendMessageW(context->button, WM_SETFONT, font, FALSE);
    }
}

// The running step's gate; Closed without one. Under the lock.
CancelPhase RunningStepPhase(const ProgressModule& module) {
    return module.cancellation ? module.cancellation->Phase() : CancelPhase::Closed;
}

// The person pressed Cancel (a click, or Esc, Enter or Space with the
// keyboard in the window): the running step is asked to stop, once, and the
// button is disabled. A press the gate does not take does nothing.
void CancelPressed() {
    ProgressModule& module = Module();
    bool taken = false;
    {
        std::lock_guard guard(module.lock);
        if (module.cancellation) taken = module.cancellation->Request();
    }
    if (HWND button = module.cancelButton.load(std::memory_order_acquire); taken && button)
        ::EnableWindow(button, FALSE);
}

// Shows on the taskbar button what the model says now.
void RefreshTaskbar(HWND window, bool buttonCreated) {
    ProgressModule& module = Module();
    if (!module.taskbar) return;
    TaskbarView view;
    {
        std::lock_guard guard(module.lock);
        view = module.model.Taskbar(RunningStepPhase(module));
    }
    if (buttonCreated) module.taskbar->ButtonCreated(window, view);
    else module.taskbar->Show(window, view);
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
            case WM_COMMAND:
                if (LOWORD(wParam) == kCancelButtonId) CancelPressed();
                return 0;
            case DM_GETDEFID:
                // Enter presses Cancel, the window's one button.
                return MAKELRESULT(kCancelButtonId, DC_HASDEFID);
            case WM_SETFOCUS:
                // Activated by the person: the keyboard goes to the button.
                if (HWND button = Module().cancelButton.load(std::memory_order_acquire);
                    button && ::IsWindowEnabled(button))
                    ::SetFocus(button);
                return 0;
            case kRefreshTaskbarMessage:
                RefreshTaskbar(window, false);
                return 0;
            default:
                if (message != 0 && message == Module().buttonCreatedMessage) {
                    RefreshTaskbar(window, true);
                    return 0;
                }
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

// Carries out an action of a main-thread operation. Texts and visibility go
// to the window thread's windows and wait until that thread has handled them
// (a hidden window must be gone before a box appears); the bar's position is
// only posted.
void Perform(const ProgressAction& action) {
    ProgressModule& module = Module();
    if (action.startThread) {
        bool started = false;
        try {
            // Where nobody sees the window station, no window is made at
            // all: the start counts as failed.
            if (WindowStationIsVisible()) {
                if (!module.form) {
                    module.form = new TSetupForm;
                    CurrentSetup().progressForm = module.form;
                }
                started = module.form->Start();
            }
        } catch (const std::exception&) {
        }
        if (!started) {
            std::lock_guard guard(module.lock);
            module.model.StartFailed();
        }
    }
    HWND window = module.window.load(std::memory_order_acquire);
    HWND label = module.label.load(std::memory_order_acquire);
    HWND bar = module.bar.load(std::memory_order_acquire);
    HWND button = module.cancelButton.load(std::memory_order_acquire);
    if (action.setCancel && button) ::EnableWindow(button, action.cancelEnabled ? TRUE : FALSE);
    if (action.setCaption && window) ::SetWindowTextW(window, Decode(action.caption).c_str());
    if (action.setStatus && label) ::SetWindowTextW(label, Decode(action.status).c_str());
    if (action.setPosition && bar) {
        // A window about to be shown gets its bar first, so it never shows
        // the end of the step before; a moving bar is only posted.
        const auto position = static_cast<WPARAM>(action.position);
        if (action.visibility == ProgressAction::Visibility::Show) ::SendMessageW(bar, PBM_SETPOS, position, 0);
        else ::PostMessageW(bar, PBM_SETPOS, position, 0);
    }
    if (action.visibility != ProgressAction::Visibility::Keep && window) {
        // Never activated by the installer. Hidden while the person has it
        // active, the system activates another program's window: the process
        // keeps the right to set the foreground, so the box that follows
        // becomes the active window (see kProgressWindowExStyle).
        if (action.visibility == ProgressAction::Visibility::Hide && ::GetForegroundWindow() == window)
            ::AllowSetForegroundWindow(::GetCurrentProcessId());
        UINT flags = (action.visibility == ProgressAction::Visibility::Show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) |
                     SWP_NOACTIVATE;
        ::SetWindowPos(window, HWND_TOPMOST, module.x.load(std::memory_order_acquire),
                       module.y.load(std::memory_order_acquire), module.width.load(std::memory_order_acquire),
                       module.height.load(std::memory_order_acquire), flags);
    }
    if ((action.refreshTaskbar || action.setPosition || action.visibility != ProgressAction::Visibility::Keep) &&
        window)
        ::PostMessageW(window, kRefreshTaskbarMessage, 0, 0);
    // The window procedure destroys the window, which ends the thread's loop.
    if (action.close && window) ::PostMessageW(window, WM_CLOSE, 0, 0);
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
    } catch (const std::exception&) {
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
        } catch (const std::exception&) {
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
    // Made before the window and deleted after it, when this thread ends.
    UniqueFont font = MessageFont();
    const std::int32_t dpi = SystemDpi();
    const TextMetricsPx text = MeasureText(font.get());
    // The children's places do not depend on the frame; the outer size does,
    // and is settled once the window exists.
    ProgressLayout layout = LayoutProgressWindow(dpi, text, {});
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
    // Set before the window thread starts; read here only.
    const std::wstring cancelText = Decode(CancelButtonText(CurrentSetup().useRussian));
    // Made and released on this thread, the one that uses it; it outlives
    // the window.
    TaskbarProgress taskbar;
    module.taskbar = &taskbar;
    module.buttonCreatedMessage = TaskbarProgress::ButtonCreatedMessage();
    CreationContext context;
    context.status = &status;
    context.cancelText = &cancelText;
    context.layout = layout;
    context.font = font.get();
    HWND window = ::CreateWindowExW(kProgressWindowExStyle, kWindowClassName, caption.c_str(),
                                    kProgressWindowStyle, 0, 0, layout.width, layout.height, nullptr, nullptr,
                                    instance, &context);
    if (!window) context = CreationContext{};
    WindowPosition position;
    if (window) {
        TaskbarProgress::LetButtonCreatedThrough(window);
        layout = LayoutProgressWindow(dpi, text, FrameOf(window));
        position = CenteredPosition(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), layout.width,
                                    layout.height);
        ::SetWindowPos(window, nullptr, position.x, position.y, layout.width, layout.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (context.bar && texts.position != 0) ::SendMessageW(context.bar, PBM_SETPOS, static_cast<WPARAM>(texts.position), 0);

    ProgressAction action;
    {
        std::lock_guard guard(module.lock);
        module.x.store(position.x, std::memory_order_relaxed);
        module.y.store(position.y, std::memory_order_relaxed);
        module.width.store(layout.width, std::memory_order_relaxed);
        module.height.store(layout.height, std::memory_order_relaxed);
        module.label.store(context.label, std::memory_order_relaxed);
        module.bar.store(context.bar, std::memory_order_relaxed);
        module.cancelButton.store(context.button, std::memory_order_relaxed);
        module.window.store(window, std::memory_order_relaxed);
        action = module.model.FinishCreation(window != nullptr, RunningStepPhase(module));
        module.created.store(true, std::memory_order_release);
    }
    // With no window there is nothing for a message loop to serve.
    if (!window) {
        module.taskbar = nullptr;
        return;
    }

    // Texts that the main thread stored while the window was being created.
    // Its own later calls wait for the message loop below, so they come after these.
    if (action.setCaption) ::SetWindowTextW(window, Decode(action.caption).c_str());
    if (action.setStatus && context.label) ::SetWindowTextW(context.label, Decode(action.status).c_str());
    if (action.setPosition && context.bar)
        ::SendMessageW(context.bar, PBM_SETPOS, static_cast<WPARAM>(action.position), 0);
    if (action.setCancel && context.button) ::EnableWindow(context.button, action.cancelEnabled ? TRUE : FALSE);
    if (action.close) ::DestroyWindow(window);
    else if (action.visibility == ProgressAction::Visibility::Show) ::ShowWindow(window, SW_SHOWNOACTIVATE);

    MSG message{};
    // GetMessage gives -1 on an error; looping on anything but 0 would spin.
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Esc, Enter and Space reach Cancel as in a dialog; a destroyed
        // window is no dialog to ask.
        if (::IsWindow(window) && ::IsDialogMessageW(window, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    module.taskbar = nullptr;
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

void ShowProgressWindowAgain() {
    RunOperation([](ProgressWindowModel& model) { return model.ShowAgain(); });
}

void SetProgressPosition(int percent) {
    RunOperation([percent](ProgressWindowModel& model) { return model.SetPosition(percent); });
}

ProgressStep::ProgressStep(bool active, const ProgressTexts& texts) : active_(active), meter_(::GetTickCount()) {
    if (!active_) return;
    // The gate's changes reach the button and the taskbar from the step's thread.
    cancel_ = std::make_unique<Cancellation>([] {
        RunOperation([](ProgressWindowModel& model) { return model.CancelPhaseChanged(RunningStepPhase(Module())); });
    });
    {
        ProgressModule& module = Module();
        std::lock_guard guard(module.lock);
        module.cancellation = cancel_.get();
    }
    ShowProgressWindow(texts.caption, texts.status);
    cancel_->Open();
}

ProgressStep::~ProgressStep() {
    if (!active_) return;
    cancel_->Close();
    ProgressModule& module = Module();
    std::lock_guard guard(module.lock);
    module.cancellation = nullptr;
}

ByteProgress ProgressStep::Reporter() {
    if (!active_) return {};
    return [this](std::uint64_t done, std::uint64_t total) {
        if (!meter_.PercentageChanges(done, total)) return;
        if (std::optional<int> percent = meter_.Advance(done, total, ::GetTickCount())) SetProgressPosition(*percent);
    };
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

HWND ProgressCancelButtonHandle() { return Module().cancelButton.load(std::memory_order_acquire); }

int ProgressWindowX() { return Module().x.load(std::memory_order_acquire); }

int ProgressWindowY() { return Module().y.load(std::memory_order_acquire); }

int ProgressWindowWidth() { return Module().width.load(std::memory_order_acquire); }

int ProgressWindowHeight() { return Module().height.load(std::memory_order_acquire); }

void ShutDownProgressWindow() {
    RunOperation([](ProgressWindowModel& model) { return model.Close(); });
    try {
        ProgressModule& module = Module();
        // Gone from the screen before the process ends; a thread that does not
        // end in time is ended with the process.
        if (module.form && module.form->ThreadHandle())
            ::WaitForSingleObject(module.form->ThreadHandle(), kThreadEndWaitMs);
        std::lock_guard guard(module.lock);
        module.model.ShutDown();
    } catch (const std::exception&) {
    }
}

}  // namespace kavrel
