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

// An environment variable's value; empty when unset.
std::string EnvironmentText(const char* name);

// The temporary folder, with its backslash.
std::string TempFolder();

// A path of its own in the temporary folder for each call.
std::string UniqueTempName(const char* stem);

// The names in a folder, "." and ".." included; empty when it cannot be read.
std::vector<std::string> FilesIn(const std::string& folder);

// A whole file's content; nullopt when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Creates or truncates a file with that content; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& content);

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
// copy ended with 0.
void RunInOwnProcess(const std::string& suite, const std::string& name);

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
