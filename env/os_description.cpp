#include "env/os_description.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "base/setup_state.h"
#include "base/text.h"
#include "env/console_output.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

constexpr REGSAM kAllAccess64BitView = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
constexpr DWORD kMaxCapturedOutput = 1u << 20;

std::string EnvironmentText(const char* name) {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, MAX_PATH);
    // A longer value reports the size it needs and fills nothing: treat it as unset.
    if (length == 0 || length >= MAX_PATH) return {};
    return std::string(buffer, length);
}

std::uint16_t NativeArchitecture() {
    SYSTEM_INFO info{};
    // Looked up at run time: Windows 2000 has no GetNativeSystemInfo.
    using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto native = kernel ? reinterpret_cast<NativeInfoFn>(
                               reinterpret_cast<void*>(::GetProcAddress(kernel, "GetNativeSystemInfo")))
                         : nullptr;
    if (native) native(&info);
    else ::GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

std::optional<std::string> ReadProductName() {
    RegistryAccessor registry(kAllAccess64BitView);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false)) return std::nullopt;
    if (!registry.ValueExists("ProductName")) return std::nullopt;
    try {
        return registry.ReadText("ProductName");
    } catch (const RegistryError&) {
        // A value of another type: the name built so far stands.
        return std::nullopt;
    }
}

bool KeyOpensForQuery(const char* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    UniqueHKey owned(key);
    return true;
}

std::optional<std::string> ReadProductOptionsType() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0,
                        KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueHKey owned(key);
    char buffer[257] = {};
    DWORD size = 256;
    DWORD type = 0;
    if (::RegQueryValueExA(owned.get(), "ProductType", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(buffer);
}

// The full path of a name, resolved against the current folder now; empty
// when it cannot be had.
std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::string(buffer, length);
}

// Creates the output file under a fresh name, never over an existing file.
// The name is made absolute at once: without "Temp" it lies in the current
// folder, which may change (the application's start sets it) before the
// interpreter is waited for and the file read and removed.
std::string CreateOutputFile(const std::string& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = FullPath(folder + MakeRandomFileName());
        if (path.empty()) return {};
        UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file) return path;
        DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::string ReadWholeFile(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (content.size() < kMaxCapturedOutput && ::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) &&
           read > 0)
        content.append(chunk, read);
    return content;
}

// The facts but the output of "ver": where the tables need it, "ver" is
// started in `ver` and goes on while the registry is read.
OsFacts GatherOsFactsStartingVer(ConsoleCommand& ver) {
    OsFacts facts;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    facts.extendedQueryOk = ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
    facts.versionQueryOk = facts.extendedQueryOk;
    if (!facts.extendedQueryOk) {
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        facts.versionQueryOk = ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
    }
    if (!facts.versionQueryOk) return facts;

    OsVersionRecord& version = facts.version;
    version.majorVersion = info.dwMajorVersion;
    version.minorVersion = info.dwMinorVersion;
    version.buildNumber = info.dwBuildNumber;
    version.platformId = info.dwPlatformId;
    version.servicePack.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    version.suiteMask = info.wSuiteMask;
    version.productType = info.wProductType;

    facts.architecture = NativeArchitecture();
    facts.metricTabletPc = ::GetSystemMetrics(SM_TABLETPC);
    facts.metricMediaCenter = ::GetSystemMetrics(SM_MEDIACENTER);
    facts.metricStarter = ::GetSystemMetrics(SM_STARTER);
    facts.metricServerR2 = ::GetSystemMetrics(SM_SERVERR2);
    if (NeedsVerOutput(version)) ver = ConsoleCommand::Start("ver");
    if (NeedsProductName(facts)) facts.productName = ReadProductName();
    if (NeedsHotfixKey(version))
        facts.hotfixQ246009Present = KeyOpensForQuery("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
    if (NeedsProductOptionsType(facts)) facts.productOptionsType = ReadProductOptionsType();
    return facts;
}

}  // namespace

OsFacts GatherOsFacts() {
    ConsoleCommand ver;
    OsFacts facts = GatherOsFactsStartingVer(ver);
    facts.verOutput = ver.Finish();
    return facts;
}

OsDescription DescribeOperatingSystemLeavingVer(bool includeVersion) {
    OsDescription result;
    OsFacts facts = GatherOsFactsStartingVer(result.unfinishedVer);
    if (VerOutputChangesDescription(facts, includeVersion)) facts.verOutput = result.unfinishedVer.Finish();
    std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(facts);
    result.text = ComposeOsDescription(parts, includeVersion);
    if (std::optional<OsFlags> flags = FlagsOfDescription(parts, result.text)) {
        CurrentSetup().is64BitWindows = flags->is64BitWindows;
        CurrentSetup().isServerWindows = flags->isServerWindows;
    }
    return result;
}

std::string DescribeOperatingSystem(bool includeVersion) {
    OsDescription description = DescribeOperatingSystemLeavingVer(includeVersion);
    description.unfinishedVer.Finish();
    return std::move(description.text);
}

ConsoleCommand ConsoleCommand::Start(const std::string& command) {
    ConsoleCommand started;
    std::string interpreter = EnvironmentText("ComSpec");
    if (interpreter.empty()) return started;
    started.interpreterFound_ = true;

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;

    std::string folder = EnvironmentText("Temp");
    AddTrailingBackslash(folder);
    started.outputFile_ = CreateOutputFile(folder);
    if (started.outputFile_.empty()) return started;
    std::string commandLine = ComposeRedirectedCommandLine(interpreter, command, started.outputFile_);
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    PROCESS_INFORMATION process{};
    if (::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE,
                         CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
        started.process_.reset(process.hProcess);
        UniqueHandle thread(process.hThread);
    }
    return started;
}

ConsoleCommand::ConsoleCommand(ConsoleCommand&& other) noexcept
    : interpreterFound_(std::exchange(other.interpreterFound_, false)),
      process_(std::move(other.process_)),
      outputFile_(std::exchange(other.outputFile_, std::string())) {}

ConsoleCommand& ConsoleCommand::operator=(ConsoleCommand&& other) noexcept {
    if (this != &other) {
        try {
            Finish();
        } catch (const std::exception&) {
            // Out of memory for an output nobody reads: the file is gone anyway.
        }
        interpreterFound_ = std::exchange(other.interpreterFound_, false);
        process_ = std::move(other.process_);
        outputFile_ = std::exchange(other.outputFile_, std::string());
    }
    return *this;
}

ConsoleCommand::~ConsoleCommand() {
    try {
        Finish();
    } catch (const std::exception&) {
        // As above: nothing to report from a destructor.
    }
}

std::string ConsoleCommand::Finish(DWORD waitLimitMs) {
    if (!interpreterFound_) return {};
    interpreterFound_ = false;
    if (process_ && ::WaitForSingleObject(process_.get(), waitLimitMs) != WAIT_OBJECT_0) {
        // Our own interpreter, hung: end it so that its output file can go.
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 1000);
    }
    process_.reset();
    const std::string outputFile = std::exchange(outputFile_, std::string());
    if (outputFile.empty()) return OemToAnsiText(ReadAsTextLines({}));
    // Gone however the reading ends.
    struct DeleteWhenDone {
        const std::string& path;
        ~DeleteWhenDone() { ::DeleteFileA(path.c_str()); }
    } deleteWhenDone{outputFile};
    return OemToAnsiText(ReadAsTextLines(ReadWholeFile(outputFile)));
}

std::string RunConsoleCommand(const std::string& command, DWORD waitLimitMs) {
    return ConsoleCommand::Start(command).Finish(waitLimitMs);
}

std::string OemToAnsiText(const std::string& text) {
    std::string converted(text.size(), '\0');
    if (!text.empty()) ::OemToCharBuffA(text.data(), converted.data(), static_cast<DWORD>(text.size()));
    return converted;
}

}  // namespace kavrel
