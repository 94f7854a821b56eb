#include "env/discovery_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(CutUninstallCommand, KeepsTheFolderWithItsBackslash) {
    EXPECT_EQ(CutUninstallCommand("C:\\Program Files\\Kavrel\\uninstall.exe"), "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand("C:\\uninstall.exe"), "C:\\");
    // The last character is never examined: a trailing backslash gives the parent.
    EXPECT_EQ(CutUninstallCommand("C:\\A\\B\\"), "C:\\A\\");
    // Arguments of an unquoted command go with the file name.
    EXPECT_EQ(CutUninstallCommand("C:\\App\\unins.exe /log=C:\\Logs\\u.txt"), "C:\\App\\unins.exe /log=C:\\Logs\\");
}

TEST(CutUninstallCommand, CutsAQuotedCommandWithinItsQuotes) {
    EXPECT_EQ(CutUninstallCommand("\"C:\\Program Files\\Kavrel\\uninstall.exe\""), "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand("\"C:\\Program Files\\Kavrel\\uninstall.exe\" /S /log=D:\\x\\y.txt"),
              "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand("\"C:\\Program Files\\Kavrel\\uninstall.exe"), "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand("\"C:\\A\\B\\\""), "C:\\A\\");
    // Blanks before the opening quote are skipped, not taken for an unquoted path.
    EXPECT_EQ(CutUninstallCommand("  \"C:\\Program Files\\Kavrel\\uninstall.exe\" /S"), "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand("\t \"C:\\A\\u.exe\""), "C:\\A\\");
    EXPECT_EQ(CutUninstallCommand("  C:\\App\\unins.exe"), "C:\\App\\");
}

TEST(CutUninstallCommand, FindsNothingWithoutABackslashBeforeTheLastCharacter) {
    for (const char* command : {"", "\\", "x", "uninstall.exe", "unins\\", "\"\"", "\"uninstall.exe\" C:\\x\\y", "   ",
                                " \"unins.exe\" C:\\x\\y"})
        EXPECT_EQ(CutUninstallCommand(command), std::nullopt) << command;
    EXPECT_EQ(CutUninstallCommand("\\\\"), "\\");
}

TEST(Wow64KeyPath, InsertsTheNodeAfterTheFirstBackslash) {
    EXPECT_EQ(Wow64KeyPath("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"),
              "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
    EXPECT_EQ(Wow64KeyPath("Software"), "WOW6432Node\\Software");
}

TEST(MenuFolders, CarryTheTitleOfTheMessageLanguageFirst) {
    MenuFolders english = ComposeMenuFolders("C:\\All\\", "C:\\Me\\", "Обновление Lexova", "Lexova update", false);
    EXPECT_EQ(english.commonMenuDir, "C:\\All\\Lexova update\\");
    EXPECT_EQ(english.commonMenuDirOther, "C:\\All\\Обновление Lexova\\");
    EXPECT_EQ(english.userMenuDirRu, "C:\\Me\\Обновление Lexova\\");
    EXPECT_EQ(english.userMenuDirEn, "C:\\Me\\Lexova update\\");
    MenuFolders russian = ComposeMenuFolders("C:\\All\\", "C:\\Me\\", "Обновление Lexova", "Lexova update", true);
    EXPECT_EQ(russian.commonMenuDir, "C:\\All\\Обновление Lexova\\");
    EXPECT_EQ(russian.commonMenuDirOther, "C:\\All\\Lexova update\\");
    EXPECT_EQ(russian.userMenuDirRu, english.userMenuDirRu);
}

TEST(MenuFolders, FallBackToTheUsersProgramsWhenTheCommonOneIsUnknown) {
    EXPECT_EQ(EffectiveCommonProgramsDir("", "C:\\Me\\"), "C:\\Me\\");
    EXPECT_EQ(EffectiveCommonProgramsDir("\\", "C:\\Me\\"), "C:\\Me\\");
    EXPECT_EQ(EffectiveCommonProgramsDir("C:", "C:\\Me\\"), "C:");
}

}  // namespace
}  // namespace kavrel
