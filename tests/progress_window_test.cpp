// The progress window under Wine: its thread, window, children and the four
// operations of the main thread.
//
// The window's state belongs to the whole process and cannot be reset, and
// its class stays registered: each scenario runs, with its checks in a fixed
// order, in a fresh copy of this test program, started by the test of the
// same name. That copy ends with the window thread still running its message
// loop, as the installer does, so it also shows that such a process ends
// cleanly with exit code 0.
#include "ui/progress_window.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "support/win_test_support.h"
#include "support/wine_paths.h"
#include "ui/progress_rules.h"
#include "ui/window_metrics.h"

namespace kavrel {
namespace {

using testing::kGenerousWaitMs;
using testing::RunInOwnProcess;
using testing::WaitUntil;

constexpr const char* kOwnProcessSuite = "ProgressWindowOwnProcess";
// A folder where the posing test and the screenshot script meet.
constexpr const char* kPoseFolderVariable = "KAVREL_PROGRESS_POSE";

BOOL CALLBACK CollectOwnPlainWindow(HWND window, LPARAM parameter) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (processId == ::GetCurrentProcessId() && std::string(className) == "PlainWindow")
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

// Every top-level window of class "PlainWindow" of this process, hidden ones
// too. FindWindowA would also find one of another program on the same
// desktop, such as a test program run by hand beside this one.
std::vector<HWND> OwnPlainWindows() {
    std::vector<HWND> found;
    ::EnumWindows(&CollectOwnPlainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string WindowText(HWND window) {
    char buffer[256] = {};
    int length = ::GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

std::string ClassName(HWND window) {
    char buffer[64] = {};
    int length = ::GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// A window's outer rectangle, in its parent's client coordinates for a child.
RECT PlacementOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    if (HWND parent = ::GetParent(window)) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

::testing::AssertionResult HasPlacement(HWND window, int x, int y, int width, int height) {
    RECT rect = PlacementOf(window);
    if (rect.left == x && rect.top == y && rect.right - rect.left == width && rect.bottom - rect.top == height)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "placed at " << rect.left << "," << rect.top << " size "
                                         << rect.right - rect.left << "x" << rect.bottom - rect.top << ", expected "
                                         << x << "," << y << " size " << width << "x" << height;
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE)); }
DWORD ExStyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongA(window, GWL_EXSTYLE)); }

// True when every one of `bits` is set in `style`.
bool HasAll(DWORD style, DWORD bits) { return (style & bits) == bits; }
// True when none of `bits` is set in `style`.
bool HasNone(DWORD style, DWORD bits) { return (style & bits) == 0; }

// Where the window must stand: centred on the screen with the size it was
// created with, never above or left of it.
POINT ExpectedCorner() {
    int width = ::GetSystemMetrics(SM_CXSCREEN);
    int height = ::GetSystemMetrics(SM_CYSCREEN);
    return POINT{std::max(0, (width - ProgressWindowWidth()) / 2), std::max(0, (height - ProgressWindowHeight()) / 2)};
}

// The window stands at its place with the size it was created with.
::testing::AssertionResult AtItsPlace(HWND window) {
    POINT corner = ExpectedCorner();
    return HasPlacement(window, corner.x, corner.y, ProgressWindowWidth(), ProgressWindowHeight());
}

// Every child lies wholly inside the window's client area: no frame of any
// size cuts off the text or the bar.
::testing::AssertionResult HoldsItsChildren(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    for (HWND child : Children(window)) {
        RECT rect = PlacementOf(child);
        if (rect.left < client.left || rect.top < client.top || rect.right > client.right ||
            rect.bottom > client.bottom)
            return ::testing::AssertionFailure()
                   << ClassName(child) << " at " << rect.left << "," << rect.top << "-" << rect.right << ","
                   << rect.bottom << " outside the client area " << client.right << "x" << client.bottom;
    }
    return ::testing::AssertionSuccess();
}

// The message font of this process, as a DPI-aware program is told it.
LOGFONTW SystemMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    EXPECT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    return metrics.lfMessageFont;
}

HFONT FontOf(HWND window) { return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)); }

// A child's font is the message font: the same face and height.
::testing::AssertionResult HasTheMessageFont(HWND child) {
    HFONT font = FontOf(child);
    if (!font) return ::testing::AssertionFailure() << ClassName(child) << " has no font (the System font)";
    LOGFONTW used{};
    if (::GetObjectW(font, sizeof used, &used) != sizeof used)
        return ::testing::AssertionFailure() << ClassName(child) << "'s font cannot be read";
    const LOGFONTW wanted = SystemMessageFont();
    if (std::wstring(used.lfFaceName) != wanted.lfFaceName || used.lfHeight != wanted.lfHeight)
        return ::testing::AssertionFailure() << ClassName(child) << " has a font of height " << used.lfHeight
                                             << ", the message font's is " << wanted.lfHeight;
    return ::testing::AssertionSuccess();
}

// The status line is as high as a line of its font, and as wide as its text.
::testing::AssertionResult TextFitsItsLine(HWND label) {
    HDC dc = ::GetDC(label);
    HGDIOBJ before = ::SelectObject(dc, FontOf(label));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(label, text, 256);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    ::SelectObject(dc, before);
    ::ReleaseDC(label, dc);
    RECT rect{};
    ::GetClientRect(label, &rect);
    if (metrics.tmHeight + metrics.tmExternalLeading > rect.bottom || extent.cx > rect.right)
        return ::testing::AssertionFailure() << "a line of " << metrics.tmHeight << " + " << metrics.tmExternalLeading
                                             << " pixels and a text " << extent.cx << " wide in a status line of "
                                             << rect.right << "x" << rect.bottom;
    return ::testing::AssertionSuccess();
}

// The button's label fits inside it with room for its edges.
::testing::AssertionResult LabelFitsItsButton(HWND button) {
    HDC dc = ::GetDC(button);
    HGDIOBJ before = ::SelectObject(dc, FontOf(button));
    wchar_t text[64] = {};
    const int length = ::GetWindowTextW(button, text, 64);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text, length, &extent);
    ::SelectObject(dc, before);
    ::ReleaseDC(button, dc);
    RECT rect{};
    ::GetClientRect(button, &rect);
    if (extent.cx + 8 > rect.right || extent.cy + 4 > rect.bottom)
        return ::testing::AssertionFailure() << "a label of " << extent.cx << "x" << extent.cy << " in a button of "
                                             << rect.right << "x" << rect.bottom;
    return ::testing::AssertionSuccess();
}

// A visible window of this test's own thread, which the test makes the
// foreground window; destroyed when this goes.
class OwnForegroundWindow {
public:
    OwnForegroundWindow() {
        window_ = ::CreateWindowExA(0, "STATIC", "foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                    nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        if (window_) ::SetForegroundWindow(window_);
        Pump();
    }
    ~OwnForegroundWindow() {
        if (window_) ::DestroyWindow(window_);
    }
    OwnForegroundWindow(const OwnForegroundWindow&) = delete;
    OwnForegroundWindow& operator=(const OwnForegroundWindow&) = delete;

    HWND get() const { return window_; }
    // Handles what is waiting for this thread's windows.
    static void Pump() {
        MSG message{};
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    }

private:
    HWND window_ = nullptr;
};

// Waits until the window thread has published its window and has gone on
// into its message loop, so that whatever it does before the loop is done.
HWND WaitForTheWindow() {
    if (!WaitUntil([] { return ProgressWindowCreated(); })) return nullptr;
    HWND window = ProgressWindowHandle();
    // Answered only from the message loop.
    DWORD_PTR ignored = 0;
    if (window && !::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kGenerousWaitMs, &ignored)) return nullptr;
    return window;
}

// The scenarios that RunInOwnProcess starts; skipped anywhere else.
class ProgressWindowOwnProcess : public testing::OwnProcessTest {
protected:
    void SetUp() override {
        OwnProcessTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_FALSE(ProgressWindowCreated());
        ASSERT_TRUE(OwnPlainWindows().empty());
        ASSERT_EQ(CurrentSetup().progressForm, nullptr);
    }
};

TEST_F(ProgressWindowOwnProcess, Lifecycle) {
    // Before the first show: hiding starts nothing, the caption is only
    // stored, and the status text is lost.
    HideProgressWindow();
    EXPECT_FALSE(ProgressWindowCreated());
    EXPECT_TRUE(OwnPlainWindows().empty());
    EXPECT_EQ(CurrentSetup().progressForm, nullptr);
    SetProgressCaption("Early caption");
    EXPECT_EQ(ProgressCaption(), "Early caption");
    SetProgressStatus("Early status");
    EXPECT_EQ(ProgressStatus(), "");
    EXPECT_EQ(CurrentSetup().progressForm, nullptr);
    EXPECT_TRUE(OwnPlainWindows().empty());

    // The first show starts the thread and returns; the window comes from the thread.
    ShowProgressWindow("", "");
    EXPECT_EQ(ProgressCaption(), "");
    EXPECT_EQ(ProgressStatus(), "");
    TSetupForm* form = CurrentSetup().progressForm;
    ASSERT_NE(form, nullptr);
    ASSERT_NE(form->ThreadHandle(), nullptr);
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr) << "no window within the generous bound";
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
    EXPECT_EQ(OwnPlainWindows(), std::vector<HWND>{window});
    EXPECT_EQ(::GetWindowThreadProcessId(window, nullptr), form->ThreadId());
    EXPECT_NE(form->ThreadId(), ::GetCurrentThreadId());

    // Centred, topmost, never activated but on the taskbar, with a title bar but no system menu;
    // its size holds its children whatever the frame.
    POINT corner = ExpectedCorner();
    EXPECT_TRUE(AtItsPlace(window));
    EXPECT_EQ(ProgressWindowX(), corner.x);
    EXPECT_EQ(ProgressWindowY(), corner.y);
    EXPECT_TRUE(HoldsItsChildren(window));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_TOPMOST));
    // A person may give it the keyboard; the installer never does.
    EXPECT_TRUE(HasNone(ExStyleOf(window), WS_EX_NOACTIVATE));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_APPWINDOW));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_DLGMODALFRAME));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_STATICEDGE));
    EXPECT_TRUE(HasAll(StyleOf(window), WS_DLGFRAME));
    EXPECT_TRUE(HasNone(StyleOf(window), WS_SYSMENU));
    EXPECT_TRUE(HasNone(StyleOf(window), WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_CHILD));
    EXPECT_EQ(::GetParent(window), nullptr);
    EXPECT_EQ(::GetMenu(window), nullptr);
    EXPECT_EQ(WindowText(window), "");

    // The status line, the empty progress bar and the Cancel button.
    std::vector<HWND> children = Children(window);
    ASSERT_EQ(children.size(), 3u);
    HWND label = children[0];
    HWND bar = children[1];
    HWND button = children[2];
    EXPECT_EQ(button, ProgressCancelButtonHandle());
    EXPECT_EQ(ClassName(button), "Button");
    EXPECT_EQ(WindowText(button), "Cancel");
    EXPECT_TRUE(HasPlacement(button, 327, 50, 75, 23));
    EXPECT_TRUE(HasAll(StyleOf(button), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON));
    EXPECT_EQ(::GetDlgCtrlID(button), IDCANCEL);
    // No long step runs: nothing to cancel.
    EXPECT_FALSE(::IsWindowEnabled(button));
    EXPECT_EQ(label, ProgressLabelHandle());
    EXPECT_EQ(bar, ProgressBarHandle());
    EXPECT_EQ(ClassName(label), "Static");
    EXPECT_EQ(WindowText(label), "");
    EXPECT_TRUE(HasPlacement(label, 2, 2, 399, 20));
    EXPECT_TRUE(HasAll(StyleOf(label), WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(StyleOf(label) & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
    EXPECT_EQ(::GetDlgCtrlID(label), 0);
    EXPECT_EQ(ClassName(bar), "msctls_progress32");
    EXPECT_EQ(WindowText(bar), "");
    EXPECT_TRUE(HasPlacement(bar, 2, 24, 400, 20));
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 404);
    EXPECT_EQ(client.bottom, 75);
    EXPECT_TRUE(HasAll(StyleOf(bar), WS_CHILD | WS_VISIBLE | WS_THICKFRAME));
    EXPECT_EQ(::GetDlgCtrlID(bar), 0);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    // Both drawn in the message font, not the System font.
    EXPECT_TRUE(HasTheMessageFont(label));
    EXPECT_TRUE(HasTheMessageFont(bar));
    EXPECT_TRUE(HasTheMessageFont(button));
    HFONT font = FontOf(label);
    EXPECT_EQ(FontOf(bar), font);
    EXPECT_EQ(FontOf(button), font);

    // The class, registered by this module.
    EXPECT_EQ(::GetClassLongA(window, GCL_STYLE), 0x203u);
    EXPECT_EQ(::GetClassLongA(window, GCL_CBCLSEXTRA), 4u);
    EXPECT_EQ(::GetClassLongA(window, GCL_CBWNDEXTRA), 4u);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(::GetClassLongA(window, GCL_HBRBACKGROUND))),
              ::GetStockObject(GRAY_BRUSH));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(::GetClassLongA(window, GCL_HCURSOR))),
              ::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(::GetClassLongA(window, GCL_HICON), 0u);
    WNDCLASSEXA registered{};
    registered.cbSize = sizeof registered;
    EXPECT_TRUE(::GetClassInfoExA(::GetModuleHandleA(nullptr), "PlainWindow", &registered));
    EXPECT_EQ(registered.style, 0x203u);

    // A later show replaces both texts and shows the window at the place of
    // its creation, wherever it was moved to meanwhile.
    ASSERT_TRUE(::SetWindowPos(window, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(HasPlacement(window, 5, 7, ProgressWindowWidth(), ProgressWindowHeight()));
    ShowProgressWindow("A", "B");
    EXPECT_EQ(WindowText(window), "A");
    EXPECT_EQ(WindowText(label), "B");
    EXPECT_TRUE(AtItsPlace(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_TOPMOST));
    // Texts given to the window are not stored for its creation.
    EXPECT_EQ(ProgressCaption(), "");
    EXPECT_EQ(ProgressStatus(), "");

    // Caption and status line, each on its own.
    SetProgressCaption("Caption");
    EXPECT_EQ(WindowText(window), "Caption");
    EXPECT_EQ(WindowText(label), "B");
    SetProgressStatus("Status");
    EXPECT_EQ(WindowText(label), "Status");
    EXPECT_EQ(WindowText(window), "Caption");

    // Hide and show switch visibility; the window stays where it was created.
    HideProgressWindow();
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(AtItsPlace(window));
    ShowProgressWindow("Shown again", "");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "Shown again");
    EXPECT_EQ(WindowText(label), "");
    EXPECT_TRUE(AtItsPlace(window));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_TOPMOST));

    // Still the one thread and the one window.
    EXPECT_EQ(CurrentSetup().progressForm, form);
    EXPECT_EQ(::WaitForSingleObject(form->ThreadHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(OwnPlainWindows(), std::vector<HWND>{window});
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    // The bar is posted its position; shown again after a hide, the window
    // keeps its texts and its bar.
    SetProgressPosition(37);
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageA(bar, PBM_GETPOS, 0, 0) == 37; }));
    HideProgressWindow();
    ShowProgressWindowAgain();
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "Shown again");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 37);
    // New texts are a new step: the bar starts empty.
    ShowProgressWindow("Next", "step");
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    // The module's shut-down closes the window and waits for its thread,
    // which deletes the font with the window.
    ASSERT_EQ(::GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    ShutDownProgressWindow();
    EXPECT_EQ(::WaitForSingleObject(form->ThreadHandle(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(::GetObjectType(font), 0u);
}

TEST_F(ProgressWindowOwnProcess, NeverTakesActivation) {
    OwnForegroundWindow own;
    ASSERT_NE(own.get(), nullptr);
    ASSERT_EQ(::GetForegroundWindow(), own.get());
    ShowProgressWindow("Lexova update", "Checking the installation package...");
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
    // Shown, hidden and shown again: the foreground window stays this test's,
    // and the window is never its own thread's active window.
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    const auto activeOnItsThread = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(thread, &info) ? info.hwndActive : nullptr;
    };
    for (int round = 0; round < 2; ++round) {
        OwnForegroundWindow::Pump();
        EXPECT_EQ(::GetForegroundWindow(), own.get()) << round;
        EXPECT_NE(activeOnItsThread(), window) << round;
        HideProgressWindow();
        OwnForegroundWindow::Pump();
        EXPECT_EQ(::GetForegroundWindow(), own.get()) << round;
        ShowProgressWindow("Lexova update", "Installing the update...");
        EXPECT_TRUE(::IsWindowVisible(window));
    }
    OwnForegroundWindow::Pump();
    EXPECT_EQ(::GetForegroundWindow(), own.get());
    EXPECT_NE(activeOnItsThread(), window);
}

// Run with a large message font in the registry (see the test that starts it).
TEST_F(ProgressWindowOwnProcess, GrowsWithALargeMessageFont) {
    using SetAwareFn = BOOL(WINAPI*)();
    auto setAware = reinterpret_cast<SetAwareFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetProcessDPIAware")));
    ASSERT_NE(setAware, nullptr);
    setAware();
    // The system took the font: otherwise nothing below would be shown.
    ASSERT_LE(SystemMessageFont().lfHeight, -40);
    ShowProgressWindow("Обновление Lexova", "Проверка пакета установки...");
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    HWND label = ProgressLabelHandle();
    EXPECT_TRUE(HasTheMessageFont(label));
    EXPECT_TRUE(HasTheMessageFont(ProgressBarHandle()));
    EXPECT_TRUE(HasTheMessageFont(ProgressCancelButtonHandle()));
    EXPECT_TRUE(TextFitsItsLine(label));
    EXPECT_TRUE(LabelFitsItsButton(ProgressCancelButtonHandle()));
    SetProgressStatus("Checking the installation package...");
    EXPECT_TRUE(TextFitsItsLine(label));
    EXPECT_TRUE(HoldsItsChildren(window));
    EXPECT_TRUE(AtItsPlace(window));
    // Larger than with a common font, which gives the least sizes.
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_GT(client.right, 404);
    EXPECT_GT(client.bottom, 75);
}

TEST_F(ProgressWindowOwnProcess, LaidOutAtTheSystemsResolution) {
    // What the installer's manifest declares: it is told the real resolution.
    using SetAwareFn = BOOL(WINAPI*)();
    auto setAware = reinterpret_cast<SetAwareFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetProcessDPIAware")));
    ASSERT_NE(setAware, nullptr);
    setAware();
    ShowProgressWindow("Lexova update", "Installing the update...");
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(AtItsPlace(window));
    EXPECT_TRUE(HasPlacement(ProgressLabelHandle(), 3, 3, 599, 30));
    EXPECT_TRUE(HasPlacement(ProgressBarHandle(), 3, 36, 600, 30));
    // As wide as twelve average characters of the message font, or as its own
    // 75 pixels scaled to 144 DPI (113), whichever is wider. Wine 8's message
    // font averages 10 pixels a character there (120 in all), Wine 10's 9
    // (108): the scaled width stands. The difference is Wine's font metrics;
    // the layout's rule is the same.
    const int averageWidth = testing::WineMajorVersion() >= 10 ? 9 : 10;
    EXPECT_EQ(MeasureText(MessageFont().get()).averageCharWidth, averageWidth);
    const int buttonWidth = std::max(113, 12 * averageWidth);
    EXPECT_TRUE(HasPlacement(ProgressCancelButtonHandle(), 603 - buttonWidth, 75, buttonWidth, 35));
    EXPECT_TRUE(LabelFitsItsButton(ProgressCancelButtonHandle()));
    EXPECT_TRUE(HoldsItsChildren(window));
    EXPECT_TRUE(HasTheMessageFont(ProgressLabelHandle()));
    EXPECT_TRUE(TextFitsItsLine(ProgressLabelHandle()));
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 606);
    EXPECT_EQ(client.bottom, 113);
    HideProgressWindow();
    ShowProgressWindowAgain();
    EXPECT_TRUE(AtItsPlace(window));
}

TEST_F(ProgressWindowOwnProcess, SecondShowWhileStartingStartsNoSecondWindow) {
    ShowProgressWindow("first", "1");
    TSetupForm* form = CurrentSetup().progressForm;
    ASSERT_NE(form, nullptr);
    // Whether this comes before or after the window exists, the outcome is the same.
    ShowProgressWindow("second", "2");
    EXPECT_EQ(CurrentSetup().progressForm, form);
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(OwnPlainWindows(), std::vector<HWND>{window});
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "second");
    EXPECT_EQ(WindowText(ProgressLabelHandle()), "2");
    EXPECT_EQ(::WaitForSingleObject(form->ThreadHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // The module's shut-down forgets the stored texts and closes the window.
    EXPECT_NE(ProgressCaption(), "");
    EXPECT_NE(ProgressStatus(), "");
    ShutDownProgressWindow();
    EXPECT_EQ(ProgressCaption(), "");
    EXPECT_EQ(ProgressStatus(), "");
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(ProgressWindowOwnProcess, HideWhileStartingKeepsTheWindowHidden) {
    ShowProgressWindow("Hidden", "");
    // Whether this comes before or after the window exists, the window ends up hidden.
    HideProgressWindow();
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "Hidden");
    ShowProgressWindow("Visible", "now");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "Visible");
    EXPECT_EQ(WindowText(ProgressLabelHandle()), "now");
    EXPECT_TRUE(AtItsPlace(window));
}

TEST_F(ProgressWindowOwnProcess, ClassTakenAlreadyLeavesNoWindowAndStartsNoOtherThread) {
    WNDCLASSEXA taken{};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = &::DefWindowProcA;
    taken.hInstance = ::GetModuleHandleA(nullptr);
    taken.lpszClassName = "PlainWindow";
    ASSERT_NE(::RegisterClassExA(&taken), 0);

    ShowProgressWindow("", "");
    TSetupForm* form = CurrentSetup().progressForm;
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(::WaitForSingleObject(form->ThreadHandle(), kGenerousWaitMs), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the thread did not end";
    EXPECT_FALSE(ProgressWindowCreated());
    EXPECT_EQ(ProgressWindowHandle(), nullptr);
    EXPECT_TRUE(OwnPlainWindows().empty());

    // Nothing tries again, and nothing fails.
    ShowProgressWindow("again", "s");
    SetProgressStatus("x");
    HideProgressWindow();
    EXPECT_EQ(CurrentSetup().progressForm, form);
    EXPECT_FALSE(ProgressWindowCreated());
    EXPECT_TRUE(OwnPlainWindows().empty());
    EXPECT_EQ(ProgressCaption(), "again");
}

TEST_F(ProgressWindowOwnProcess, ClosedWindowEndsTheThreadAndTheOperationsReachNothing) {
    ShowProgressWindow("", "");
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    TSetupForm* form = CurrentSetup().progressForm;
    // Nothing of the installer closes it: this stands for the system doing so.
    ASSERT_TRUE(::PostMessageA(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(::WaitForSingleObject(form->ThreadHandle(), kGenerousWaitMs), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the message loop did not end with the window";
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(ProgressWindowCreated());

    ShowProgressWindow("x", "y");
    SetProgressCaption("z");
    SetProgressStatus("z");
    HideProgressWindow();
    EXPECT_EQ(CurrentSetup().progressForm, form);
    EXPECT_TRUE(OwnPlainWindows().empty());
    EXPECT_EQ(ProgressCaption(), "");
}

TEST_F(ProgressWindowOwnProcess, CancelReachesTheRunningStepUntilTheReplaceBegins) {
    const ProgressTexts texts{"Lexova update", "Checking the installation package...", 0};
    {
        // A click while the installer checks itself.
        ProgressStep checking(true, texts);
        HWND window = WaitForTheWindow();
        ASSERT_NE(window, nullptr);
        HWND button = ProgressCancelButtonHandle();
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(button) != FALSE; }));
        ASSERT_NE(checking.Cancel(), nullptr);
        EXPECT_FALSE(checking.Cancel()->Requested());
        ASSERT_TRUE(::PostMessageW(button, BM_CLICK, 0, 0));
        EXPECT_TRUE(WaitUntil([&] { return checking.Cancel()->Requested(); }));
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(button) == FALSE; }));
    }
    // A step done disables the button.
    EXPECT_FALSE(::IsWindowEnabled(ProgressCancelButtonHandle()));
    {
        // Esc, with the keyboard in the window, while the package is written.
        ProgressStep writing(true, texts);
        HWND button = ProgressCancelButtonHandle();
        ASSERT_TRUE(::IsWindowEnabled(button));
        ASSERT_TRUE(::PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0));
        EXPECT_TRUE(WaitUntil([&] { return writing.Cancel()->Requested(); }));
    }
    {
        // Enter presses it too, and not while a failed try is asked about.
        ProgressStep writing(true, texts);
        HWND button = ProgressCancelButtonHandle();
        writing.Cancel()->FailTry();
        EXPECT_FALSE(::IsWindowEnabled(button));
        writing.Cancel()->Open();
        EXPECT_TRUE(::IsWindowEnabled(button));
        ASSERT_TRUE(::PostMessageW(button, WM_KEYDOWN, VK_RETURN, 0));
        EXPECT_TRUE(WaitUntil([&] { return writing.Cancel()->Requested(); }));
    }
    {
        // Once the replace has happened, the button is disabled and a press reaches nothing.
        ProgressStep writing(true, texts);
        Cancellation* cancel = writing.Cancel();
        ASSERT_TRUE(cancel->BeginCommit());
        cancel->EndCommit(true);
        HWND button = ProgressCancelButtonHandle();
        EXPECT_FALSE(::IsWindowEnabled(button));
        ASSERT_TRUE(::PostMessageW(ProgressWindowHandle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(button)));
        // Answered only after the command before it.
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(ProgressWindowHandle(), WM_NULL, 0, 0, SMTO_NORMAL, kGenerousWaitMs, &ignored));
        EXPECT_FALSE(cancel->Requested());
    }
    // An inactive step, as in a quiet run, has nothing to cancel.
    ProgressStep quiet(false, texts);
    EXPECT_EQ(quiet.Cancel(), nullptr);
}

// Shows the window as it stands in the middle of the write, in Russian with
// its Cancel button enabled, and holds it for the screenshot script
// (tests/progress_window_screenshot.sh); skipped without its folder.
TEST(ProgressWindowPose, HoldsTheWindowForAScreenshot) {
    std::string folder = testing::WindowsPathFromEnvironment(kPoseFolderVariable);
    if (folder.empty()) GTEST_SKIP() << "run by tests/progress_window_screenshot.sh";
    // DPI-aware, as the installer's manifest declares it.
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto setAware = reinterpret_cast<SetAwareFn>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))))
        setAware();
    CurrentSetup().useRussian = true;
    ProgressStep writing(true, {"Обновление Lexova", "Установка обновления...", 0});
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
    ASSERT_TRUE(WaitUntil([] { return ::IsWindowEnabled(ProgressCancelButtonHandle()) != FALSE; }));
    SetProgressPosition(45);
    ASSERT_TRUE(WaitUntil([] { return ::SendMessageA(ProgressBarHandle(), PBM_GETPOS, 0, 0) == 45; }));
    RECT rect{};
    ASSERT_TRUE(::GetWindowRect(window, &rect));
    std::string geometry = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top) + "\n";
    // Written whole before it takes the name the script looks for.
    std::string temporary = folder + "\\ready.tmp";
    ASSERT_TRUE(testing::WriteWholeFile(temporary, geometry));
    ASSERT_TRUE(::MoveFileA(temporary.c_str(), (folder + "\\ready").c_str()));
    std::string done = folder + "\\done";
    EXPECT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }))
        << "the screenshot script did not answer";
}

TEST(ProgressWindow, StartsOnTheFirstShowAndFollowsEveryOperation) { RunInOwnProcess(kOwnProcessSuite, "Lifecycle"); }

// At 150 % every size and position is half as large again. Wine takes the
// resolution from the registry when a program starts.
TEST(ProgressWindow, IsLaidOutAtTheSystemsResolution) {
    const std::string desktop = "Control Panel\\Desktop";
    testing::SavedRegistryValue saved(HKEY_CURRENT_USER, desktop, "LogPixels");
    const DWORD dpi = 144;
    ASSERT_TRUE(testing::WriteRegistryValue(HKEY_CURRENT_USER, desktop, "LogPixels",
                                            {REG_DWORD, std::string(reinterpret_cast<const char*>(&dpi), sizeof dpi)}));
    RunInOwnProcess(kOwnProcessSuite, "LaidOutAtTheSystemsResolution");
}

TEST(ProgressWindow, NeverTakesActivation) { RunInOwnProcess(kOwnProcessSuite, "NeverTakesActivation"); }

TEST(ProgressWindow, CancelReachesTheRunningStepUntilTheReplaceBegins) {
    RunInOwnProcess(kOwnProcessSuite, "CancelReachesTheRunningStepUntilTheReplaceBegins");
}

// Wine takes the message font from the registry when a program starts.
TEST(ProgressWindow, GrowsWithALargeMessageFontAndItsTextFits) {
    const std::string metrics = "Control Panel\\Desktop\\WindowMetrics";
    testing::SavedRegistryValue saved(HKEY_CURRENT_USER, metrics, "MessageFont");
    LOGFONTW large = SystemMessageFont();
    large.lfHeight = -40;
    large.lfWidth = 0;
    ASSERT_TRUE(testing::WriteRegistryValue(HKEY_CURRENT_USER, metrics, "MessageFont",
                                            {REG_BINARY, std::string(reinterpret_cast<const char*>(&large), sizeof large)}));
    RunInOwnProcess(kOwnProcessSuite, "GrowsWithALargeMessageFont");
}

TEST(ProgressWindow, ASecondShowWhileStartingStartsNoSecondWindow) {
    RunInOwnProcess(kOwnProcessSuite, "SecondShowWhileStartingStartsNoSecondWindow");
}

TEST(ProgressWindow, AHideWhileStartingKeepsTheWindowHidden) {
    RunInOwnProcess(kOwnProcessSuite, "HideWhileStartingKeepsTheWindowHidden");
}

TEST(ProgressWindow, AClassTakenAlreadyLeavesNoWindowAndStartsNoOtherThread) {
    RunInOwnProcess(kOwnProcessSuite, "ClassTakenAlreadyLeavesNoWindowAndStartsNoOtherThread");
}

TEST(ProgressWindow, AClosedWindowEndsTheThreadAndTheOperationsReachNothing) {
    RunInOwnProcess(kOwnProcessSuite, "ClosedWindowEndsTheThreadAndTheOperationsReachNothing");
}

}  // namespace
}  // namespace kavrel
