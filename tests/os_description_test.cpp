#include "env/os_description.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/random.h"
#include "app/setup_state.h"
#include "env/console_output.h"
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

}  // namespace
}  // namespace kavrel
