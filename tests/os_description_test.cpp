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

// A hostile "ProductName": anyone who can write the registry can leave one
// for an installer that runs elevated. The value is read only where Windows
// reports version 6 (Vista to 8.1), so the cases run in a copy of this
// program for which Wine plays Windows 7. Under Wine a 32-bit program's
// 64-bit view, where the value is read, is written with KEY_WOW64_64KEY from
// the 32-bit program itself.
constexpr const char* kProductNameSuite = "ProductNameAsWindows7";
constexpr const char* kWindows7Copy = "kavrel_tests_as_win7.exe";
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
    char self[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::string copy = TempFolder() + kWindows7Copy;
    ASSERT_TRUE(::CopyFileA(self, copy.c_str(), FALSE));
    {
        // Wine's setting for programs of that file name; removed however the test ends.
        const std::string appDefaults = std::string("Software\\Wine\\AppDefaults\\") + kWindows7Copy;
        testing::SavedRegistryValue version(HKEY_CURRENT_USER, appDefaults, "Version");
        ASSERT_TRUE(testing::WriteRegistryValue(HKEY_CURRENT_USER, appDefaults, "Version",
                                                {REG_SZ, std::string("win7", 5)}));
        testing::RunInOwnProcess(kProductNameSuite, "AWrongTypeKeepsTheNameSoFarAndATextIsTakenWholeAndExactly", copy);
    }
    ::DeleteFileA(copy.c_str());
}

}  // namespace
}  // namespace kavrel
