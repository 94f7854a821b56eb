#include "env/os_description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/random.h"
#include "app/setup_state.h"
#include "app/text.h"
#include "env/console_output.h"
#include "platform/unique_handle.h"
#include "support/wine_paths.h"

namespace kavrel {
namespace {

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

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA("Temp", buffer, MAX_PATH);
    std::string folder(buffer, length);
    AddTrailingBackslash(folder);
    return folder;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    UniqueFindHandle find(::FindFirstFileA((folder + "*").c_str(), &entry));
    if (!find) return names;
    do names.emplace_back(entry.cFileName);
    while (::FindNextFileA(find.get(), &entry));
    return names;
}

std::string ReadFileText(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return "(missing)";
    char buffer[256];
    DWORD read = 0;
    ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr);
    return std::string(buffer, read);
}

void WriteFileText(const std::string& path, const std::string& text) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    ASSERT_EQ(written, text.size());
}

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
    WriteFileText(userFile, "the user's own data");
    SeedRandom(12345);
    EXPECT_EQ(RunConsoleCommand("ver"), "\r\nFake interpreter ran [ver]\r\n");
    EXPECT_EQ(ReadFileText(userFile), "the user's own data");
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
