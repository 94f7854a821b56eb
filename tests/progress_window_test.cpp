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

#include "app/setup_state.h"
#include "support/win_test_support.h"
#include "support/wine_paths.h"
#include "ui/progress_rules.h"

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

// Where the window must stand: centred on the screen, never above or left of it.
POINT ExpectedCorner() {
    int width = ::GetSystemMetrics(SM_CXSCREEN);
    int height = ::GetSystemMetrics(SM_CYSCREEN);
    return POINT{std::max(0, (width - 408) / 2), std::max(0, (height - 76) / 2)};
}

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

    // Centred, topmost, 408 x 76, with a title bar but no system menu.
    POINT corner = ExpectedCorner();
    EXPECT_TRUE(HasPlacement(window, corner.x, corner.y, 408, 76));
    EXPECT_EQ(ProgressWindowX(), corner.x);
    EXPECT_EQ(ProgressWindowY(), corner.y);
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_TOPMOST));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_DLGMODALFRAME));
    EXPECT_TRUE(HasAll(ExStyleOf(window), WS_EX_STATICEDGE));
    EXPECT_TRUE(HasAll(StyleOf(window), WS_DLGFRAME));
    EXPECT_TRUE(HasNone(StyleOf(window), WS_SYSMENU));
    EXPECT_TRUE(HasNone(StyleOf(window), WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_CHILD));
    EXPECT_EQ(::GetParent(window), nullptr);
    EXPECT_EQ(::GetMenu(window), nullptr);
    EXPECT_EQ(WindowText(window), "");

    // The status line and the empty progress bar.
    std::vector<HWND> children = Children(window);
    ASSERT_EQ(children.size(), 2u);
    HWND label = children[0];
    HWND bar = children[1];
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
    EXPECT_TRUE(HasAll(StyleOf(bar), WS_CHILD | WS_VISIBLE | WS_THICKFRAME));
    EXPECT_EQ(::GetDlgCtrlID(bar), 0);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

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
    ASSERT_TRUE(HasPlacement(window, 5, 7, 408, 76));
    ShowProgressWindow("A", "B");
    EXPECT_EQ(WindowText(window), "A");
    EXPECT_EQ(WindowText(label), "B");
    EXPECT_TRUE(HasPlacement(window, corner.x, corner.y, 408, 76));
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
    EXPECT_TRUE(HasPlacement(window, corner.x, corner.y, 408, 76));
    ShowProgressWindow("Shown again", "");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowText(window), "Shown again");
    EXPECT_EQ(WindowText(label), "");
    EXPECT_TRUE(HasPlacement(window, corner.x, corner.y, 408, 76));
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

    // The module's shut-down closes the window and waits for its thread.
    ShutDownProgressWindow();
    EXPECT_EQ(::WaitForSingleObject(form->ThreadHandle(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(::IsWindow(window));
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
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_TRUE(HasPlacement(window, (width - 612) / 2, (height - 114) / 2, 612, 114));
    EXPECT_TRUE(HasPlacement(ProgressLabelHandle(), 3, 3, 599, 30));
    EXPECT_TRUE(HasPlacement(ProgressBarHandle(), 3, 36, 600, 30));
    HideProgressWindow();
    ShowProgressWindowAgain();
    EXPECT_TRUE(HasPlacement(window, (width - 612) / 2, (height - 114) / 2, 612, 114));
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
    POINT corner = ExpectedCorner();
    EXPECT_TRUE(HasPlacement(window, corner.x, corner.y, 408, 76));
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

// Shows the window as it stands in the middle of the write, in Russian, and
// holds it for the screenshot script (tests/progress_window_screenshot.sh);
// skipped without its folder.
TEST(ProgressWindowPose, HoldsTheWindowForAScreenshot) {
    std::string folder = testing::WindowsPathFromEnvironment(kPoseFolderVariable);
    if (folder.empty()) GTEST_SKIP() << "run by tests/progress_window_screenshot.sh";
    ShowProgressWindow("Обновление Lexova", "Установка обновления...");
    HWND window = WaitForTheWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
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
