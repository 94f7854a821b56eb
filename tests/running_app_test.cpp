// The application as a running program, played by the stand-in program
// (tests/tools/kavrel_standin.cpp), which logs what happens to it.
//
// Once a probe has seen the instance mapping of a copy, this process keeps a
// handle to it until it ends, and starting the application leaves the current
// folder changed: the tests that probe or launch therefore run each in a
// fresh copy of this test program, started by the test of the same name.
#include "app/running_app.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/setup_state.h"
#include "base/text.h"
#include "platform/com_runtime.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"
#include "support/win_test_support.h"
#include "support/wine_paths.h"

namespace kavrel {
namespace {

using testing::kGenerousWaitMs;
using testing::RunInOwnProcess;
using testing::UniqueTempName;

constexpr const char* kMappingName = "kavrel_memfile";
// Ends a forgotten stand-in by itself should a test stop half-way.
constexpr const char* kSafetyNet = "--run-ms 120000";
constexpr const char* kOwnProcessSuite = "RunningAppOwnProcess";

std::string CurrentFolder() {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, length);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = testing::ReadWholeFile(path).value_or("");
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Waits until the log holds `line`; false when it does not come in the generous bound.
bool WaitForLogLine(const std::string& log, const std::string& line) {
    return testing::WaitUntil([&] { return Contains(ReadLines(log), line); });
}

// The stand-in's process id, from its log.
DWORD LoggedProcessId(const std::string& log) {
    for (const std::string& line : ReadLines(log))
        if (line.rfind("process ", 0) == 0) return static_cast<DWORD>(std::stoul(line.substr(8)));
    return 0;
}

// A process of the stand-in: ended by its handle when the test is over.
class StandIn {
public:
    // Starts the stand-in program itself with these options.
    static StandIn Start(const std::string& options) {
        std::string program = testing::WindowsPathFromEnvironment("KAVREL_STANDIN");
        std::string commandLine = "\"" + program + "\" " + options;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        StandIn standIn;
        if (::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &started)) {
            ::CloseHandle(started.hThread);
            standIn.process_.reset(started.hProcess);
        }
        return standIn;
    }

    // Takes hold of a stand-in that someone else started, by its process id.
    static StandIn Adopt(DWORD processId) {
        StandIn standIn;
        if (processId) standIn.process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
        return standIn;
    }

    StandIn() = default;
    StandIn(StandIn&&) = default;
    StandIn& operator=(StandIn&&) = default;
    ~StandIn() { End(); }

    explicit operator bool() const { return static_cast<bool>(process_); }

    // True when the process ends within the generous bound.
    bool Ends() const { return process_ && ::WaitForSingleObject(process_.get(), kGenerousWaitMs) == WAIT_OBJECT_0; }

    // True when the process is still running after having had `ms` to end.
    bool StillRunningAfter(DWORD ms) const {
        return process_ && ::WaitForSingleObject(process_.get(), ms) == WAIT_TIMEOUT;
    }

    void End() {
        if (!process_) return;
        if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), kGenerousWaitMs);
        }
        process_.reset();
    }

private:
    UniqueHandle process_;
};

// A throwaway installation folder holding the stand-in as Kavrel.exe.
class FakeInstallation {
public:
    // In a new folder of that name (ending with a backslash).
    explicit FakeInstallation(std::string folder = UniqueTempName("Kavrel install") + "\\")
        : folder_(std::move(folder)) {
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        std::string program = testing::WindowsPathFromEnvironment("KAVREL_STANDIN");
        copied_ = ::CopyFileA(program.c_str(), Executable().c_str(), FALSE) != 0;
    }
    ~FakeInstallation() {
        ::DeleteFileA(Executable().c_str());
        ::DeleteFileA(Log().c_str());
        ::DeleteFileA(OptionsFile().c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    FakeInstallation(const FakeInstallation&) = delete;
    FakeInstallation& operator=(const FakeInstallation&) = delete;

    bool Ready() const { return copied_; }
    const std::string& Folder() const { return folder_; }
    std::string Executable() const { return folder_ + "Kavrel.exe"; }
    std::string Log() const { return folder_ + "standin.log"; }
    // Read by the stand-in at its start, whoever starts it and with whatever environment.
    std::string OptionsFile() const { return folder_ + "kavrel_standin.options"; }

private:
    std::string folder_;
    bool copied_ = false;
};

// Points the setup state at an installation for one test. Launching leaves
// the current folder inside the installation, which Windows would then refuse
// to remove: the folder of before is restored first.
class ScopedInstallation {
public:
    explicit ScopedInstallation(const FakeInstallation& installation)
        : oldFolder_(CurrentSetup().installDir), oldName_(CurrentSetup().appName), oldCurrent_(CurrentFolder()) {
        CurrentSetup().installDir = WideFromAscii(installation.Folder());
        CurrentSetup().appName = "Kavrel";
    }
    ~ScopedInstallation() {
        ::SetCurrentDirectoryA(oldCurrent_.c_str());
        CurrentSetup().installDir = oldFolder_;
        CurrentSetup().appName = oldName_;
    }
    ScopedInstallation(const ScopedInstallation&) = delete;
    ScopedInstallation& operator=(const ScopedInstallation&) = delete;

private:
    std::wstring oldFolder_;
    std::string oldName_;
    std::string oldCurrent_;
};

// True when the name "kavrel_memfile" exists: creating it finds it there.
// A mapping that this call creates is closed again at once.
bool MappingNameExists() {
    UniqueHandle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kMappingName));
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

HWND FindStandInWindow() { return ::FindWindowA("TKavrelMainForm", nullptr); }

// A stand-in started by the test itself with a log of its own; the stand-in
// is ended and its log removed when this goes.
struct LoggedStandIn {
    // `options` are the stand-in's besides its log.
    explicit LoggedStandIn(const std::string& options)
        : log(UniqueTempName("kavrel standin") + ".log"),
          standIn(StandIn::Start(options + " --log \"" + log + "\" " + kSafetyNet)) {}
    ~LoggedStandIn() {
        standIn.End();
        ::DeleteFileA(log.c_str());
    }
    LoggedStandIn(const LoggedStandIn&) = delete;
    LoggedStandIn& operator=(const LoggedStandIn&) = delete;

    // Waits until the log holds `line`; false when it does not come in the generous bound.
    bool Logs(const std::string& line) const { return WaitForLogLine(log, line); }

    std::string log;
    StandIn standIn;
};

// The application as LaunchAndActivate starts it from a fake installation of
// its own; the stand-in is ended and all put back when this goes.
struct LaunchedApp {
    LaunchedApp() = default;
    // With the installation in a folder of that name.
    explicit LaunchedApp(std::string folder) : installation(std::move(folder)) {}

    // Points the setup state at the installation and launches. `options` are
    // the stand-in's besides its log; they go through its options file, as the
    // application is started with no parameters and, by the desktop shell,
    // with the shell's environment.
    void Launch(const std::string& options) {
        ASSERT_TRUE(installation.Ready());
        pointed.emplace(installation);
        std::string all = options + " --log \"" + installation.Log() + "\" " + kSafetyNet;
        ASSERT_TRUE(testing::WriteWholeFile(installation.OptionsFile(), all));

        LaunchAndActivate();

        // Started through the shell, it may log its id after the installer's
        // own waits gave up on a busy machine: waited for in the generous bound.
        DWORD processId = 0;
        testing::WaitUntil([&] { return (processId = LoggedProcessId(installation.Log())) != 0; });
        standIn = StandIn::Adopt(processId);
        ASSERT_TRUE(standIn) << "the stand-in did not start or log its process id";
    }

    // Waits until the log holds `line`; false when it does not come in the generous bound.
    bool Logs(const std::string& line) const { return WaitForLogLine(installation.Log(), line); }
    std::vector<std::string> LogLines() const { return ReadLines(installation.Log()); }

    FakeInstallation installation;
    std::optional<ScopedInstallation> pointed;
    StandIn standIn;
};

// The tests that RunInOwnProcess starts; skipped anywhere else.
class RunningAppOwnProcess : public testing::OwnProcessTest {
protected:
    void SetUp() override {
        OwnProcessTest::SetUp();
        if (IsSkipped()) return;
        // This copy's own probes must start from a clean slate.
        ASSERT_FALSE(MappingNameExists()) << "a copy of the application is already running";
        ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    }
};

TEST_F(RunningAppOwnProcess, NoCopyRunning) {
    EXPECT_TRUE(AppNotRunning());
    // The probe's own mapping is gone: creating the name makes it anew.
    EXPECT_FALSE(MappingNameExists());
    EXPECT_TRUE(AppNotRunning());
    EXPECT_FALSE(MappingNameExists());
}

TEST_F(RunningAppOwnProcess, CopyRunningThenGone) {
    LoggedStandIn copy("--no-window");
    ASSERT_TRUE(copy.standIn);
    ASSERT_TRUE(copy.Logs("mapping created"));

    EXPECT_FALSE(AppNotRunning());

    copy.standIn.End();
    // The copy is gone, but this process's handle from the probe keeps the name.
    EXPECT_TRUE(MappingNameExists());
    EXPECT_FALSE(AppNotRunning());
    EXPECT_FALSE(AppNotRunning());
}

// The program that started the stand-in, as it logged it, in lower case.
std::string LoggedParent(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (line.rfind("parent ", 0) == 0) return LowerAscii(line.substr(7));
    return "(not logged)";
}

// This test program's file name, in lower case.
std::string OwnProgramName() {
    char self[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length < MAX_PATH ? length : 0);
    return LowerAscii(path.substr(path.find_last_of('\\') + 1));
}

// LaunchAndActivate starts the application, which `parent` then is the
// parent of, and brings its window to the front; with `folder`, from an
// installation there.
void ShowsAndActivatesTheWindow(const std::string& parent, std::optional<std::string> at = std::nullopt) {
    std::optional<LaunchedApp> launched;
    if (at) launched.emplace(*at);
    else launched.emplace();
    LaunchedApp& app = *launched;
    // Hidden at its start, so only the launch can show the window.
    ASSERT_NO_FATAL_FAILURE(app.Launch("--hidden"));

    EXPECT_TRUE(app.Logs("shown"));
    EXPECT_TRUE(app.Logs("activated"));
    std::vector<std::string> lines = app.LogLines();
    EXPECT_EQ(LoggedParent(lines), parent);
    std::string folder = app.installation.Folder();
    // Started with the installation folder as its current folder, and this
    // process stays there afterwards.
    EXPECT_TRUE(Contains(lines, "current folder " + folder.substr(0, folder.size() - 1)));
    EXPECT_EQ(LowerAscii(CurrentFolder() + "\\"), LowerAscii(folder));
    EXPECT_TRUE(Contains(lines, "mapping created"));
    EXPECT_TRUE(Contains(lines, "window created"));
    HWND window = FindStandInWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(::GetForegroundWindow(), window);

    CloseRunningApp();
    EXPECT_TRUE(app.standIn.Ends());
    lines = app.LogLines();
    EXPECT_TRUE(Contains(lines, "quit received"));
    EXPECT_TRUE(Contains(lines, "ended"));
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateShowsAndActivatesTheWindow) {
    // Started by the desktop shell, whose process under Wine is explorer.exe
    // (its "/desktop" process), not by this program.
    ShowsAndActivatesTheWindow("explorer.exe");

    // COM was initialised for the start only: this thread is free again to
    // take any model, which it is not while an apartment is left open.
    Result<ComRuntime> com = LoadComRuntime();
    ASSERT_TRUE(com.HasValue());
    HRESULT multithreaded = com.value().coInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(multithreaded, S_OK);
    if (SUCCEEDED(multithreaded)) com.value().coUninitialize();
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateWithoutTheDesktopShell) {
    // Wine disables oleaut32.dll for this copy (see the test that starts it),
    // so the desktop shell's route ends at its first step.
    ASSERT_FALSE(LoadSystemLibrary("oleaut32.dll")) << "the shell route would not fail";
    // Started by this program itself, as it was before the shell route.
    ShowsAndActivatesTheWindow(OwnProgramName());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateWhenTheShellCannotStartIt) {
    // This 32-bit program's file calls below the system folder go to the
    // 32-bit system folder; those of the desktop shell, a 64-bit process on
    // a 64-bit system, do not. So the shell finds no application there and
    // answers S_FALSE (a success code, but no start), and the installer must
    // start it itself.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    if (!wow64) GTEST_SKIP() << "needs a 64-bit system with its 64-bit desktop shell";
    char system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string unique = UniqueTempName("x");
    const std::string folder = std::string(system, length) + "\\Kavrel shell refusal " +
                               unique.substr(unique.find_last_of('\\') + 1) + "\\";
    ShowsAndActivatesTheWindow(OwnProgramName(), folder);
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateBringsAnInactiveWindowToTheFront) {
    LaunchedApp app;
    // Visible but never active by itself: showing it again does not activate
    // it, so only making it the foreground window can.
    ASSERT_NO_FATAL_FAILURE(app.Launch("--no-activate"));

    EXPECT_TRUE(app.Logs("activated"));
    HWND window = FindStandInWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetForegroundWindow(), window);

    CloseRunningApp();
    EXPECT_TRUE(app.standIn.Ends());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateAfterACopyWasSeen) {
    {
        LoggedStandIn earlier("--no-window");
        ASSERT_TRUE(earlier.standIn);
        ASSERT_TRUE(earlier.Logs("mapping created"));
        ASSERT_FALSE(AppNotRunning());
    }

    LaunchedApp app;
    ASSERT_NO_FATAL_FAILURE(app.Launch("--hidden"));

    EXPECT_TRUE(app.Logs("activated"));
    // The name is still held by this process, so the new copy finds it there.
    EXPECT_TRUE(Contains(app.LogLines(), "mapping exists"));

    CloseRunningApp();
    EXPECT_TRUE(app.standIn.Ends());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateGivesUpWithoutTheMapping) {
    LaunchedApp app;
    ASSERT_NO_FATAL_FAILURE(app.Launch("--no-mapping --hidden"));

    // The window existed long before the probes gave up, and was left alone.
    EXPECT_TRUE(app.Logs("window created"));
    std::vector<std::string> lines = app.LogLines();
    EXPECT_FALSE(Contains(lines, "mapping created"));
    EXPECT_FALSE(Contains(lines, "shown"));
    EXPECT_FALSE(Contains(lines, "activated"));
    HWND window = FindStandInWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));

    CloseRunningApp();
    EXPECT_TRUE(app.standIn.Ends());
}

TEST(AppNotRunning, IsTrueWithNoCopyAndLeavesNoMappingBehind) { RunInOwnProcess(kOwnProcessSuite, "NoCopyRunning"); }

TEST(AppNotRunning, IsFalseForARunningCopyAndStaysFalseAfterItEnds) {
    RunInOwnProcess(kOwnProcessSuite, "CopyRunningThenGone");
}

TEST(LaunchAndActivate, StartsTheApplicationInItsFolderAndBringsItsWindowToTheFront) {
    RunInOwnProcess(kOwnProcessSuite, "LaunchAndActivateShowsAndActivatesTheWindow");
}

TEST(LaunchAndActivate, FallsBackToStartingTheApplicationItselfWithoutTheDesktopShell) {
    // Without oleaut32.dll the shell's route cannot even begin, as where COM
    // is unusable; the desktop shell itself is untouched.
    testing::RunInOwnProcessWithoutDll(kOwnProcessSuite, "LaunchAndActivateWithoutTheDesktopShell", "oleaut32");
}

TEST(LaunchAndActivate, StartsTheApplicationItselfWhenTheDesktopShellAnswersWithoutStartingIt) {
    RunInOwnProcess(kOwnProcessSuite, "LaunchAndActivateWhenTheShellCannotStartIt");
}

TEST(LaunchAndActivate, MakesAShownButInactiveWindowTheForegroundWindow) {
    RunInOwnProcess(kOwnProcessSuite, "LaunchAndActivateBringsAnInactiveWindowToTheFront");
}

TEST(LaunchAndActivate, KeepsTheNameOfACopySeenEarlierAndStillActivatesTheNewOne) {
    RunInOwnProcess(kOwnProcessSuite, "LaunchAndActivateAfterACopyWasSeen");
}

TEST(LaunchAndActivate, LeavesTheWindowAloneWhenTheMappingNeverAppears) {
    RunInOwnProcess(kOwnProcessSuite, "LaunchAndActivateGivesUpWithoutTheMapping");
}

TEST(CloseRunningApp, PostsQuitToTheMainWindowAndTheApplicationEnds) {
    ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    LoggedStandIn app("");
    ASSERT_TRUE(app.standIn);
    ASSERT_TRUE(app.Logs("window created"));

    CloseRunningApp();

    EXPECT_TRUE(app.standIn.Ends());
    std::vector<std::string> lines = ReadLines(app.log);
    EXPECT_TRUE(Contains(lines, "quit received"));
    EXPECT_FALSE(Contains(lines, "close requested"));
    EXPECT_TRUE(Contains(lines, "ended"));
    EXPECT_EQ(FindStandInWindow(), nullptr);
}

TEST(CloseRunningApp, PostsNothingWhenTheCopyHasNoMainWindow) {
    ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    LoggedStandIn copy("--no-window");
    ASSERT_TRUE(copy.standIn);
    ASSERT_TRUE(copy.Logs("mapping created"));

    CloseRunningApp();

    // Given time to react to anything that reached it, it is still running.
    EXPECT_TRUE(copy.standIn.StillRunningAfter(1500));
    EXPECT_FALSE(Contains(ReadLines(copy.log), "quit received"));
}

// The stand-in itself, as other tests use it to hold the package file.
TEST(StandIn, HoldsAFileWithoutSharingUntilTheHoldTimeIsOver) {
    std::string held = UniqueTempName("kavrel held") + ".pak";
    { UniqueHandle create(::CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)); }
    LoggedStandIn holder("--no-window --hold-file \"" + held + "\" --hold-ms 2000");
    ASSERT_TRUE(holder.standIn);
    ASSERT_TRUE(holder.Logs("file held " + held));

    ::SetLastError(0);
    UniqueHandle whileHeld(::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    DWORD error = ::GetLastError();
    // Too slow a start could let the hold time pass before the attempt.
    if (!Contains(ReadLines(holder.log), "file released " + held)) {
        EXPECT_FALSE(whileHeld);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }

    ASSERT_TRUE(holder.Logs("file released " + held));
    UniqueHandle afterwards(::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(afterwards);
    EXPECT_TRUE(holder.standIn.StillRunningAfter(0));
    holder.standIn.End();
    afterwards.reset();
    ::DeleteFileA(held.c_str());
}

}  // namespace
}  // namespace kavrel
