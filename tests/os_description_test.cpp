#include "env/os_description.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/random.h"
#include "base/setup_state.h"
#include "env/console_output.h"
#include "env/startup_settings.h"
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
    std::string output = RunConsoleCommand("ver");
    EXPECT_NE(output.find("Windows"), std::string::npos) << output;
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(output.substr(output.size() - 2), "\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

TEST(RunConsoleCommand, IsEmptyWithoutAnInterpreter) {
    ScopedEnvironment noInterpreter("ComSpec", nullptr);
    EXPECT_EQ(RunConsoleCommand("ver"), "");
    std::string tooLong(300, 'x');
    ScopedEnvironment longInterpreter("ComSpec", tooLong.c_str());
    EXPECT_EQ(RunConsoleCommand("ver"), "");
}

TEST(RunConsoleCommand, GivesCrLfAloneWhenTheInterpreterCannotStart) {
    ScopedEnvironment missing("ComSpec", "C:\\no\\such\\interpreter.exe");
    std::vector<std::string> before = FilesIn(TempFolder());
    EXPECT_EQ(RunConsoleCommand("ver"), "\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

TEST(RunConsoleCommand, NeverOverwritesAFileThatHoldsTheRandomName) {
    std::string fake = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    ASSERT_FALSE(fake.empty());
    ScopedEnvironment interpreter("ComSpec", fake.c_str());
    SeedRandom(12345);
    std::string userFile = TempFolder() + MakeRandomFileName();
    ASSERT_TRUE(testing::WriteWholeFile(userFile, "the user's own data"));
    SeedRandom(12345);
    EXPECT_EQ(RunConsoleCommand("ver"), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(testing::ReadWholeFile(userFile).value_or("(missing)"), "the user's own data");
    ::DeleteFileA(userFile.c_str());
}

TEST(RunConsoleCommand, GoesOnWithThePartialOutputOfAHungInterpreter) {
    std::string fake = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    ASSERT_FALSE(fake.empty());
    ScopedEnvironment interpreter("ComSpec", fake.c_str());
    ScopedEnvironment hang("FAKE_COMSPEC_HANG", "1");
    std::vector<std::string> before = FilesIn(TempFolder());
    EXPECT_EQ(RunConsoleCommand("ver", 1500), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

// Without "Temp" the output file is made in the current folder, which the
// application's start changes while a "ver" left running may not have ended:
// the output is still read, and removed, where it was made.
TEST(ConsoleCommand, FindsItsOutputWhereItWasMadeAfterTheCurrentFolderChanged) {
    std::string fake = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    ASSERT_FALSE(fake.empty());
    const std::string madeIn = testing::UniqueTempName("kavrel current folder");
    const std::string changedTo = testing::UniqueTempName("kavrel current folder");
    ASSERT_TRUE(::CreateDirectoryA(madeIn.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(changedTo.c_str(), nullptr));
    char saved[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    {
        ScopedEnvironment interpreter("ComSpec", fake.c_str());
        ScopedEnvironment noTemp("Temp", nullptr);
        ASSERT_TRUE(::SetCurrentDirectoryA(madeIn.c_str()));
        ConsoleCommand ver = ConsoleCommand::Start("ver");
        ::SetCurrentDirectoryA(changedTo.c_str());
        EXPECT_EQ(ver.Finish(), "\r\nFake interpreter ran [ver]\r\n");
        ::SetCurrentDirectoryA(saved);
    }
    // Only "." and "..": nothing left in either folder.
    EXPECT_EQ(FilesIn(madeIn).size(), 2u);
    EXPECT_EQ(FilesIn(changedTo).size(), 2u);
    ::RemoveDirectoryA(madeIn.c_str());
    ::RemoveDirectoryA(changedTo.c_str());
}

TEST(DescribeOperatingSystem, AgreesWithTheTablesFedWithTheFactsReadAndSetsTheFlags) {
    std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(GatherOsFacts());
    ASSERT_TRUE(parts.has_value());
    std::string expected = ComposeOsDescription(parts, false);
    CurrentSetup().is64BitWindows = !(expected.find(" 64") != std::string::npos);
    CurrentSetup().isServerWindows = !(expected.find("Server") != std::string::npos);
    EXPECT_EQ(DescribeOperatingSystem(false), expected);
    EXPECT_EQ(CurrentSetup().is64BitWindows, expected.find(" 64") != std::string::npos);
    EXPECT_EQ(CurrentSetup().isServerWindows, expected.find("Server") != std::string::npos);
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

// Wine playing Windows 10 tells this program 6.2, as Windows 10 does (the
// manifest names no newer Windows): "ver" has to run, and with "ProductName"
// as text its output cannot change the description. The interpreter is the
// fake one, slowed down so that a wait for it cannot go unnoticed; the log
// gets "ended" as its last act.
constexpr const char* kLeavingVerSuite = "LeavingVerAsWindows10";

class LeavingVerAsWindows10 : public testing::OwnProcessTest {
protected:
    void SetUp() override {
        testing::OwnProcessTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_FALSE(fake_.empty());
        ASSERT_TRUE(NeedsVerOutput(GatherOsFacts().version)) << "this copy is not told 6.2";
        // The log has a folder of its own, so that it does not count among the temporary files.
        ASSERT_TRUE(::CreateDirectoryA(logFolder_.c_str(), nullptr));
        before_ = FilesIn(TempFolder());
    }
    void TearDown() override {
        ::DeleteFileA(log_.c_str());
        ::RemoveDirectoryA(logFolder_.c_str());
        testing::OwnProcessTest::TearDown();
    }
    bool InterpreterEnded() const { return testing::ReadWholeFile(log_).value_or("") == "ended\n"; }

    const std::string fake_ = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    const std::string logFolder_ = testing::UniqueTempName("kavrel interpreter");
    const std::string log_ = logFolder_ + "\\ended.log";
    ScopedEnvironment interpreter_{"ComSpec", fake_.c_str()};
    ScopedEnvironment delay_{"FAKE_COMSPEC_DELAY_MS", "1500"};
    ScopedEnvironment logVariable_{"FAKE_COMSPEC_LOG", log_.c_str()};
    std::vector<std::string> before_;
};

TEST_F(LeavingVerAsWindows10, TheDescriptionDoesNotWaitForAVerItCannotUse) {
    OsFacts facts = GatherOsFacts();
    ASSERT_TRUE(facts.productName.has_value()) << "Wine stores \"ProductName\" as text";
    ::DeleteFileA(log_.c_str());
    const std::string expected = ComposeOsDescription(GetWindowsVersionParts(facts), false);
    CurrentSetup().is64BitWindows = expected.find(" 64") == std::string::npos;

    OsDescription description = DescribeOperatingSystemLeavingVer(false);
    EXPECT_FALSE(InterpreterEnded());
    EXPECT_EQ(description.text, expected);
    EXPECT_EQ(CurrentSetup().is64BitWindows, expected.find(" 64") != std::string::npos);
    EXPECT_EQ(description.unfinishedVer.Finish(), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_TRUE(InterpreterEnded());
    EXPECT_EQ(FilesIn(TempFolder()), before_);
}

TEST_F(LeavingVerAsWindows10, WithoutAProductNameTheOutputCountsAndIsWaitedFor) {
    testing::SavedRegistryValue saved(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName");
    ASSERT_TRUE(testing::WriteRegistryValue(HKEY_LOCAL_MACHINE, kWindowsNtCurrentVersion, "ProductName",
                                            {REG_DWORD, std::string("\x07\0\0\0", 4)}));
    OsDescription description = DescribeOperatingSystemLeavingVer(false);
    EXPECT_TRUE(InterpreterEnded());
    EXPECT_EQ(description.unfinishedVer.Finish(), "");
    EXPECT_EQ(FilesIn(TempFolder()), before_);
}

TEST_F(LeavingVerAsWindows10, ShutDownWaitsForTheVerThatStartUpLeftRunning) {
    StartUpSettings();
    EXPECT_FALSE(InterpreterEnded());
    ShutDownSettings();
    EXPECT_TRUE(InterpreterEnded());
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
    std::string fake = testing::WindowsPathFromEnvironment("KAVREL_FAKE_COMSPEC");
    ASSERT_FALSE(fake.empty());
    ScopedEnvironment interpreter("ComSpec", fake.c_str());
    std::vector<std::string> before = FilesIn(TempFolder());
    ConsoleCommand first = ConsoleCommand::Start("ver");
    ConsoleCommand second = std::move(first);
    EXPECT_EQ(first.Finish(), "");
    EXPECT_EQ(second.Finish(), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(second.Finish(), "");
    {
        ConsoleCommand replaced = ConsoleCommand::Start("ver");
        replaced = ConsoleCommand::Start("vol");
        EXPECT_EQ(replaced.Finish(), "\r\nFake interpreter ran [vol]\r\n");
        ConsoleCommand dropped = ConsoleCommand::Start("ver");
    }
    EXPECT_EQ(FilesIn(TempFolder()), before);
}

}  // namespace
}  // namespace kavrel
