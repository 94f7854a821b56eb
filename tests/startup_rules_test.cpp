#include "env/startup_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(RussianMessageLocale, CoversExactlyTheSevenLocales) {
    for (std::uint32_t lcid : {1026u, 1049u, 1058u, 1059u, 1087u, 1092u, 2073u}) EXPECT_TRUE(IsRussianMessageLocale(lcid));
    // English, Armenian, and Russian with a non-default sort order.
    for (std::uint32_t lcid : {1033u, 1067u, 0x10419u, 0u, 25u}) EXPECT_FALSE(IsRussianMessageLocale(lcid));
}

TEST(RegistryAccessMask, AddsThe64BitViewOnlyOn64BitWindows) {
    EXPECT_EQ(RegistryAccessMask(false), 0xF003Fu);
    EXPECT_EQ(RegistryAccessMask(true), 0xF013Fu);
}

TEST(CommandSwitch, IsTheLoweredFirstArgumentWithItsFlags) {
    struct Case {
        const wchar_t* argument;
        const char* lowered;
        bool start, rstart;
    } cases[] = {
        {L"RSTART", "rstart", true, true}, {L"Rstart", "rstart", true, true}, {L"gstart", "gstart", true, false},
        {L"YSTART", "ystart", true, false}, {L"start", "start", false, false}, {L"", "", false, false},
        {L"MODEST", "modest", false, false}, {L"/rstart", "/rstart", false, false},
        // A letter outside ASCII, even one that a code page would map to "o", matches nothing.
        {L"m\u00F6dest", "m?dest", false, false}, {L"m\u043Edest", "m?dest", false, false},
    };
    for (const Case& c : cases) {
        CommandSwitchFlags flags = ParseCommandSwitch(c.argument);
        EXPECT_EQ(flags.commandSwitch, c.lowered);
        EXPECT_EQ(flags.isStartSwitch, c.start) << c.lowered;
        EXPECT_EQ(flags.isRStartSwitch, c.rstart) << c.lowered;
    }
}

TEST(CommandLineArgument, SplitsAtBlanksAndDropsQuotes) {
    const wchar_t* line = L"\"C:\\Program Files\\lexova-update.exe\"  MoDeSt\t\"run\"app  \"two words\"";
    EXPECT_EQ(CommandLineArgument(line, 0), L"C:\\Program Files\\lexova-update.exe");
    EXPECT_EQ(CommandLineArgument(line, 1), L"MoDeSt");
    EXPECT_EQ(CommandLineArgument(line, 2), L"runapp");
    EXPECT_EQ(CommandLineArgument(line, 3), L"two words");
    EXPECT_EQ(CommandLineArgument(line, 4), L"");
    EXPECT_EQ(CommandLineArgument(L"setup.exe", 1), L"");
    EXPECT_EQ(CommandLineArgument(L"", 0), L"");
    EXPECT_EQ(CommandLineArgument(L"setup.exe \"\" modest", 1), L"");
    const wchar_t* const kazakh = L"\"C:\\Users\\Әлия\\lexova-update.exe\" /log=C:\\Логи\\x.log";
    EXPECT_EQ(CommandLineArgument(kazakh, 1), L"/log=C:\\Логи\\x.log");
}

}  // namespace
}  // namespace kavrel
