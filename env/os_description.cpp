#include "env/os_description.h"

#include <utility>

#include "base/setup_state.h"
#include "platform/registry.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

constexpr REGSAM kAllAccess64BitView = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

std::uint16_t NativeArchitecture() {
    SYSTEM_INFO info{};
    // Looked up at run time: Windows 2000 has no GetNativeSystemInfo.
    using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    auto native = LoadedSystemFunction<NativeInfoFn>("kernel32.dll", "GetNativeSystemInfo");
    if (native) native(&info);
    else ::GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

// The machine Windows runs on, where it has IsWow64Process2 (Windows 10
// 1709 and later, looked up at run time); 0 elsewhere or when it fails.
std::uint16_t NativeMachine() {
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    auto query = LoadedSystemFunction<IsWow64Process2Fn>("kernel32.dll", "IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    if (!query || !query(::GetCurrentProcess(), &process, &native)) return 0;
    return native;
}

std::optional<std::string> ReadProductName() {
    RegistryAccessor registry(kAllAccess64BitView);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.TryOpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")) return std::nullopt;
    if (!registry.ValueExists("ProductName")) return std::nullopt;
    try {
        return registry.ReadText("ProductName");
    } catch (const FailureRaised&) {
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
    facts.nativeMachine = NativeMachine();
    facts.metricTabletPc = ::GetSystemMetrics(SM_TABLETPC);
    facts.metricMediaCenter = ::GetSystemMetrics(SM_MEDIACENTER);
    facts.metricStarter = ::GetSystemMetrics(SM_STARTER);
    facts.metricServerR2 = ::GetSystemMetrics(SM_SERVERR2);
    if (NeedsVerOutput(version)) ver = ConsoleCommand::Start(L"ver");
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
    if (std::optional<OsFlags> flags = FlagsOfDescription(parts, result.text, facts.nativeMachine)) {
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

}  // namespace kavrel
