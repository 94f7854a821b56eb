#include "base/log_rules.h"

#include <gtest/gtest.h>

#include "env/startup_rules.h"

namespace kavrel {
namespace {

TEST(LogSwitch, OnlyTheWholeSwitchInAnyLetterCase) {
    for (const char* bare : {"/log", "/LOG", "/Log"}) {
        ASSERT_TRUE(ParseLogSwitch(bare)) << bare;
        EXPECT_EQ(ParseLogSwitch(bare)->path, "");
    }
    EXPECT_EQ(ParseLogSwitch("/log=C:\\Logs\\lexova.log")->path, "C:\\Logs\\lexova.log");
    EXPECT_EQ(ParseLogSwitch("/LOG=d:\\x=y.log")->path, "d:\\x=y.log");
    EXPECT_EQ(ParseLogSwitch("/log=")->path, "");
    for (const char* other : {"", "/lo", "/logfoo", "log", "-log", "/log ", "modest", "/log:C:\\x.log"})
        EXPECT_FALSE(ParseLogSwitch(other)) << other;
}

TEST(LogSwitch, TheOtherArgumentsKeepTheirOrder) {
    const char* const lines[] = {
        "lexova-update.exe modest runapp /log=C:\\Logs\\lexova.log",
        "lexova-update.exe /log=C:\\Logs\\lexova.log modest runapp",
        "\"C:\\Downloads\\lexova-update.exe\" modest /LOG runapp",
    };
    for (const char* line : lines) {
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 1), "modest") << line;
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 2), "runapp") << line;
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 3), "") << line;
    }
    EXPECT_EQ(LogRequestOf("lexova-update.exe modest runapp /log=C:\\Logs\\lexova.log")->path, "C:\\Logs\\lexova.log");
    EXPECT_EQ(LogRequestOf("lexova-update.exe /log modest")->path, "");
    EXPECT_FALSE(LogRequestOf("lexova-update.exe /logfoo modest"));
    EXPECT_EQ(CommandLineArgumentBesidesLog("lexova-update.exe /logfoo modest", 1), "/logfoo");
    // The program's own name is never taken for the switch.
    EXPECT_FALSE(LogRequestOf("/log modest"));
    EXPECT_EQ(CommandLineArgumentBesidesLog("/log modest", 1), "modest");
}

TEST(LogLines, StampedOneLineEachWithWindowsLineEnds) {
    const LogTime time{2026, 12, 7, 9, 5, 3, 42};
    EXPECT_EQ(FormatLogLine(time, "exit code 0"), "2026-12-07 09:05:03.042 exit code 0\r\n");
    EXPECT_EQ(FormatLogLine(time, "box: Can't install file C:\\A\\zyq.pak\r\n\r\nAccess denied.\nx\ry"),
              "2026-12-07 09:05:03.042 box: Can't install file C:\\A\\zyq.pak  Access denied. x y\r\n");
    EXPECT_EQ(FormatLogLine(time, ""), "2026-12-07 09:05:03.042 \r\n");
    EXPECT_EQ(DefaultLogPath("C:\\Users\\x\\AppData\\Local\\Temp"), "C:\\Users\\x\\AppData\\Local\\Temp\\lexova-update.log");
    EXPECT_EQ(DefaultLogPath("C:\\Temp\\"), "C:\\Temp\\lexova-update.log");
}

}  // namespace
}  // namespace kavrel
