#include "env/os_description.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "env/startup_settings.h"
#include "platform/console_command_rules.h"
#include "platform/unique_handle.h"
#include "support/win_test_support.h"
#include "support/wine_paths.h"

namespace kavrel {
namespace {

using testing::FilesIn;
using testing::ScopedEnvironment;
using testing::TempFolder;

TEST(OemToAnsiText, KeepsLengthAndConvertsEveryCharacter) {
    EXPECT_EQ(OemToAnsiText(""), "");
    EXPECT_EQ(OemToAnsiText("\r\n"), "\r\n");
    EXPECT_EQ(OemToAnsiText(std::string("a\0b", 3)), std::string("a\0b", 3));
    if (::GetOEMCP() == 437 && ::GetACP() == 1252) {
        EXPECT_EQ(OemToAnsiText("caf\x82"), "caf\xE9");
    }
    if (::GetOEMCP() == 866 && ::GetACP() == 1251) {
        EXPECT_EQ(OemToAnsiText("\x8F\xE0\xA8"), "\xCF\xF0\xE8");
    }
}

TEST(RunConsoleCommand, CapturesVerThroughTheRealInterpreterAndLeavesNoFile) {
    std::vector<std::string> before = FilesIn(TempFolder());
    std::string output = RunConsoleCommand(L"ver");
    EXPECT_NE(output.find("Windows"), std::string::npos) << output;
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(output.substr(output.size() - 2), "\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

// The fake interpreter, started in the system interpreter's place, and the
// mark it leaves as its last act.
class FakeInterpreter {
public:
    FakeInterpreter() { ::CreateDirectoryA(markFolder_.c_str(), nullptr); }
    ~FakeInterpreter() {
        ::DeleteFileA(mark_.c_str());
        ::RemoveDirectoryA(markFolder_.c_str());
    }
    FakeInterpreter(const FakeInterpreter&) = delete;
    FakeInterpreter& operator=(const FakeInterpreter&) = delete;

    ConsoleCommand Start(const std::wstring& command) const {
        const std::wstring program(path_.begin(), path_.end());
        return ConsoleCommand::StartProgram(program, ComposeInterpreterCommandLine(program, command));
    }
    const std::string& Path() const { return path_; }
    bool Ran() const { return testing::ReadWholeFile(mark_).value_or("") == "ended\n"; }

private:
    const std::string path_ = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    const std::string markFolder_ = testing::UniqueTempName("kavrel interpreter");
    const std::string mark_ = markFolder_ + "\\ended.log";
    ScopedEnvironment markVariable_{"FAKE_COMSPEC_LOG", mark_.c_str()};
};

// The elevated installer's environment comes from the user's profile: an
// interpreter that "ComSpec" names would run with its rights.
TEST(RunConsoleCommand, NeverRunsTheInterpreterThatComSpecNames) {
    FakeInterpreter fake;
    ASSERT_FALSE(fake.Path().empty());
    const std::string reference = RunConsoleCommand(L"ver");
    const std::string description = DescribeOperatingSystem(true);
    const std::string tooLong(300, 'x');
    for (const char* comSpec : {fake.Path().c_str(), static_cast<const char*>(nullptr), tooLong.c_str(),
                                "C:\\no\\such\\interpreter.exe"}) {
        SCOPED_TRACE(comSpec ? comSpec : "(unset)");
        ScopedEnvironment interpreter("ComSpec", comSpec);
        EXPECT_EQ(RunConsoleCommand(L"ver"), reference);
        EXPECT_EQ(DescribeOperatingSystem(true), description);
        EXPECT_FALSE(fake.Ran());
    }
}

TEST(ConsoleCommand, GivesCrLfAloneWhenTheProgramCannotStart) {
    std::vector<std::string> before = FilesIn(TempFolder());
    EXPECT_EQ(ConsoleCommand::StartProgram(L"C:\\no\\such\\interpreter.exe", L"x /c ver").Finish(), "\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

// The program writes its line and then hangs with its output open: a read
// until the pipe ends would never return.
TEST(ConsoleCommand, GoesOnWithThePartialOutputOfAHungProgramAndEndsIt) {
    FakeInterpreter fake;
    ASSERT_FALSE(fake.Path().empty());
    ScopedEnvironment hang("FAKE_COMSPEC_HANG", "1");
    std::vector<std::string> before = FilesIn(TempFolder());
    EXPECT_EQ(fake.Start(L"ver").Finish(1500), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

TEST(DescribeOperatingSystem, AgreesWithTheTablesFedWithTheFactsReadAndSetsTheFlags) {
    const OsFacts facts = GatherOsFacts();
    std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(facts);
    ASSERT_TRUE(parts.has_value());
    std::string expected = ComposeOsDescription(parts, false);
    const std::optional<OsFlags> flags = FlagsOfDescription(parts, expected, facts.nativeMachine);
    ASSERT_TRUE(flags.has_value());
    CurrentSetup().is64BitWindows = !flags->is64BitWindows;
    CurrentSetup().isServerWindows = !flags->isServerWindows;
    EXPECT_EQ(DescribeOperatingSystem(false), expected);
    EXPECT_EQ(CurrentSetup().is64BitWindows, flags->is64BitWindows);
    EXPECT_EQ(CurrentSetup().isServerWindows, flags->isServerWindows);
    EXPECT_EQ(DescribeOperatingSystem(true), ComposeOsDescription(parts, true));
}

// A hostile "ProductName": anyone who can write the registry can leave one
// for an installer that runs elevated. The value is read only where Windows
// reports version 6 (Vista to 8.1), so the cases run in a copy of this
// program for which Wine plays Windows 7. Under Wine a 32-bit program's
// 64-bit view, where the value is read, is written with KEY_WOW64_64KEY from
// the 32-bit program itself.
constexpr const char* kProductNameSuite = "ProductNameAsWindows7";
const std::string kWindowsNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

class ProductNameAsWindows7 : public testing::OwnProcessTest {};

TEST_F(ProductNameAsWindows7, AWrongTypeKeepsTheNameSoFarAndATextIsTakenWholeAndExactly) {
    ASSERT_TRUE(NeedsProductName(GatherOsFacts())) << "this copy does not run as Windows 7";
    std::string reference;
    {
        testing::SavedRegistryValue saved(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName");
        testing::DeleteRegistryValue(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName");
        reference = DescribeOperatingSystem(false);
    }
    ASSERT_EQ(reference.rfind("Microsoft Windows ", 0), 0u) << reference;

    std::string longName = "Windows";
    while (longName.size() < 32 * 1024) longName += " Edition " + std::to_string(longName.size());
    struct Case {
        const char* label;
        DWORD type;
        std::string bytes;
        std::optional<std::string> name;  // nullopt: the name built so far stands
    };
    const Case cases[] = {
        // The bytes look like a name, so that a reader that does not look at the type would take them.
        {"a number", REG_DWORD, std::string("\x07\0\0\0", 4), std::nullopt},
        {"binary", REG_BINARY, std::string("Windows Binary\0", 15), std::nullopt},
        {"several texts", REG_MULTI_SZ, std::string("Windows First\0Windows Second\0\0", 30), std::nullopt},
        {"empty, with its NUL", REG_SZ, std::string(1, '\0'), ""},
        {"empty, not a single byte", REG_SZ, "", ""},
        {"32 KiB long", REG_SZ, longName + '\0', longName},
        // 16 bytes: a reader that trusts a NUL to follow finds heap bytes there.
        {"without its NUL", REG_SZ, "Windows 7 Edited", "Windows 7 Edited"},
    };
    for (const Case& hostile : cases) {
        SCOPED_TRACE(std::string("ProductName ") + hostile.label);
        testing::SavedRegistryValue saved(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName");
        ASSERT_TRUE(testing::WriteRegistryValue(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName",
                                                {hostile.type, hostile.bytes}));
        OsFacts facts = GatherOsFacts();
        EXPECT_EQ(facts.productName, hostile.name);
        std::string description = DescribeOperatingSystem(false);
        EXPECT_EQ(description, ComposeOsDescription(GetWindowsVersionParts(facts), false));
        if (hostile.name) {
            EXPECT_EQ(description.rfind(*hostile.name + " 64-bit", 0), 0u) << description.substr(0, 200);
        } else {
            EXPECT_EQ(description, reference);
        }
    }
}

TEST(DescribeOperatingSystem, HostileProductNameValues) {
    testing::RunInOwnProcess(kProductNameSuite, "AWrongTypeKeepsTheNameSoFarAndATextIsTakenWholeAndExactly", "win7");
}

// The processes of that program file that still run (only this process's
// children when `childrenOnly`), each held so that its end can be seen later.
std::vector<UniqueHandle> RunningProcesses(const std::string& fileName, bool childrenOnly) {
    std::vector<UniqueHandle> running;
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return running;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if ((childrenOnly && entry.th32ParentProcessID != ::GetCurrentProcessId()) ||
            ::lstrcmpiA(entry.szExeFile, fileName.c_str()) != 0)
            continue;
        UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) running.push_back(std::move(process));
    }
    return running;
}

// The system's command interpreters that this process started and that still run.
std::vector<UniqueHandle> RunningInterpreters() { return RunningProcesses("cmd.exe", true); }

bool AllEnded(const std::vector<UniqueHandle>& processes) {
    for (const UniqueHandle& process : processes)
        if (::WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) return false;
    return true;
}

// Wine playing Windows 10 tells this program 6.2, as Windows 10 does (the
// manifest names no newer Windows): "ver" has to run, and with "ProductName"
// as text its output cannot change the description. The system's
// interpreter is seen running, or not, among this process's children (under
// Wine it takes far longer to start than the description); "ComSpec" names
// the fake interpreter, which must never run.
constexpr const char* kLeavingVerSuite = "LeavingVerAsWindows10";

class LeavingVerAsWindows10 : public testing::OwnProcessTest {
protected:
    void SetUp() override {
        testing::OwnProcessTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_FALSE(fake_.Path().empty());
        ASSERT_TRUE(NeedsVerOutput(GatherOsFacts().version)) << "this copy is not told 6.2";
        before_ = FilesIn(TempFolder());
    }

    FakeInterpreter fake_;
    ScopedEnvironment interpreter_{"ComSpec", fake_.Path().c_str()};
    std::vector<std::string> before_;
};

TEST_F(LeavingVerAsWindows10, TheDescriptionDoesNotWaitForAVerItCannotUse) {
    OsFacts facts = GatherOsFacts();
    ASSERT_TRUE(facts.productName.has_value()) << "Wine stores \"ProductName\" as text";
    EXPECT_NE(facts.verOutput.find("Windows"), std::string::npos) << facts.verOutput;
    const std::string expected = ComposeOsDescription(GetWindowsVersionParts(facts), false);
    CurrentSetup().is64BitWindows = expected.find(" 64") == std::string::npos;

    OsDescription description = DescribeOperatingSystemLeavingVer(false);
    const std::vector<UniqueHandle> running = RunningInterpreters();
    EXPECT_EQ(running.size(), 1u);
    EXPECT_EQ(description.text, expected);
    EXPECT_EQ(CurrentSetup().is64BitWindows, expected.find(" 64") != std::string::npos);
    EXPECT_EQ(description.unfinishedVer.Finish(), facts.verOutput);
    EXPECT_TRUE(AllEnded(running));
    EXPECT_FALSE(fake_.Ran());
    EXPECT_EQ(FilesIn(TempFolder()), before_);
}

TEST_F(LeavingVerAsWindows10, WithoutAProductNameTheOutputCountsAndIsWaitedFor) {
    testing::SavedRegistryValue saved(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName");
    ASSERT_TRUE(testing::WriteRegistryValue(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName",
                                            {REG_DWORD, std::string("\x07\0\0\0", 4)}));
    OsDescription description = DescribeOperatingSystemLeavingVer(false);
    EXPECT_TRUE(RunningInterpreters().empty());
    EXPECT_EQ(description.unfinishedVer.Finish(), "");
    EXPECT_FALSE(fake_.Ran());
    EXPECT_EQ(FilesIn(TempFolder()), before_);
}

TEST_F(LeavingVerAsWindows10, ShutDownWaitsForTheVerThatStartUpLeftRunning) {
    StartUpSettings();
    const std::vector<UniqueHandle> running = RunningInterpreters();
    EXPECT_EQ(running.size(), 1u);
    ShutDownSettings();
    EXPECT_TRUE(AllEnded(running));
    EXPECT_FALSE(fake_.Ran());
    EXPECT_EQ(FilesIn(TempFolder()), before_);
}

TEST(DescribeOperatingSystem, LeavesVerRunningOnlyWhereItsOutputCannotMatter) {
    testing::RunInOwnProcess(kLeavingVerSuite, "TheDescriptionDoesNotWaitForAVerItCannotUse", "win10");
    testing::RunInOwnProcess(kLeavingVerSuite, "WithoutAProductNameTheOutputCountsAndIsWaitedFor", "win10");
    testing::RunInOwnProcess(kLeavingVerSuite, "ShutDownWaitsForTheVerThatStartUpLeftRunning", "win10");
}

// Moving hands the running command on whole: the moved-from one has nothing
// left to wait for or delete, so the output reaches its new owner.
TEST(ConsoleCommand, MovesWithoutLosingTheOutputAndFinishesOnce) {
    FakeInterpreter fake;
    ASSERT_FALSE(fake.Path().empty());
    std::vector<std::string> before = FilesIn(TempFolder());
    ConsoleCommand first = fake.Start(L"ver");
    ConsoleCommand second = std::move(first);
    EXPECT_EQ(first.Finish(), "");
    EXPECT_EQ(second.Finish(), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(second.Finish(), "");
    {
        ConsoleCommand replaced = fake.Start(L"ver");
        replaced = fake.Start(L"vol");
        EXPECT_EQ(replaced.Finish(), "\r\nFake interpreter ran [vol]\r\n");
        ConsoleCommand dropped = fake.Start(L"ver");
    }
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

// What the command starts and leaves running ends with it, whether the
// command ends by itself or is ended at the bound.
TEST(ConsoleCommand, EndsWhatTheCommandLeftRunning) {
    FakeInterpreter fake;
    ASSERT_FALSE(fake.Path().empty());
    const std::string fileName = fake.Path().substr(fake.Path().find_last_of("\\/") + 1);
    ScopedEnvironment spawn("FAKE_COMSPEC_SPAWN", "1");
    for (const char* hang : {static_cast<const char*>(nullptr), "1"}) {
        SCOPED_TRACE(hang ? "hung" : "ended");
        ScopedEnvironment hangs("FAKE_COMSPEC_HANG", hang);
        EXPECT_EQ(fake.Start(L"ver").Finish(3000), "\r\nFake interpreter ran [ver and left a program running]\r\n");
        for (const UniqueHandle& left : RunningProcesses(fileName, false)) {
            EXPECT_EQ(::WaitForSingleObject(left.get(), 5000), WAIT_OBJECT_0);
            ::TerminateProcess(left.get(), 1);  // so that a failure leaves nothing hung behind
        }
    }
}

// The program gets the pipe alone, not a handle that this process made
// inheritable for another program of its own.
TEST(ConsoleCommand, HandsTheProgramThePipeAlone) {
    FakeInterpreter fake;
    ASSERT_FALSE(fake.Path().empty());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueHandle signalled(::CreateEventA(&inheritable, TRUE, TRUE, nullptr));
    ASSERT_TRUE(signalled);
    const std::string value = std::to_string(reinterpret_cast<std::uintptr_t>(signalled.get()));
    ScopedEnvironment probe("FAKE_COMSPEC_PROBE", value.c_str());
    EXPECT_EQ(fake.Start(L"ver").Finish(), "\r\nFake interpreter ran [ver]\r\n");
}

}  // namespace
}  // namespace kavrel
