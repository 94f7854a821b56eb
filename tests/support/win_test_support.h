#pragma once
// Helpers of the tests that run under Wine, shared by every test file.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kavrel::testing {

// Long enough for a slow start under Wine; never reached when all is well.
constexpr DWORD kGenerousWaitMs = 20000;

// Sets an environment variable (null: removes it) for one scope and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The major version of the Wine that runs the test (ntdll's wine_get_version),
// 0 on Windows: where Wine versions differ, the tests say which does what.
int WineMajorVersion();

// An environment variable's value; empty when unset.
std::string EnvironmentText(const char* name);

// The temporary folder, with its backslash.
std::string TempFolder();

// A path of its own in the temporary folder for each call, not taken yet.
std::string UniqueTempName(const char* stem);

// The names in a folder, "." and ".." included; empty when it cannot be read.
std::vector<std::string> FilesIn(const std::string& folder);

// A whole file's content; nullopt when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Creates or truncates a file with that content; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& content);

// A registry value exactly as stored: its type and its bytes, a text's NUL
// included only when it was stored with one.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

// Raw access to a value in the 64-bit view, where the installer looks on a
// 64-bit Windows. Under Wine a 32-bit program reaches that view only through
// KEY_WOW64_64KEY: 64-bit tools write another key. Stored byte for byte, with
// no NUL added, so that the tests can store what no well-behaved program would.
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& path, const char* name);
bool WriteRegistryValue(HKEY root, const std::string& path, const char* name, const RegistryValue& value);
void DeleteRegistryValue(HKEY root, const std::string& path, const char* name);

// Puts a value back exactly as it was, or removes it when there was none, at
// the end of the scope, however the test ends.
class SavedRegistryValue {
public:
    SavedRegistryValue(HKEY root, std::string path, const char* name);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue&) = delete;
    SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

private:
    HKEY root_;
    std::string path_;
    const char* name_;
    std::optional<RegistryValue> saved_;
};

// Polls every 20 ms until `condition` holds; false when it does not within the bound.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD boundMs = kGenerousWaitMs) {
    for (DWORD waited = 0; waited < boundMs; waited += 20) {
        if (condition()) return true;
        ::Sleep(20);
    }
    return condition();
}

// Runs <suite>.<name> in a fresh copy of this test program, for tests of
// process-wide state that cannot be reset (a kept mapping handle, a window
// thread). It passes when the copy ran that test, the test passed and the
// copy ended with 0. With `windowsVersion` (Wine's name: "win7", "win10"…)
// Wine plays that Windows for the copy.
void RunInOwnProcess(const std::string& suite, const std::string& name, const std::string& windowsVersion = {});

// The same in a copy for which Wine disables the system DLL `dllName` (a
// base name: "oleaut32"), so that no way of loading it succeeds.
void RunInOwnProcessWithoutDll(const std::string& suite, const std::string& name, const std::string& dllName);

// Base of the tests that RunInOwnProcess starts: skipped anywhere else, and
// marked as run when they pass.
class OwnProcessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::string marker_;
};

}  // namespace kavrel::testing
