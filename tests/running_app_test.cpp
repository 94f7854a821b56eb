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
#include <vector>

#include "app/setup_state.h"
#include "app/text.h"
#include "platform/unique_handle.h"
#include "support/wine_paths.h"

namespace kavrel {
namespace {

constexpr const char* kMappingName = "kavrel_memfile";
// Long enough for a slow start under Wine; never reached when all is well.
constexpr DWORD kGenerousWaitMs = 20000;
// Ends a forgotten stand-in by itself should a test stop half-way.
constexpr const char* kSafetyNet = "--run-ms 120000";
constexpr const char* kOwnProcessMarkerVariable = "KAVREL_RUNNING_APP_MARKER";

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        char buffer[32768];
        DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
        if (length > 0 && length < sizeof buffer) old_ = std::string(buffer, length);
        ::SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string EnvironmentText(const char* name) {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, MAX_PATH);
    return length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::string TempFolder() {
    std::string folder = EnvironmentText("Temp");
    AddTrailingBackslash(folder);
    return folder;
}

std::string CurrentFolder() {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, length);
}

// A name of its own in the temporary folder for each call.
std::string UniqueTempName(const char* stem) {
    static int counter = 0;
    return TempFolder() + stem + " " + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
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
    for (DWORD waited = 0; waited < kGenerousWaitMs; waited += 50) {
        if (Contains(ReadLines(log), line)) return true;
        ::Sleep(50);
    }
    return Contains(ReadLines(log), line);
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
    FakeInstallation() : folder_(UniqueTempName("Kavrel install") + "\\") {
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        std::string program = testing::WindowsPathFromEnvironment("KAVREL_STANDIN");
        copied_ = ::CopyFileA(program.c_str(), Executable().c_str(), FALSE) != 0;
    }
    ~FakeInstallation() {
        ::DeleteFileA(Executable().c_str());
        ::DeleteFileA(Log().c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    FakeInstallation(const FakeInstallation&) = delete;
    FakeInstallation& operator=(const FakeInstallation&) = delete;

    bool Ready() const { return copied_; }
    const std::string& Folder() const { return folder_; }
    std::string Executable() const { return folder_ + "Kavrel.exe"; }
    std::string Log() const { return folder_ + "standin.log"; }

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
        CurrentSetup().installDir = installation.Folder();
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
    std::string oldFolder_;
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

// Runs RunningAppOwnProcess.<name> in a fresh copy of this program; it passes
// when that copy runs the test and the test passes.
void RunInOwnProcess(const std::string& name) {
    char self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string marker = UniqueTempName("kavrel own process") + ".passed";
    ScopedEnvironment markerVariable(kOwnProcessMarkerVariable, marker.c_str());
    std::string commandLine = std::string("\"") + self + "\" --gtest_filter=RunningAppOwnProcess." + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &started));
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 240000), WAIT_OBJECT_0) << name << " did not end";
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << name << " failed in its own process (its output is above)";
    EXPECT_NE(::GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << name << " did not run";
    ::DeleteFileA(marker.c_str());
}

// The tests that RunInOwnProcess starts; skipped anywhere else.
class RunningAppOwnProcess : public ::testing::Test {
protected:
    void SetUp() override {
        marker_ = EnvironmentText(kOwnProcessMarkerVariable);
        if (marker_.empty()) GTEST_SKIP() << "runs only in a process of its own (see RunInOwnProcess)";
        // This copy's own probes must start from a clean slate.
        ASSERT_FALSE(MappingNameExists()) << "a copy of the application is already running";
        ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    }
    void TearDown() override {
        if (marker_.empty() || HasFailure()) return;
        UniqueHandle file(::CreateFileA(marker_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }

private:
    std::string marker_;
};

TEST_F(RunningAppOwnProcess, NoCopyRunning) {
    EXPECT_TRUE(AppNotRunning());
    // The probe's own mapping is gone: creating the name makes it anew.
    EXPECT_FALSE(MappingNameExists());
    EXPECT_TRUE(AppNotRunning());
    EXPECT_FALSE(MappingNameExists());
}

TEST_F(RunningAppOwnProcess, CopyRunningThenGone) {
    std::string log = UniqueTempName("kavrel standin") + ".log";
    StandIn standIn = StandIn::Start("--no-window --log \"" + log + "\" " + kSafetyNet);
    ASSERT_TRUE(standIn);
    ASSERT_TRUE(WaitForLogLine(log, "mapping created"));

    EXPECT_FALSE(AppNotRunning());

    standIn.End();
    // The copy is gone, but this process's handle from the probe keeps the name.
    EXPECT_TRUE(MappingNameExists());
    EXPECT_FALSE(AppNotRunning());
    EXPECT_FALSE(AppNotRunning());
    ::DeleteFileA(log.c_str());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateShowsAndActivatesTheWindow) {
    FakeInstallation installation;
    ASSERT_TRUE(installation.Ready());
    ScopedInstallation pointed(installation);
    // Hidden at its start, so only the launch can show the window.
    std::string options = "--hidden --log \"" + installation.Log() + "\" " + kSafetyNet;
    ScopedEnvironment standInOptions("KAVREL_STANDIN_OPTIONS", options.c_str());

    LaunchAndActivate();

    StandIn standIn = StandIn::Adopt(LoggedProcessId(installation.Log()));
    ASSERT_TRUE(standIn) << "the stand-in did not start or log its process id";
    EXPECT_TRUE(WaitForLogLine(installation.Log(), "shown"));
    EXPECT_TRUE(WaitForLogLine(installation.Log(), "activated"));
    std::vector<std::string> lines = ReadLines(installation.Log());
    std::string folder = installation.Folder();
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
    EXPECT_TRUE(standIn.Ends());
    lines = ReadLines(installation.Log());
    EXPECT_TRUE(Contains(lines, "quit received"));
    EXPECT_TRUE(Contains(lines, "ended"));
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateBringsAnInactiveWindowToTheFront) {
    FakeInstallation installation;
    ASSERT_TRUE(installation.Ready());
    ScopedInstallation pointed(installation);
    // Visible but never active by itself: showing it again does not activate
    // it, so only making it the foreground window can.
    std::string options = "--no-activate --log \"" + installation.Log() + "\" " + kSafetyNet;
    ScopedEnvironment standInOptions("KAVREL_STANDIN_OPTIONS", options.c_str());

    LaunchAndActivate();

    StandIn standIn = StandIn::Adopt(LoggedProcessId(installation.Log()));
    ASSERT_TRUE(standIn) << "the stand-in did not start or log its process id";
    EXPECT_TRUE(WaitForLogLine(installation.Log(), "activated"));
    HWND window = FindStandInWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetForegroundWindow(), window);

    CloseRunningApp();
    EXPECT_TRUE(standIn.Ends());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateAfterACopyWasSeen) {
    std::string earlierLog = UniqueTempName("kavrel standin") + ".log";
    {
        StandIn earlier = StandIn::Start("--no-window --log \"" + earlierLog + "\" " + kSafetyNet);
        ASSERT_TRUE(earlier);
        ASSERT_TRUE(WaitForLogLine(earlierLog, "mapping created"));
        ASSERT_FALSE(AppNotRunning());
    }
    ::DeleteFileA(earlierLog.c_str());

    FakeInstallation installation;
    ASSERT_TRUE(installation.Ready());
    ScopedInstallation pointed(installation);
    std::string options = "--hidden --log \"" + installation.Log() + "\" " + kSafetyNet;
    ScopedEnvironment standInOptions("KAVREL_STANDIN_OPTIONS", options.c_str());

    LaunchAndActivate();

    StandIn standIn = StandIn::Adopt(LoggedProcessId(installation.Log()));
    ASSERT_TRUE(standIn) << "the stand-in did not start or log its process id";
    EXPECT_TRUE(WaitForLogLine(installation.Log(), "activated"));
    // The name is still held by this process, so the new copy finds it there.
    EXPECT_TRUE(Contains(ReadLines(installation.Log()), "mapping exists"));

    CloseRunningApp();
    EXPECT_TRUE(standIn.Ends());
}

TEST_F(RunningAppOwnProcess, LaunchAndActivateGivesUpWithoutTheMapping) {
    FakeInstallation installation;
    ASSERT_TRUE(installation.Ready());
    ScopedInstallation pointed(installation);
    std::string options = "--no-mapping --hidden --log \"" + installation.Log() + "\" " + kSafetyNet;
    ScopedEnvironment standInOptions("KAVREL_STANDIN_OPTIONS", options.c_str());

    LaunchAndActivate();

    StandIn standIn = StandIn::Adopt(LoggedProcessId(installation.Log()));
    ASSERT_TRUE(standIn) << "the stand-in did not start or log its process id";
    // The window existed long before the probes gave up, and was left alone.
    EXPECT_TRUE(WaitForLogLine(installation.Log(), "window created"));
    std::vector<std::string> lines = ReadLines(installation.Log());
    EXPECT_FALSE(Contains(lines, "mapping created"));
    EXPECT_FALSE(Contains(lines, "shown"));
    EXPECT_FALSE(Contains(lines, "activated"));
    HWND window = FindStandInWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));

    CloseRunningApp();
    EXPECT_TRUE(standIn.Ends());
}

TEST(AppNotRunning, IsTrueWithNoCopyAndLeavesNoMappingBehind) { RunInOwnProcess("NoCopyRunning"); }

TEST(AppNotRunning, IsFalseForARunningCopyAndStaysFalseAfterItEnds) { RunInOwnProcess("CopyRunningThenGone"); }

TEST(LaunchAndActivate, StartsTheApplicationInItsFolderAndBringsItsWindowToTheFront) {
    RunInOwnProcess("LaunchAndActivateShowsAndActivatesTheWindow");
}

TEST(LaunchAndActivate, MakesAShownButInactiveWindowTheForegroundWindow) {
    RunInOwnProcess("LaunchAndActivateBringsAnInactiveWindowToTheFront");
}

TEST(LaunchAndActivate, KeepsTheNameOfACopySeenEarlierAndStillActivatesTheNewOne) {
    RunInOwnProcess("LaunchAndActivateAfterACopyWasSeen");
}

TEST(LaunchAndActivate, LeavesTheWindowAloneWhenTheMappingNeverAppears) {
    RunInOwnProcess("LaunchAndActivateGivesUpWithoutTheMapping");
}

TEST(CloseRunningApp, PostsQuitToTheMainWindowAndTheApplicationEnds) {
    ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    std::string log = UniqueTempName("kavrel standin") + ".log";
    StandIn standIn = StandIn::Start("--log \"" + log + "\" " + kSafetyNet);
    ASSERT_TRUE(standIn);
    ASSERT_TRUE(WaitForLogLine(log, "window created"));

    CloseRunningApp();

    EXPECT_TRUE(standIn.Ends());
    std::vector<std::string> lines = ReadLines(log);
    EXPECT_TRUE(Contains(lines, "quit received"));
    EXPECT_FALSE(Contains(lines, "close requested"));
    EXPECT_TRUE(Contains(lines, "ended"));
    EXPECT_EQ(FindStandInWindow(), nullptr);
    ::DeleteFileA(log.c_str());
}

TEST(CloseRunningApp, PostsNothingWhenTheCopyHasNoMainWindow) {
    ASSERT_EQ(FindStandInWindow(), nullptr) << "a main window of the application already exists";
    std::string log = UniqueTempName("kavrel standin") + ".log";
    StandIn standIn = StandIn::Start("--no-window --log \"" + log + "\" " + kSafetyNet);
    ASSERT_TRUE(standIn);
    ASSERT_TRUE(WaitForLogLine(log, "mapping created"));

    CloseRunningApp();

    // Given time to react to anything that reached it, it is still running.
    EXPECT_TRUE(standIn.StillRunningAfter(1500));
    EXPECT_FALSE(Contains(ReadLines(log), "quit received"));
    standIn.End();
    ::DeleteFileA(log.c_str());
}

// The stand-in itself, as other tests use it to hold the package file.
TEST(StandIn, HoldsAFileWithoutSharingUntilTheHoldTimeIsOver) {
    std::string held = UniqueTempName("kavrel held") + ".pak";
    { UniqueHandle create(::CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)); }
    std::string log = UniqueTempName("kavrel standin") + ".log";
    StandIn standIn = StandIn::Start("--no-window --hold-file \"" + held + "\" --hold-ms 2000 --log \"" + log + "\" " +
                                     kSafetyNet);
    ASSERT_TRUE(standIn);
    ASSERT_TRUE(WaitForLogLine(log, "file held " + held));

    ::SetLastError(0);
    UniqueHandle whileHeld(::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    DWORD error = ::GetLastError();
    // Too slow a start could let the hold time pass before the attempt.
    if (!Contains(ReadLines(log), "file released " + held)) {
        EXPECT_FALSE(whileHeld);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }

    ASSERT_TRUE(WaitForLogLine(log, "file released " + held));
    UniqueHandle afterwards(::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(afterwards);
    EXPECT_TRUE(standIn.StillRunningAfter(0));
    standIn.End();
    afterwards.reset();
    ::DeleteFileA(held.c_str());
    ::DeleteFileA(log.c_str());
}

}  // namespace
}  // namespace kavrel
