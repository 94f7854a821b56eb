#pragma once
// The decision tables that name the running Windows, as plain functions of
// the facts that the version query, the registry and "ver" return.
#include <cstdint>
#include <optional>
#include <string>

namespace kavrel {

// The fields of the version record (OSVERSIONINFOEX) that the tables use.
struct OsVersionRecord {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    std::string servicePack;  // up to its first NUL
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
};

// Everything the description is decided from. Values that are only read in
// some cases are left empty when the case does not arise.
struct OsFacts {
    bool versionQueryOk = false;    // the extended or the basic query succeeded
    bool extendedQueryOk = false;   // the extended (156-byte) query succeeded
    OsVersionRecord version;
    std::uint16_t architecture = 0;  // native processor architecture
    std::uint16_t nativeMachine = 0;  // IsWow64Process2's native machine; 0 without the call
    int metricTabletPc = 0;          // GetSystemMetrics(86)
    int metricMediaCenter = 0;       // GetSystemMetrics(87)
    int metricStarter = 0;           // GetSystemMetrics(88)
    int metricServerR2 = 0;          // GetSystemMetrics(89)
    std::string verOutput;                     // output of "ver", when it was run
    std::optional<std::string> productName;    // "ProductName" of Windows NT\CurrentVersion, when it is text
    bool hotfixQ246009Present = false;         // the NT 4.0 SP6a hotfix key opens
    std::optional<std::string> productOptionsType;  // "ProductType" of ProductOptions, when read as REG_SZ
};

// The three parts of the description.
struct WindowsVersionParts {
    std::string name;
    std::string version;
    std::string servicePack;
};

// Which optional facts the tables will look at, so that the gathering code
// runs "ver" and reads the registry only when the answer matters.
bool NeedsVerOutput(const OsVersionRecord& version);
bool NeedsProductName(const OsFacts& facts);
bool NeedsHotfixKey(const OsVersionRecord& version);
bool NeedsProductOptionsType(const OsFacts& facts);

// Whether the output of "ver" can change the description, once the other
// facts are in: not when it is run but the version is left out and
// "ProductName" takes the place of the name that it would have given.
bool VerOutputChangesDescription(const OsFacts& facts, bool includeVersion);

// The edition name, version and service pack; empty when the platform is
// not recognised or the version query failed.
std::optional<WindowsVersionParts> GetWindowsVersionParts(const OsFacts& facts);

// The one-line description: "unknown" without parts, else the name followed
// by the service pack (and the version first when includeVersion is set).
std::string ComposeOsDescription(const std::optional<WindowsVersionParts>& parts, bool includeVersion);

// Whether Windows is 64-bit by the native machine (an IMAGE_FILE_MACHINE
// value) that IsWow64Process2 reports: ARM64, x64 and Itanium are, x86 and
// ARM (Thumb-2) are not; nullopt for 0 (no such call) or a machine not
// known here. Unlike GetNativeSystemInfo's architecture, it is not x86 for
// x86 code on ARM64, where Windows 10 emulates an x86 machine to it.
std::optional<bool> Is64BitMachine(std::uint16_t nativeMachine);

// The flags read off a description.
struct OsFlags {
    bool is64BitWindows = false;
    bool isServerWindows = false;
};
// Flags of a composed description; nullopt for "unknown", which sets neither.
// Whether Windows is 64-bit follows the native machine where that tells it.
std::optional<OsFlags> FlagsOfDescription(const std::optional<WindowsVersionParts>& parts,
                                          const std::string& description, std::uint16_t nativeMachine);

}  // namespace kavrel
