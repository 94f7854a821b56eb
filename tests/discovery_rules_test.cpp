#include "env/discovery_rules.h"

#include <gtest/gtest.h>

#include <utility>

namespace kavrel {
namespace {

TEST(CutUninstallCommand, KeepsTheFolderWithItsBackslash) {
    EXPECT_EQ(CutUninstallCommand(L"C:\\Program Files\\Kavrel\\uninstall.exe"), L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand(L"C:\\uninstall.exe"), L"C:\\");
    // The last character is never examined: a trailing backslash gives the parent.
    EXPECT_EQ(CutUninstallCommand(L"C:\\A\\B\\"), L"C:\\A\\");
    // Arguments of an unquoted command go with the file name.
    EXPECT_EQ(CutUninstallCommand(L"C:\\App\\unins.exe /log=C:\\Logs\\u.txt"), L"C:\\App\\unins.exe /log=C:\\Logs\\");
    // Letters of no single code page (Cyrillic, Kazakh, CJK) stay as they are.
    const wchar_t* const kazakh = L"\"C:\\Программы\\Әлия Қ\\語\\uninstall.exe\" /S";
    EXPECT_EQ(CutUninstallCommand(kazakh), std::wstring(kazakh + 1, 22));
    EXPECT_EQ(CutUninstallCommand(L"C:\\Лексова\\\u04D8\\"), L"C:\\Лексова\\");
    EXPECT_EQ(CutUninstallCommand(L"Лексова.exe"), std::nullopt);
}

TEST(CutUninstallCommand, CutsAQuotedCommandWithinItsQuotes) {
    EXPECT_EQ(CutUninstallCommand(L"\"C:\\Program Files\\Kavrel\\uninstall.exe\""), L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand(L"\"C:\\Program Files\\Kavrel\\uninstall.exe\" /S /log=D:\\x\\y.txt"),
              L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand(L"\"C:\\Program Files\\Kavrel\\uninstall.exe"), L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand(L"\"C:\\A\\B\\\""), L"C:\\A\\");
    // Blanks before the opening quote are skipped, not taken for an unquoted path.
    EXPECT_EQ(CutUninstallCommand(L"  \"C:\\Program Files\\Kavrel\\uninstall.exe\" /S"), L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(CutUninstallCommand(L"\t \"C:\\A\\u.exe\""), L"C:\\A\\");
    EXPECT_EQ(CutUninstallCommand(L"  C:\\App\\unins.exe"), L"C:\\App\\");
}

TEST(CutUninstallCommand, FindsNothingWithoutABackslashBeforeTheLastCharacter) {
    for (const wchar_t* command : {L"", L"\\", L"x", L"uninstall.exe", L"unins\\", L"\"\"", L"\"uninstall.exe\" C:\\x\\y", L"   ",
                                L" \"unins.exe\" C:\\x\\y"})
        EXPECT_EQ(CutUninstallCommand(command), std::nullopt) << static_cast<int>(command[0]);
    EXPECT_EQ(CutUninstallCommand(L"\\\\"), L"\\");
}

TEST(WithNativeProgramFolders, NamesThe64BitFoldersOnly) {
    const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L"%ProgramFiles%\\Kavrel\\u.exe", L"%ProgramW6432%\\Kavrel\\u.exe"},
        {L"\"%PROGRAMFILES%\\K\\u.exe\" %programfiles%", L"\"%ProgramW6432%\\K\\u.exe\" %ProgramW6432%"},
        {L"%CommonProgramFiles%\\K", L"%CommonProgramW6432%\\K"},
        {L"%ProgramFiles(x86)%\\K", L"%ProgramFiles(x86)%\\K"},
        {L"%SystemDrive%\\Program Files\\K", L"%SystemDrive%\\Program Files\\K"},
        {L"C:\\100%\\ProgramFiles%\\K", L"C:\\100%\\ProgramFiles%\\K"},
        {L"%ProgramFiles", L"%ProgramFiles"},
        {L"", L""},
    };
    for (const auto& [text, expected] : table) EXPECT_EQ(WithNativeProgramFolders(text), expected);
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
