#include "env/os_description_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavrel {
namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;

constexpr std::uint16_t kX86 = 0;
constexpr std::uint16_t kItanium = 6;
constexpr std::uint16_t kX64 = 9;

constexpr std::uint32_t kWindows98SeBuild = 0x040A08AE;  // 4.10 above, 2222 below

const std::string kWin10Ver = "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n";

OsFacts Windows9x(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::string servicePack) {
    OsFacts facts;
    facts.versionQueryOk = true;
    facts.extendedQueryOk = true;
    facts.version.platformId = 1;
    facts.version.majorVersion = major;
    facts.version.minorVersion = minor;
    facts.version.buildNumber = build;
    facts.version.servicePack = std::move(servicePack);
    return facts;
}

OsFacts WindowsNt(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                  std::uint16_t architecture = kX86, std::uint16_t suiteMask = 0) {
    OsFacts facts;
    facts.versionQueryOk = true;
    facts.extendedQueryOk = true;
    facts.version.platformId = 2;
    facts.version.majorVersion = major;
    facts.version.minorVersion = minor;
    facts.version.buildNumber = 1234;
    facts.version.productType = productType;
    facts.version.suiteMask = suiteMask;
    facts.architecture = architecture;
    return facts;
}

// Without the extended record and without "ProductType" the edition step adds
// nothing, which leaves the version word alone at the end of the name.
OsFacts BasicOnly(OsFacts facts) {
    facts.extendedQueryOk = false;
    facts.productOptionsType.reset();
    return facts;
}

WindowsVersionParts PartsOf(const OsFacts& facts) {
    const std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(facts);
    EXPECT_TRUE(parts.has_value());
    return parts.value_or(WindowsVersionParts{});
}

TEST(Windows9xNames, FollowBuildAndServicePackLetter) {
    struct Row {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint32_t build;
        const char* servicePack;
        const char* edition;
    };
    const std::vector<Row> rows = {
        {4, 0, 1111, " A ", "95 OSR 2.0"},
        {4, 3, 1111, "", "95 OSR 2.0"},
        {4, 0, 0x04000457, "", "95 OSR 2.0"},
        {4, 0, 1212, "", "95 OSR 2.1"},
        {4, 3, 1213, "", "95 OSR 2.1"},
        {4, 0, 1214, " C", "95 OSR 2.5"},
        {4, 0, 1214, " B", "95 OSR 2.1"},
        {4, 0, 1214, "C", "95 OSR 2.1"},
        {4, 0, 1214, "", "95 OSR 2.1"},
        {4, 0, 1081, " A", "95 OSR 2.x"},
        {4, 0, 1080, " A", "95 OSR 1"},
        {4, 3, 950, " W", "95 OSR 1"},
        {4, 0, 950, " C", "95"},
        {4, 0, 950, "A", "95"},
        {4, 10, 1998, "", "98"},
        {4, 10, 1998, " C", "98"},
        {4, 10, 2222, "", "98 SE"},
        {4, 10, kWindows98SeBuild, "", "98"},
        {4, 10, 1998, " A", "98 SE"},
        {4, 10, 1998, " B", "98 SE"},
        {4, 90, 3000, "", "Millennium"},
        {4, 1, 950, "", "Unknown 9x"},
        {4, 11, 950, "", "Unknown 9x"},
        {3, 10, 950, "", "Unknown 9x"},
        {5, 0, 1111, "", "Unknown 9x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.minor) + "/" + std::to_string(row.build) + "/[" + row.servicePack + "]");
        const WindowsVersionParts parts = PartsOf(Windows9x(row.major, row.minor, row.build, row.servicePack));
        EXPECT_EQ(parts.name, std::string("Microsoft Windows ") + row.edition);
        EXPECT_EQ(parts.servicePack, row.servicePack);
    }
}

TEST(Windows9xNames, VersionKeepsLowBitsOfMinorAndBuild) {
    EXPECT_EQ(PartsOf(Windows9x(4, 10, kWindows98SeBuild, "")).version, "4.10.2222");
    const WindowsVersionParts odd = PartsOf(Windows9x(4, 0x10A, 0x00120457, ""));
    EXPECT_EQ(odd.version, "4.10.1111");
    EXPECT_EQ(odd.name, "Microsoft Windows Unknown 9x");
}

TEST(NtVersionWords, FollowMajorMinorAndProductType) {
    struct Row {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint8_t productType;
        std::uint16_t architecture;
        std::uint16_t suiteMask;
        int serverR2;
        const char* word;
    };
    const std::vector<Row> rows = {
        {3, 51, kWorkstation, kX86, 0, 0, "NT "},
        {4, 0, kServer, kX86, 0, 0, "NT "},
        {5, 0, kWorkstation, kX86, 0, 0, "2000 "},
        {5, 1, kWorkstation, kX64, 0, 0, "XP "},
        {5, 2, kWorkstation, kX64, 0x2000, 1, "Server 2003 R2 "},
        {5, 2, kServer, kX86, 0x2000, 0, "Storage Server 2003"},
        {5, 2, kServer, kX86, 0x2002, 0, "Server 2003 "},
        {5, 2, kWorkstation, kX64, 0, 0, "XP "},
        {5, 2, kWorkstation, kX86, 0, 0, "Server 2003 "},
        {5, 2, kServer, kX64, 0, 0, "Server 2003 "},
        {5, 3, kWorkstation, kX86, 0, 0, "Unknown version "},
        {5, 9, kServer, kX86, 0, 0, "Unknown version "},
        {6, 0, kWorkstation, kX86, 0, 0, "Vista "},
        {6, 0, kServer, kX86, 0, 0, "Server 2008 "},
        {6, 0, kDomainController, kX86, 0, 0, "Server 2008 "},
        {6, 1, kWorkstation, kX86, 0, 0, "7 "},
        {6, 1, 0, kX86, 0, 0, "Server 2008 R2 "},
        {6, 3, kWorkstation, kX86, 0, 0, "8.1 "},
        {6, 3, kServer, kX86, 0, 0, "Server 2012 R2 "},
        {6, 4, kWorkstation, kX86, 0, 0, ""},
        {6, 9, kServer, kX86, 0, 0, ""},
        {10, 0, kWorkstation, kX86, 0, 0, "10 "},
        {10, 0, kServer, kX86, 0, 0, "Server 2016 "},
        {10, 1, kWorkstation, kX86, 0, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor) + " -> " + row.word);
        OsFacts facts = BasicOnly(WindowsNt(row.major, row.minor, row.productType, row.architecture, row.suiteMask));
        facts.metricServerR2 = row.serverR2;
        facts.verOutput = kWin10Ver;  // must be ignored: these versions are told apart without "ver"
        EXPECT_FALSE(NeedsVerOutput(facts.version));
        const WindowsVersionParts parts = PartsOf(facts);
        EXPECT_EQ(parts.name, std::string("Microsoft Windows ") + row.word);
        EXPECT_EQ(parts.version, std::to_string(row.major) + "." + std::to_string(row.minor) + ".1234");
    }
}

TEST(NtVersionWords, VersionUsesLowBitsOfBuild) {
    OsFacts facts = WindowsNt(5, 1, kWorkstation);
    facts.version.buildNumber = 0x05010A28;
    EXPECT_EQ(PartsOf(facts).version, "5.1.2600");
}

TEST(VerOutput, NamesTheVersionsTheQueryCannotTell) {
    struct Row {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint8_t productType;
        std::string output;
        const char* word;
        const char* version;
    };
    const std::vector<Row> rows = {
        {6, 2, kWorkstation, "\r\nMicrosoft Windows [Version 6.2.9200]\r\n", "8 ", " 6.2.9200"},
        {6, 2, kServer, "\r\nMicrosoft Windows [Version 6.2.9200]\r\n", "Server 2012 ", " 6.2.9200"},
        {6, 2, kWorkstation, "\r\nMicrosoft Windows [Version 6.3.9600]\r\n", "8.1 ", " 6.3.9600"},
        {6, 2, kDomainController, "\r\nMicrosoft Windows [Version 6.3.9600]\r\n", "Server 2012 R2 ", " 6.3.9600"},
        {6, 2, kWorkstation, kWin10Ver, "10 ", " 10.0.19045.3803"},
        {6, 2, kServer, kWin10Ver, "Server 10 ", " 10.0.19045.3803"},
        // " 6.2" is looked for first; its "]" lies before it, so no version is cut.
        {6, 2, kWorkstation, "[Version 6.3.1] 6.2", "8 ", "6.2.1234"},
        // Wine prints no brackets: the word is found, the version comes from the record.
        {6, 2, kWorkstation, "\r\nMicrosoft Windows 10.0.18362\r\n", "10 ", "6.2.1234"},
        {6, 2, kWorkstation, "\r\nMicrosoft Windows [Version 5.9.1234]\r\n", "5 ", "5.9.1234"},
        {6, 2, kServer, "\r\nMicrosoft Windows [Version 7.0.1]\r\n", "Server 7 ", "7.0.1"},
        // No interpreter, or a command that could not start.
        {6, 2, kWorkstation, "", " ", "6.2.1234"},
        {6, 2, kServer, "\r\n", "Server  ", "6.2.1234"},
        // Without "ion" the cut starts at the fourth character.
        {6, 2, kWorkstation, "abcd7.1]", "d7 ", "d7.1"},
        {6, 2, kWorkstation, "1.0 Version 7]", " ", "7"},
        // A blank cut still counts as a version.
        {6, 2, kWorkstation, "Version  ]", " ", " "},
        // An unknown major skips the known numbers, so the version has no leading blank.
        {11, 0, kWorkstation, "\r\nMicrosoft Windows [Version 10.0.22000]\r\n", "10 ", "10.0.22000"},
        {7, 0, kServer, "\r\nMicrosoft Windows [Version 6.2.9200]\r\n", "Server 6 ", "6.2.9200"},
        {2, 5, kWorkstation, "", " ", "2.5.1234"},
        {0, 0, kWorkstation, "[Version 1.2]", "1 ", "1.2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor) + " [" + row.output + "]");
        OsFacts facts = BasicOnly(WindowsNt(row.major, row.minor, row.productType));
        facts.verOutput = row.output;
        EXPECT_TRUE(NeedsVerOutput(facts.version));
        const WindowsVersionParts parts = PartsOf(facts);
        EXPECT_EQ(parts.name, std::string("Microsoft Windows ") + row.word);
        EXPECT_EQ(parts.version, row.version);
    }
}

TEST(NtEditions, FollowProductTypeSuiteAndArchitecture) {
    struct Row {
        std::uint32_t major;
        std::uint32_t minor;
        std::uint8_t productType;
        std::uint16_t architecture;
        std::uint16_t suiteMask;
        int starter;
        int mediaCenter;
        int tabletPc;
        const char* name;
    };
    const std::vector<Row> rows = {
        {4, 0, kWorkstation, kX86, 0, 0, 0, 0, "NT Workstation"},
        {5, 1, kWorkstation, kX86, 0, 0, 0, 0, "XP Professional"},
        {5, 0, kWorkstation, kX86, 0, 0, 0, 0, "2000 Professional"},
        {5, 2, kWorkstation, kX64, 0x0200, 1, 1, 1, "XP Professional x64"},
        {5, 1, kWorkstation, kX64, 0, 0, 0, 0, "XP Professional"},
        {5, 1, kWorkstation, kX86, 0x0240, 1, 1, 1, "XP Starter"},
        {5, 1, kWorkstation, kX86, 0x0240, 0, 1, 1, "XP Media Center"},
        {5, 1, kWorkstation, kX86, 0x0240, 0, 0, 1, "XP Tablet PC"},
        {5, 1, kWorkstation, kX86, 0x0240, 0, 0, 0, "XP Home"},
        {5, 1, kWorkstation, kX86, 0x0040, 0, 0, 0, "XP Embedded"},
        {5, 2, kWorkstation, kX86, 0, 0, 0, 0, "Server 2003 Professional"},
        {3, 51, kWorkstation, kX86, 0, 0, 0, 0, "NT Unknown Workstation"},
        {10, 0, kWorkstation, kX86, 0, 0, 0, 0, "10 Unknown Workstation"},
        {4, 0, kServer, kX86, 0x0002, 0, 0, 0, "NT Server 4.0 Enterprise"},
        {4, 0, kDomainController, kX86, 0x0080, 0, 0, 0, "NT Server 4.0"},
        {5, 0, kServer, kX86, 0x0082, 0, 0, 0, "2000 Datacenter Server"},
        {5, 0, kDomainController, kX86, 0x0002, 0, 0, 0, "2000 Advanced Server"},
        {5, 0, kServer, kX86, 0x0400, 0, 0, 0, "2000 Server"},
        {5, 2, kServer, kX86, 0x4082, 0, 0, 0, "Server 2003 Computer Cluster"},
        {5, 2, kServer, kX86, 0x0082, 0, 0, 0, "Server 2003 Datacenter"},
        {5, 2, kDomainController, kX86, 0x0002, 0, 0, 0, "Server 2003 Enterprise"},
        {5, 2, kServer, kX86, 0x0400, 0, 0, 0, "Server 2003 Web"},
        {5, 2, kServer, kX86, 0x0410, 0, 0, 0, "Server 2003 Standard"},
        {5, 2, kServer, kX86, 0, 0, 0, 0, "Server 2003 Standard"},
        {5, 2, kServer, kItanium, 0x0082, 0, 0, 0, "Server 2003 Datacenter for Itanium-based Systems"},
        {5, 2, kServer, kItanium, 0x0002, 0, 0, 0, "Server 2003 Enterprise for Itanium-based Systems"},
        {5, 2, kServer, kItanium, 0x4400, 0, 0, 0, "Server 2003 Standard Itanium-based"},
        {5, 2, kServer, kX64, 0x0082, 0, 0, 0, "Server 2003 Datacenter x64"},
        {5, 2, kDomainController, kX64, 0x0002, 0, 0, 0, "Server 2003 Enterprise x64"},
        {5, 2, kServer, kX64, 0x4400, 0, 0, 0, "Server 2003 Standard x64"},
        {5, 2, kServer, 5, 0x0080, 0, 0, 0, "Server 2003 Unknown on Architecture 0x5"},
        {5, 2, kServer, 12, 0, 0, 0, 0, "Server 2003 Unknown on Architecture 0xC"},
        {5, 2, kServer, 0x1A0, 0, 0, 0, 0, "Server 2003 Unknown on Architecture 0x1A0"},
        {5, 2, kServer, 0xFFFF, 0, 0, 0, 0, "Server 2003 Unknown on Architecture 0xFFFF"},
        {5, 1, kServer, kX86, 0, 0, 0, 0, "XP Unknown Server"},
        {5, 1, kDomainController, kX86, 0, 0, 0, 0, "XP Unknown Domain controller"},
        {5, 3, kServer, kX86, 0, 0, 0, 0, "Unknown version Unknown Server"},
        {5, 4, kDomainController, kX86, 0, 0, 0, 0, "Unknown version Unknown Domain controller"},
        {10, 0, kServer, kX86, 0, 0, 0, 0, "Server 2016 Unknown Server"},
        {3, 51, kDomainController, kX86, 0, 0, 0, 0, "NT Unknown Domain controller"},
        {5, 1, 0, kX86, 0, 0, 0, 0, "XP Unknown"},
        {5, 0, 4, kX86, 0, 0, 0, 0, "2000 Unknown"},
        {4, 0, 255, kX86, 0, 0, 0, 0, "NT Unknown"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OsFacts facts = WindowsNt(row.major, row.minor, row.productType, row.architecture, row.suiteMask);
        facts.metricStarter = row.starter;
        facts.metricMediaCenter = row.mediaCenter;
        facts.metricTabletPc = row.tabletPc;
        facts.productOptionsType = "SERVERNT";  // read only without the extended record
        EXPECT_EQ(PartsOf(facts).name, std::string("Microsoft Windows ") + row.name);
    }
}

TEST(NtEditions, VistaAndLaterTakeProductNameAndBitness) {
    struct Row {
        std::uint16_t architecture;
        std::optional<std::string> productName;
        const char* name;
    };
    const std::vector<Row> rows = {
        {kX64, "Windows 7 Ultimate", "Windows 7 Ultimate 64-bit"},
        {kX86, "Windows 7 Ultimate", "Windows 7 Ultimate 32-bit"},
        {kItanium, "Windows Server 2008 R2 Enterprise", "Windows Server 2008 R2 Enterprise"},
        {kX64, std::nullopt, "Microsoft Windows 7  64-bit"},
        {kX64, "", " 64-bit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OsFacts facts = WindowsNt(6, 1, kWorkstation, row.architecture);
        facts.productName = row.productName;
        EXPECT_TRUE(NeedsProductName(facts));
        EXPECT_EQ(PartsOf(facts).name, row.name);
    }
}

TEST(NtEditions, BasicRecordReadsProductOptions) {
    struct Row {
        std::optional<std::string> productType;
        const char* name;
    };
    const std::vector<Row> rows = {
        {"WINNT", "NT Workstation"},
        {"WinNT", "NT Workstation"},
        {"LanmanNt", "NT Server"},
        {"ServerNT", "NT Advanced Server"},
        {"WINNT ", "NT Unknown"},
        {"Terminal", "NT Unknown"},
        {"", "NT Unknown"},
        {"w\xEDnnt", "NT Unknown"},
        {std::nullopt, "NT "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OsFacts facts = BasicOnly(WindowsNt(4, 0, kServer, kX86, 0x0002));
        facts.productOptionsType = row.productType;
        facts.productName = "ignored without the extended record";
        EXPECT_TRUE(NeedsProductOptionsType(facts));
        EXPECT_EQ(PartsOf(facts).name, std::string("Microsoft Windows ") + row.name);
    }
}

TEST(NtServicePack, Nt4Sp6aShowsOnlyInTheHotfixKey) {
    struct Row {
        std::uint32_t major;
        const char* recorded;
        bool hotfix;
        bool asksForHotfix;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {4, "Service Pack 6", true, true, "Service Pack 6a"},
        {4, "Service Pack 6", false, true, "Service Pack 6"},
        {4, "Service Pack 5", true, false, "Service Pack 5"},
        {4, "Service Pack 6 ", true, false, "Service Pack 6 "},
        {4, "service pack 6", true, false, "service pack 6"},
        {5, "Service Pack 6", true, false, "Service Pack 6"},
        {3, "Service Pack 6", true, false, "Service Pack 6"},
        {6, "", true, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.major) + " " + row.recorded);
        OsFacts facts = WindowsNt(row.major, 0, kWorkstation);
        facts.version.servicePack = row.recorded;
        facts.hotfixQ246009Present = row.hotfix;
        EXPECT_EQ(NeedsHotfixKey(facts.version), row.asksForHotfix);
        EXPECT_EQ(PartsOf(facts).servicePack, row.expected);
    }
}

TEST(OsDescriptionFailures, UnknownWithoutQueryOrPlatform) {
    OsFacts failed = WindowsNt(5, 1, kWorkstation);
    failed.versionQueryOk = false;
    OsFacts win32s = WindowsNt(5, 1, kWorkstation);
    win32s.version.platformId = 0;
    OsFacts ce = WindowsNt(5, 1, kWorkstation);
    ce.version.platformId = 3;
    for (const OsFacts& facts : {failed, win32s, ce}) {
        const std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(facts);
        EXPECT_FALSE(parts.has_value());
        EXPECT_EQ(ComposeOsDescription(parts, true), "unknown");
        EXPECT_FALSE(FlagsOfDescription(parts, "unknown Server 64", 0xAA64).has_value());
    }
}

TEST(OsDescriptionComposition, TrimmedTestsUntrimmedTexts) {
    struct Row {
        const char* version;
        const char* servicePack;
        bool includeVersion;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"5.1.2600", "Service Pack 3", false, "N Service Pack 3"},
        {"5.1.2600", "", false, "N"},
        {"5.1.2600", " \t\r\n", false, "N"},
        {"5.1.2600", "Service Pack 3", true, "N 5.1.2600 Service Pack 3"},
        {"5.1.2600", "", true, "N 5.1.2600"},
        {" ", "SP", true, "N SP"},
        {"\x01", "", true, "N"},
        {" 10.0.1", " \x7F", true, "N  10.0.1  \x7F"},
        {"", " A ", false, "N  A "},
        {"", "\xA0", false, "N \xA0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        const WindowsVersionParts parts{"N", row.version, row.servicePack};
        EXPECT_EQ(ComposeOsDescription(parts, row.includeVersion), row.expected);
    }
}

TEST(OsDescriptionFlags, ReadOffTheDescription) {
    const WindowsVersionParts parts{"ignored", "", ""};
    struct Row {
        const char* description;
        bool is64Bit;
        bool isServer;
    };
    const std::vector<Row> rows = {
        {"Windows 7 Ultimate 64-bit", true, false},
        {"Microsoft Windows XP Professional x64", false, false},
        {"Microsoft Windows Server 2003 Standard x64", false, true},
        {"Windows Server 2008 R2 Enterprise 64-bit", true, true},
        {"windows server 64", true, false},
        {"Microsoft Windows 10  64-bit", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const std::optional<OsFlags> flags = FlagsOfDescription(parts, row.description, 0);
        ASSERT_TRUE(flags.has_value());
        EXPECT_EQ(flags->is64BitWindows, row.is64Bit);
        EXPECT_EQ(flags->isServerWindows, row.isServer);
    }
}

TEST(NativeMachine, TellsWhetherWindowsIs64Bit) {
    const struct {
        std::uint16_t machine;
        std::optional<bool> is64Bit;
    } rows[] = {{0xAA64, true}, {0x8664, true}, {0x0200, true}, {0x014C, false}, {0x01C4, false},
                {0, std::nullopt}, {0x01C0, std::nullopt}, {0xFFFF, std::nullopt}};
    for (const auto& row : rows) EXPECT_EQ(Is64BitMachine(row.machine), row.is64Bit) << row.machine;
    // A machine that tells overrides the description's words.
    const WindowsVersionParts parts{"ignored", "", ""};
    EXPECT_TRUE(FlagsOfDescription(parts, "Windows 10 Pro 32-bit", 0xAA64)->is64BitWindows);
    EXPECT_FALSE(FlagsOfDescription(parts, "Windows 64 Pro 64-bit", 0x014C)->is64BitWindows);
}

TEST(KnownSystems, DescribeThemselves) {
    OsFacts xpSp3 = WindowsNt(5, 1, kWorkstation);
    xpSp3.version.servicePack = "Service Pack 3";

    const OsFacts xpX64 = WindowsNt(5, 2, kWorkstation, kX64);

    OsFacts server2003R2 = WindowsNt(5, 2, kServer);
    server2003R2.metricServerR2 = 1;

    const OsFacts storageServer = WindowsNt(5, 2, kServer, kX86, 0x2000);

    OsFacts win7 = WindowsNt(6, 1, kWorkstation, kX64);
    win7.productName = "Windows 7 Ultimate";
    win7.version.servicePack = "Service Pack 1";

    OsFacts win10 = WindowsNt(6, 2, kWorkstation, kX64);
    win10.productName = "Windows 10 Pro";
    win10.verOutput = kWin10Ver;

    OsFacts win10NoName = win10;
    win10NoName.productName.reset();

    OsFacts win98Se = Windows9x(4, 10, kWindows98SeBuild, " A ");

    // x86 code on Windows 10 on ARM: GetNativeSystemInfo says x86, IsWow64Process2 says ARM64.
    OsFacts win10Arm = win10;
    win10Arm.architecture = kX86;
    win10Arm.nativeMachine = 0xAA64;
    OsFacts win10X64On32BitMachine = win10;
    win10X64On32BitMachine.nativeMachine = 0x014C;
    OsFacts win10UnknownMachine = win10;
    win10UnknownMachine.nativeMachine = 0x01C0;

    OsFacts nt4Sp6a = WindowsNt(4, 0, kWorkstation);
    nt4Sp6a.version.servicePack = "Service Pack 6";
    nt4Sp6a.hotfixQ246009Present = true;

    struct Row {
        OsFacts facts;
        bool includeVersion;
        const char* description;
        bool is64Bit;
        bool isServer;
    };
    const std::vector<Row> rows = {
        {xpSp3, false, "Microsoft Windows XP Professional Service Pack 3", false, false},
        {xpX64, false, "Microsoft Windows XP Professional x64", false, false},
        {server2003R2, false, "Microsoft Windows Server 2003 R2 Standard", false, true},
        {storageServer, false, "Microsoft Windows Storage Server 2003Standard", false, true},
        {win7, false, "Windows 7 Ultimate 64-bit Service Pack 1", true, false},
        {win7, true, "Windows 7 Ultimate 64-bit 6.1.1234 Service Pack 1", true, false},
        {win10, false, "Windows 10 Pro 64-bit", true, false},
        {win10, true, "Windows 10 Pro 64-bit  10.0.19045.3803", true, false},
        {win10NoName, false, "Microsoft Windows 10  64-bit", true, false},
        {win10Arm, false, "Windows 10 Pro 64-bit", true, false},
        {win10X64On32BitMachine, false, "Windows 10 Pro 32-bit", false, false},
        {win10UnknownMachine, false, "Windows 10 Pro 64-bit", true, false},
        {win98Se, false, "Microsoft Windows 98 SE  A ", false, false},
        {win98Se, true, "Microsoft Windows 98 SE 4.10.2222  A ", false, false},
        {nt4Sp6a, false, "Microsoft Windows NT Workstation Service Pack 6a", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const std::optional<WindowsVersionParts> parts = GetWindowsVersionParts(row.facts);
        const std::string description = ComposeOsDescription(parts, row.includeVersion);
        EXPECT_EQ(description, row.description);
        const std::optional<OsFlags> flags = FlagsOfDescription(parts, description, row.facts.nativeMachine);
        ASSERT_TRUE(flags.has_value());
        EXPECT_EQ(flags->is64BitWindows, row.is64Bit);
        EXPECT_EQ(flags->isServerWindows, row.isServer);
    }
}

// The gathering code skips a fact whenever its Needs* answer is false; that
// is safe only if the fact then cannot change the result.
TEST(GatheringNeeds, SkippedFactsDoNotMatter) {
    for (const std::uint32_t platform : {1u, 2u}) {
        for (std::uint32_t major = 0; major <= 12; ++major) {
            for (std::uint32_t minor = 0; minor <= 4; ++minor) {
                for (const bool extended : {false, true}) {
                    SCOPED_TRACE(std::to_string(platform) + ":" + std::to_string(major) + "." +
                                 std::to_string(minor) + (extended ? " extended" : " basic"));
                    OsFacts bare = WindowsNt(major, minor, kServer, kX64);
                    bare.version.platformId = platform;
                    bare.version.servicePack = "Service Pack 6";
                    bare.extendedQueryOk = extended;
                    OsFacts full = bare;
                    full.verOutput = kWin10Ver;
                    full.productName = "Windows Server 2022";
                    full.hotfixQ246009Present = true;
                    full.productOptionsType = "LANMANNT";
                    OsFacts needed = bare;
                    if (NeedsVerOutput(bare.version)) {
                        needed.verOutput = full.verOutput;
                    }
                    if (NeedsProductName(bare)) {
                        needed.productName = full.productName;
                    }
                    if (NeedsHotfixKey(bare.version)) {
                        needed.hotfixQ246009Present = true;
                    }
                    if (NeedsProductOptionsType(bare)) {
                        needed.productOptionsType = full.productOptionsType;
                    }
                    const WindowsVersionParts expected = PartsOf(full);
                    const WindowsVersionParts actual = PartsOf(needed);
                    EXPECT_EQ(actual.name, expected.name);
                    EXPECT_EQ(actual.version, expected.version);
                    EXPECT_EQ(actual.servicePack, expected.servicePack);
                }
            }
        }
    }
}

// Where "ver" is left unread, any output it could give must leave the
// description and its flags as they are; where it is read, some output must
// change them, or the wait for it was for nothing.
TEST(GatheringNeeds, VerIsLeftUnreadOnlyWhereItsOutputCannotMatter) {
    const std::vector<std::string> outputs = {
        "", kWin10Ver, "\r\nMicrosoft Windows [Version 6.3.9600]\r\n", "\r\nMicrosoft Windows [Version 6.2.9200]\r\n",
        "Server ion 64.0 Server", "Microsoft Windows [\xC2\xE5\xF0\xF1\xE8\xFF 6.2.9200]"};
    int leftUnread = 0;
    for (std::uint32_t major = 0; major <= 12; ++major) {
        for (std::uint32_t minor = 0; minor <= 4; ++minor) {
            for (const std::uint16_t architecture : {kX86, kX64}) {
                for (const bool productName : {false, true}) {
                    for (const bool extended : {false, true}) {
                        for (const bool includeVersion : {false, true}) {
                            OsFacts facts = WindowsNt(major, minor, kWorkstation, architecture);
                            facts.extendedQueryOk = extended;
                            if (productName) {
                                facts.productName = "Windows 10 Pro";
                            }
                            SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor) + " arch " +
                                         std::to_string(architecture) + (productName ? " named" : "") +
                                         (extended ? " extended" : " basic") + (includeVersion ? " +version" : ""));
                            std::vector<std::string> descriptions;
                            for (const std::string& output : outputs) {
                                facts.verOutput = output;
                                descriptions.push_back(
                                    ComposeOsDescription(GetWindowsVersionParts(facts), includeVersion));
                            }
                            const bool allSame =
                                std::all_of(descriptions.begin(), descriptions.end(),
                                            [&](const std::string& d) { return d == descriptions.front(); });
                            if (!VerOutputChangesDescription(facts, includeVersion)) {
                                EXPECT_TRUE(allSame);
                                leftUnread += NeedsVerOutput(facts.version) ? 1 : 0;
                            } else {
                                EXPECT_FALSE(allSame);
                            }
                        }
                    }
                }
            }
        }
    }
    // Windows 8 and later as this program is told, named by "ProductName".
    EXPECT_EQ(leftUnread, 2);
}

TEST(GatheringNeeds, AskOnlyWhereTheTablesLook) {
    const auto needsVer = [](std::uint32_t major, std::uint32_t minor) {
        return NeedsVerOutput(WindowsNt(major, minor, kWorkstation).version);
    };
    for (const std::uint32_t major : {0u, 1u, 2u, 7u, 8u, 9u, 11u, 12u}) {
        EXPECT_TRUE(needsVer(major, 0)) << major;
    }
    EXPECT_TRUE(needsVer(6, 2));
    for (const std::uint32_t major : {3u, 4u, 5u, 6u, 10u}) {
        for (const std::uint32_t minor : {0u, 1u, 3u, 4u}) {
            EXPECT_FALSE(needsVer(major, minor)) << major << "." << minor;
        }
    }
    EXPECT_FALSE(NeedsVerOutput(Windows9x(6, 2, 0, "").version));

    OsFacts vista = WindowsNt(6, 0, kWorkstation);
    EXPECT_TRUE(NeedsProductName(vista));
    EXPECT_FALSE(NeedsProductOptionsType(vista));
    vista.extendedQueryOk = false;
    EXPECT_FALSE(NeedsProductName(vista));
    EXPECT_TRUE(NeedsProductOptionsType(vista));
    vista.versionQueryOk = false;
    EXPECT_FALSE(NeedsProductOptionsType(vista));
    EXPECT_FALSE(NeedsProductName(WindowsNt(5, 1, kWorkstation)));
    EXPECT_FALSE(NeedsProductName(Windows9x(6, 0, 0, "")));
    EXPECT_FALSE(NeedsProductOptionsType(BasicOnly(Windows9x(4, 10, 0, ""))));
    EXPECT_FALSE(NeedsHotfixKey(Windows9x(4, 0, 0, "Service Pack 6").version));
}

}  // namespace
}  // namespace kavrel
