#include "support/win_test_support.h"

#include <cstdlib>

#include "base/text.h"
#include "platform/unique_handle.h"

namespace kavrel::testing {

namespace {
constexpr const char* kOwnProcessMarkerVariable = "KAVREL_OWN_PROCESS_MARKER";
constexpr char kNotNul = '\x7F';
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    char buffer[32768];
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) old_ = std::string(buffer, length);
    ::SetEnvironmentVariableA(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { ::SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }

int WineMajorVersion() {
    using WineVersionFn = const char*(CDECL*)();
    auto wineVersion = reinterpret_cast<WineVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return wineVersion ? std::atoi(wineVersion()) : 0;
}

std::string EnvironmentText(const char* name) {
    char buffer[32768];
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string TempFolder() {
    std::string folder = EnvironmentText("Temp");
    AddTrailingBackslash(folder);
    return folder;
}

std::string UniqueTempName(const char* stem) {
    static int counter = 0;
    // Wine hands out the same small process ids run after run, and a build
    // tree's prefix keeps what earlier runs left: skip names already taken.
    for (;;) {
        std::string path =
            TempFolder() + stem + " " + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
    }
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    AddTrailingBackslash(pattern);
    WIN32_FIND_DATAA entry{};
    UniqueFindHandle find(::FindFirstFileA((pattern + "*").c_str(), &entry));
    if (!find) return names;
    do names.emplace_back(entry.cFileName);
    while (::FindNextFileA(find.get(), &entry));
    return names;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string content;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) content.append(chunk, read);
    return content;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueHKey owned(key);
    RegistryValue value;
    DWORD size = 0;
    if (::RegQueryValueExA(owned.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.assign(size, '\0');
    if (::RegQueryValueExA(owned.get(), name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()),
                           &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    return value;
}

bool WriteRegistryValue(HKEY root, const std::string& path, const char* name, const RegistryValue& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    UniqueHKey owned(key);
    // RegSetValueExA takes a NUL right after a text's counted bytes for one
    // the caller forgot to count, and stores it (Windows NT does, and Wine
    // copies it): a byte that is not NUL there keeps the count exact.
    std::string buffer = value.bytes + kNotNul;
    return ::RegSetValueExA(owned.get(), name, 0, value.type, reinterpret_cast<const BYTE*>(buffer.data()),
                            static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

void DeleteRegistryValue(HKEY root, const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    UniqueHKey owned(key);
    ::RegDeleteValueA(owned.get(), name);
}

namespace {

// The saved copy goes through the wide functions: a text that the ANSI code
// page cannot hold (a profile folder in Cyrillic on an English Windows)
// comes back unchanged. Names and paths are ASCII.
std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::optional<RegistryValue> ReadWideValue(HKEY root, const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueHKey owned(key);
    RegistryValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(owned.get(), Wide(name).c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.assign(size, '\0');
    if (::RegQueryValueExW(owned.get(), Wide(name).c_str(), nullptr, &value.type,
                           reinterpret_cast<BYTE*>(value.bytes.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    return value;
}

bool WriteWideValue(HKEY root, const std::string& path, const char* name, const RegistryValue& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    UniqueHKey owned(key);
    // As RegSetValueExA: a wide NUL after the counted bytes would be stored too.
    std::string buffer = value.bytes + kNotNul + kNotNul;
    return ::RegSetValueExW(owned.get(), Wide(name).c_str(), 0, value.type,
                            reinterpret_cast<const BYTE*>(buffer.data()),
                            static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

}  // namespace

SavedRegistryValue::SavedRegistryValue(HKEY root, std::string path, const char* name)
    : root_(root), path_(std::move(path)), name_(name), saved_(ReadWideValue(root_, path_, name_)) {}

SavedRegistryValue::~SavedRegistryValue() {
    if (saved_) {
        EXPECT_TRUE(WriteWideValue(root_, path_, name_, *saved_)) << "could not restore " << path_ << "\\" << name_;
    } else {
        DeleteRegistryValue(root_, path_, name_);
    }
}

namespace {

// Runs <suite>.<name> in the test program at `executable`.
void RunProgramForOneTest(const std::string& executable, const std::string& suite, const std::string& name) {
    std::string marker = UniqueTempName("kavrel own process") + ".passed";
    ::DeleteFileA(marker.c_str());
    ScopedEnvironment markerVariable(kOwnProcessMarkerVariable, marker.c_str());
    std::string commandLine = "\"" + executable + "\" --gtest_filter=" + suite + "." + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessA(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started));
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    if (::WaitForSingleObject(process.get(), 240000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        FAIL() << name << " did not end";
    }
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << name << " failed in its own process (its output is above)";
    EXPECT_NE(::GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << name << " did not run";
    ::DeleteFileA(marker.c_str());
}

}  // namespace

namespace {

// Runs <suite>.<name> in a copy of this test program named `fileName`, with
// one value under Wine's application defaults for that name (Wine keys them
// by the program's file name): `key` below it, or the key itself when empty.
void RunInNamedCopy(const std::string& suite, const std::string& name, const std::string& fileName,
                    const std::string& key, const char* valueName, const std::string& value) {
    char self[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string copy = TempFolder() + fileName;
    ASSERT_TRUE(::CopyFileA(self, copy.c_str(), FALSE));
    {
        const std::string appDefaults = "Software\\Wine\\AppDefaults\\" + fileName + (key.empty() ? "" : "\\" + key);
        SavedRegistryValue saved(HKEY_CURRENT_USER, appDefaults, valueName);
        ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, appDefaults, valueName, {REG_SZ, value + std::string(1, '\0')}));
        RunProgramForOneTest(copy, suite, name);
    }
    ::DeleteFileA(copy.c_str());
}

}  // namespace

void RunInOwnProcess(const std::string& suite, const std::string& name, const std::string& windowsVersion) {
    if (!windowsVersion.empty()) {
        RunInNamedCopy(suite, name, "kavrel_tests_as_" + windowsVersion + ".exe", {}, "Version", windowsVersion);
        return;
    }
    char self[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    RunProgramForOneTest(std::string(self, length), suite, name);
}

void RunInOwnProcessWithoutDll(const std::string& suite, const std::string& name, const std::string& dllName) {
    // An empty load order is Wine's "disabled".
    RunInNamedCopy(suite, name, "kavrel_tests_without_" + dllName + ".exe", "DllOverrides", dllName.c_str(), "");
}

void OwnProcessTest::SetUp() {
    marker_ = EnvironmentText(kOwnProcessMarkerVariable);
    if (marker_.empty()) GTEST_SKIP() << "runs only in a process of its own (see RunInOwnProcess)";
}

void OwnProcessTest::TearDown() {
    if (marker_.empty() || HasFailure()) return;
    WriteWholeFile(marker_, "passed");
}

}  // namespace kavrel::testing
