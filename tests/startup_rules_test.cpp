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
        const char* argument;
        const char* lowered;
        bool start, rstart;
    } cases[] = {
        {"RSTART", "rstart", true, true}, {"Rstart", "rstart", true, true}, {"gstart", "gstart", true, false},
        {"YSTART", "ystart", true, false}, {"start", "start", false, false}, {"", "", false, false},
        {"MODEST", "modest", false, false}, {"/rstart", "/rstart", false, false},
    };
    for (const Case& c : cases) {
        CommandSwitchFlags flags = ParseCommandSwitch(c.argument);
        EXPECT_EQ(flags.commandSwitch, c.lowered);
        EXPECT_EQ(flags.isStartSwitch, c.start) << c.argument;
        EXPECT_EQ(flags.isRStartSwitch, c.rstart) << c.argument;
    }
}

TEST(CommandLineArgument, SplitsAtBlanksAndDropsQuotes) {
    const char* line = "\"C:\\Program Files\\lexova-update.exe\"  MoDeSt\t\"run\"app  \"two words\"";
    EXPECT_EQ(CommandLineArgument(line, 0), "C:\\Program Files\\lexova-update.exe");
    EXPECT_EQ(CommandLineArgument(line, 1), "MoDeSt");
    EXPECT_EQ(CommandLineArgument(line, 2), "runapp");
    EXPECT_EQ(CommandLineArgument(line, 3), "two words");
    EXPECT_EQ(CommandLineArgument(line, 4), "");
    EXPECT_EQ(CommandLineArgument("setup.exe", 1), "");
    EXPECT_EQ(CommandLineArgument("", 0), "");
    EXPECT_EQ(CommandLineArgument("setup.exe \"\" modest", 1), "");
}

}  // namespace
}  // namespace kavrel
