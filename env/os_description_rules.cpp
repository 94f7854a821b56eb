#include "env/os_description_rules.h"

#include <cstddef>
#include <string_view>
#include <utility>

#include "base/text.h"

namespace kavrel {
namespace {

constexpr std::uint32_t kPlatformWindows9x = 1;
constexpr std::uint32_t kPlatformWindowsNt = 2;

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;

constexpr std::uint16_t kSuiteEnterprise = 0x0002;
constexpr std::uint16_t kSuiteEmbeddedNt = 0x0040;
constexpr std::uint16_t kSuiteDatacenter = 0x0080;
constexpr std::uint16_t kSuitePersonal = 0x0200;
constexpr std::uint16_t kSuiteBlade = 0x0400;
constexpr std::uint16_t kSuiteStorageServer = 0x2000;
constexpr std::uint16_t kSuiteComputeServer = 0x4000;

constexpr std::uint16_t kArchitectureX86 = 0;
constexpr std::uint16_t kArchitectureItanium = 6;
constexpr std::uint16_t kArchitectureX64 = 9;

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineArmNt = 0x01C4;
constexpr std::uint16_t kMachineIa64 = 0x0200;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineArm64 = 0xAA64;

constexpr std::uint32_t kWindows98SeBuild = 2222;

// Positions are 1-based with 0 for "absent", and cutting never fails,
// because the "ver" output is free text whose shape the tables only guess.
std::size_t PositionOf(std::string_view needle, std::string_view text) {
    const std::size_t found = text.find(needle);
    return found == std::string_view::npos ? 0 : found + 1;
}

// From the 1-based start up to the first terminator of the whole text; a
// terminator that is absent or lies before the start gives empty text.
std::string CutUpTo(std::string_view text, std::size_t start, char terminator) {
    const std::size_t end = PositionOf(std::string_view(&terminator, 1), text);
    if (start == 0 || end <= start) {
        return {};
    }
    return std::string(text.substr(start - 1, end - start));
}

bool HasSuiteBit(const OsVersionRecord& version, std::uint16_t bit) {
    return (version.suiteMask & bit) != 0;
}

std::string ThreeNumbers(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

// Windows 9x keeps a letter in the second character of its service-pack
// text; a shorter text has no letter there.
char SecondLetterOf(const std::string& servicePack) {
    return servicePack.size() >= 2 ? servicePack[1] : '\0';
}

std::string Windows9xEdition(const OsVersionRecord& version) {
    const std::uint32_t build = version.buildNumber & 0xFFFFu;
    const char letter = SecondLetterOf(version.servicePack);
    if (version.majorVersion != 4) {
        return "Unknown 9x";
    }
    switch (version.minorVersion) {
    case 0:
    case 3:
        if (build == 1111) {
            return "95 OSR 2.0";
        }
        if (build == 1212 || build == 1213) {
            return "95 OSR 2.1";
        }
        if (build == 1214) {
            return letter == 'C' ? "95 OSR 2.5" : "95 OSR 2.1";
        }
        if (build > 1080) {
            return "95 OSR 2.x";
        }
        if (letter == 'A' || letter == 'W') {
            return "95 OSR 1";
        }
        return "95";
    case 10:
        // Second Edition shows either in the whole build number or in the letter.
        if (version.buildNumber == kWindows98SeBuild || letter == 'A' || letter == 'B') {
            return "98 SE";
        }
        return "98";
    case 90:
        return "Millennium";
    default:
        return "Unknown 9x";
    }
}

struct VerReading {
    std::string edition;
    std::string version;
};

// Windows that report themselves as 6.2 (or an unknown major) are told apart
// only by the number that "ver" prints. An unknown major skips the known
// numbers: the number after "Version" is taken as it stands.
VerReading ReadVerOutput(const std::string& output, bool isWorkstation, bool lastRowOnly) {
    struct KnownNumber {
        std::string_view marker;
        std::string_view workstation;
        std::string_view server;
    };
    static constexpr KnownNumber kKnownNumbers[] = {
        {" 6.2", "8 ", "Server 2012 "},
        {" 6.3", "8.1 ", "Server 2012 R2 "},
        {" 10", "10 ", "Server 10 "},
    };
    if (!lastRowOnly) {
        for (const KnownNumber& known : kKnownNumbers) {
            const std::size_t position = PositionOf(known.marker, output);
            if (position != 0) {
                return {std::string(isWorkstation ? known.workstation : known.server),
                        CutUpTo(output, position, ']')};
            }
        }
    }
    // "Version" is followed by one blank and then the number.
    const std::size_t numberStart = PositionOf("ion", output) + 4;
    std::string edition = isWorkstation ? "" : "Server ";
    edition += CutUpTo(output, numberStart, '.') + " ";
    return {edition, CutUpTo(output, numberStart, ']')};
}

std::string ByProductType(bool isWorkstation, std::string_view workstation, std::string_view server) {
    return std::string(isWorkstation ? workstation : server);
}

// Appends the version word to the name; may also settle the version text.
void ApplyNtVersionTable(const OsFacts& facts, WindowsVersionParts& parts) {
    const OsVersionRecord& version = facts.version;
    const bool isWorkstation = version.productType == kWorkstation;
    const std::uint32_t minor = version.minorVersion;
    switch (version.majorVersion) {
    case 3:
    case 4:
        parts.name += "NT ";
        return;
    case 5:
        if (minor == 0) {
            parts.name += "2000 ";
        } else if (minor == 1) {
            parts.name += "XP ";
        } else if (minor == 2) {
            if (facts.metricServerR2 != 0) {
                parts.name += "Server 2003 R2 ";
            } else if (version.suiteMask == kSuiteStorageServer) {
                parts.name += "Storage Server 2003";
            } else if (isWorkstation && facts.architecture == kArchitectureX64) {
                parts.name += "XP ";
            } else {
                parts.name += "Server 2003 ";
            }
        } else {
            parts.name += "Unknown version ";
        }
        return;
    case 6:
        if (minor == 0) {
            parts.name += ByProductType(isWorkstation, "Vista ", "Server 2008 ");
        } else if (minor == 1) {
            parts.name += ByProductType(isWorkstation, "7 ", "Server 2008 R2 ");
        } else if (minor == 2) {
            VerReading reading = ReadVerOutput(facts.verOutput, isWorkstation, false);
            parts.name += reading.edition;
            parts.version = std::move(reading.version);
        } else if (minor == 3) {
            parts.name += ByProductType(isWorkstation, "8.1 ", "Server 2012 R2 ");
        }
        return;
    case 10:
        if (minor == 0) {
            parts.name += ByProductType(isWorkstation, "10 ", "Server 2016 ");
        }
        return;
    default: {
        VerReading reading = ReadVerOutput(facts.verOutput, isWorkstation, true);
        parts.name += reading.edition;
        parts.version = std::move(reading.version);
        return;
    }
    }
}

std::string UnknownArchitecture(std::uint16_t architecture) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string digits;
    std::uint32_t rest = architecture;
    do {
        digits.insert(digits.begin(), kHexDigits[rest % 16]);
        rest /= 16;
    } while (rest != 0);
    return "Unknown on Architecture 0x" + digits;
}

std::string Server2003Edition(const OsVersionRecord& version, std::uint16_t architecture) {
    const bool datacenter = HasSuiteBit(version, kSuiteDatacenter);
    const bool enterprise = HasSuiteBit(version, kSuiteEnterprise);
    switch (architecture) {
    case kArchitectureX86:
        if (HasSuiteBit(version, kSuiteComputeServer)) {
            return "Computer Cluster";
        }
        if (datacenter) {
            return "Datacenter";
        }
        if (enterprise) {
            return "Enterprise";
        }
        if (version.suiteMask == kSuiteBlade) {
            return "Web";
        }
        return "Standard";
    case kArchitectureItanium:
        if (datacenter) {
            return "Datacenter for Itanium-based Systems";
        }
        if (enterprise) {
            return "Enterprise for Itanium-based Systems";
        }
        return "Standard Itanium-based";
    case kArchitectureX64:
        if (datacenter) {
            return "Datacenter x64";
        }
        if (enterprise) {
            return "Enterprise x64";
        }
        return "Standard x64";
    default:
        return UnknownArchitecture(architecture);
    }
}

std::string WorkstationEdition(const OsFacts& facts) {
    const OsVersionRecord& version = facts.version;
    if (version.majorVersion == 4) {
        return "Workstation";
    }
    if (version.majorVersion != 5) {
        return "Unknown Workstation";
    }
    if (version.minorVersion == 2 && facts.architecture == kArchitectureX64) {
        return "Professional x64";
    }
    if (facts.metricStarter != 0) {
        return "Starter";
    }
    if (facts.metricMediaCenter != 0) {
        return "Media Center";
    }
    if (facts.metricTabletPc != 0) {
        return "Tablet PC";
    }
    if (HasSuiteBit(version, kSuitePersonal)) {
        return "Home";
    }
    if (HasSuiteBit(version, kSuiteEmbeddedNt)) {
        return "Embedded";
    }
    return "Professional";
}

std::string ServerEdition(const OsFacts& facts) {
    const OsVersionRecord& version = facts.version;
    const std::string unknown =
        version.productType == kServer ? "Unknown Server" : "Unknown Domain controller";
    if (version.majorVersion == 4) {
        return HasSuiteBit(version, kSuiteEnterprise) ? "Server 4.0 Enterprise" : "Server 4.0";
    }
    if (version.majorVersion != 5) {
        return unknown;
    }
    if (version.minorVersion == 0) {
        if (HasSuiteBit(version, kSuiteDatacenter)) {
            return "Datacenter Server";
        }
        if (HasSuiteBit(version, kSuiteEnterprise)) {
            return "Advanced Server";
        }
        return "Server";
    }
    if (version.minorVersion == 2) {
        return Server2003Edition(version, facts.architecture);
    }
    return unknown;
}

std::string EditionFromExtendedRecord(const OsFacts& facts) {
    switch (facts.version.productType) {
    case kWorkstation:
        return WorkstationEdition(facts);
    case kDomainController:
    case kServer:
        return ServerEdition(facts);
    default:
        return "Unknown";
    }
}

std::string AsciiUpperCase(std::string text) {
    for (char& character : text) {
        if (character >= 'a' && character <= 'z') {
            character = static_cast<char>(character - 'a' + 'A');
        }
    }
    return text;
}

// Without the extended record, NT 4.0 before SP6 names its edition only in
// the registry.
std::string EditionFromProductOptions(const std::optional<std::string>& productOptionsType) {
    if (!productOptionsType) {
        return {};
    }
    const std::string type = AsciiUpperCase(*productOptionsType);
    if (type == "WINNT") {
        return "Workstation";
    }
    if (type == "LANMANNT") {
        return "Server";
    }
    if (type == "SERVERNT") {
        return "Advanced Server";
    }
    return "Unknown";
}

void ApplyNtEditionStep(const OsFacts& facts, WindowsVersionParts& parts) {
    if (!facts.extendedQueryOk) {
        parts.name += EditionFromProductOptions(facts.productOptionsType);
        return;
    }
    if (facts.version.majorVersion != 6) {
        parts.name += EditionFromExtendedRecord(facts);
        return;
    }
    // Vista and later name their edition better in the registry than the
    // tables can.
    if (facts.productName) {
        parts.name = *facts.productName;
    }
    const std::optional<bool> machineIs64Bit = Is64BitMachine(facts.nativeMachine);
    if (machineIs64Bit) {
        parts.name += *machineIs64Bit ? " 64-bit" : " 32-bit";
    } else if (facts.architecture == kArchitectureX64) {
        parts.name += " 64-bit";
    } else if (facts.architecture == kArchitectureX86) {
        parts.name += " 32-bit";
    }
}


constexpr std::string_view kServicePack6 = "Service Pack 6";

}  // namespace

bool NeedsVerOutput(const OsVersionRecord& version) {
    if (version.platformId != kPlatformWindowsNt) {
        return false;
    }
    switch (version.majorVersion) {
    case 3:
    case 4:
    case 5:
    case 10:
        return false;
    case 6:
        return version.minorVersion == 2;
    default:
        return true;
    }
}

bool NeedsProductName(const OsFacts& facts) {
    return facts.versionQueryOk && facts.extendedQueryOk &&
           facts.version.platformId == kPlatformWindowsNt && facts.version.majorVersion == 6;
}

bool NeedsHotfixKey(const OsVersionRecord& version) {
    return version.platformId == kPlatformWindowsNt && version.majorVersion == 4 &&
           version.servicePack == kServicePack6;
}

bool NeedsProductOptionsType(const OsFacts& facts) {
    return facts.versionQueryOk && !facts.extendedQueryOk &&
           facts.version.platformId == kPlatformWindowsNt;
}

bool VerOutputChangesDescription(const OsFacts& facts, bool includeVersion) {
    if (!NeedsVerOutput(facts.version)) {
        return false;
    }
    const bool nameReplaced = NeedsProductName(facts) && facts.productName.has_value();
    return includeVersion || !nameReplaced;
}

std::optional<WindowsVersionParts> GetWindowsVersionParts(const OsFacts& facts) {
    if (!facts.versionQueryOk) {
        return std::nullopt;
    }
    const OsVersionRecord& version = facts.version;
    WindowsVersionParts parts;
    parts.name = "Microsoft Windows ";
    if (version.platformId == kPlatformWindows9x) {
        parts.name += Windows9xEdition(version);
        parts.version = ThreeNumbers(version.majorVersion, version.minorVersion & 0xFFu,
                                     version.buildNumber & 0xFFFFu);
        parts.servicePack = version.servicePack;
        return parts;
    }
    if (version.platformId != kPlatformWindowsNt) {
        return std::nullopt;
    }
    ApplyNtVersionTable(facts, parts);
    ApplyNtEditionStep(facts, parts);
    parts.servicePack = NeedsHotfixKey(version) && facts.hotfixQ246009Present
                            ? std::string(kServicePack6) + "a"
                            : version.servicePack;
    if (parts.version.empty()) {
        parts.version = ThreeNumbers(version.majorVersion, version.minorVersion,
                                     version.buildNumber & 0xFFFFu);
    }
    return parts;
}

std::string ComposeOsDescription(const std::optional<WindowsVersionParts>& parts, bool includeVersion) {
    if (!parts) {
        return "unknown";
    }
    const bool hasServicePack = !IsBlank(parts->servicePack);
    std::string tail;
    if (includeVersion && !IsBlank(parts->version)) {
        tail = hasServicePack ? parts->version + " " + parts->servicePack : parts->version;
    } else if (hasServicePack) {
        tail = parts->servicePack;
    } else {
        return parts->name;
    }
    return parts->name + " " + tail;
}

std::optional<bool> Is64BitMachine(std::uint16_t nativeMachine) {
    switch (nativeMachine) {
    case kMachineArm64:
    case kMachineAmd64:
    case kMachineIa64:
        return true;
    case kMachineI386:
    case kMachineArmNt:
        return false;
    default:
        return std::nullopt;
    }
}

std::optional<OsFlags> FlagsOfDescription(const std::optional<WindowsVersionParts>& parts,
                                          const std::string& description, std::uint16_t nativeMachine) {
    if (!parts) {
        return std::nullopt;
    }
    OsFlags flags;
    flags.is64BitWindows = Is64BitMachine(nativeMachine).value_or(description.find(" 64") != std::string::npos);
    flags.isServerWindows = description.find("Server") != std::string::npos;
    return flags;
}

}  // namespace kavrel
