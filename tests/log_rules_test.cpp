#include "base/log_rules.h"

#include <gtest/gtest.h>

#include <tuple>

#include "base/text.h"
#include "env/startup_rules.h"

namespace kavrel {
namespace {

TEST(LogSwitch, OnlyTheWholeSwitchInAnyLetterCase) {
    for (const wchar_t* bare : {L"/log", L"/LOG", L"/Log"}) {
        ASSERT_TRUE(ParseLogSwitch(bare)) << NarrowAscii(bare);
        EXPECT_EQ(ParseLogSwitch(bare)->path, L"");
    }
    EXPECT_EQ(ParseLogSwitch(L"/log=C:\\Logs\\lexova.log")->path, L"C:\\Logs\\lexova.log");
    EXPECT_EQ(ParseLogSwitch(L"/LOG=d:\\x=y.log")->path, L"d:\\x=y.log");
    EXPECT_EQ(ParseLogSwitch(L"/log=")->path, L"");
    // Letters that the system's code page lacks stay in the path.
    const wchar_t* const kazakh = L"/Log=C:\\Users\\Әлия\\語.log";
    EXPECT_EQ(ParseLogSwitch(kazakh)->path, kazakh + 5);
    for (const wchar_t* other : {L"", L"/lo", L"/logfoo", L"log", L"-log", L"/log ", L"modest", L"/log:C:\\x.log", L"/lоg"})
        EXPECT_FALSE(ParseLogSwitch(other)) << NarrowAscii(other);
}

TEST(LogSwitch, TheOtherArgumentsKeepTheirOrder) {
    const wchar_t* const lines[] = {
        L"lexova-update.exe modest runapp /log=C:\\Logs\\lexova.log",
        L"lexova-update.exe /log=C:\\Logs\\lexova.log modest runapp",
        L"\"C:\\Downloads\\lexova-update.exe\" modest /LOG runapp",
    };
    for (const wchar_t* line : lines) {
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 1), L"modest") << NarrowAscii(line);
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 2), L"runapp") << NarrowAscii(line);
        EXPECT_EQ(CommandLineArgumentBesidesLog(line, 3), L"") << NarrowAscii(line);
    }
    EXPECT_EQ(LogRequestOf(L"lexova-update.exe modest runapp /log=C:\\Logs\\lexova.log")->path, L"C:\\Logs\\lexova.log");
    EXPECT_EQ(LogRequestOf(L"lexova-update.exe /log modest")->path, L"");
    EXPECT_FALSE(LogRequestOf(L"lexova-update.exe /logfoo modest"));
    EXPECT_EQ(CommandLineArgumentBesidesLog(L"lexova-update.exe /logfoo modest", 1), L"/logfoo");
    // The program's own name is never taken for the switch.
    EXPECT_FALSE(LogRequestOf(L"/log modest"));
    EXPECT_EQ(CommandLineArgumentBesidesLog(L"/log modest", 1), L"modest");
}

TEST(LogPlace, TheSwitchDecidesAndWhereNobodySeesTheSystemsLogFolder) {
    const LogRequest given{L"C:\\Logs\\x.log"};
    for (bool seen : {true, false}) {
        EXPECT_EQ(LogPlaceOf(given, seen), LogPlace::GivenPath);
        EXPECT_EQ(LogPlaceOf(LogRequest{}, seen), LogPlace::TempFolder);
    }
    EXPECT_EQ(LogPlaceOf(std::nullopt, true), LogPlace::None);
    EXPECT_EQ(LogPlaceOf(std::nullopt, false), LogPlace::SystemLogFolder);
    EXPECT_EQ(SystemLogPath(L"C:\\Windows"), L"C:\\Windows\\Logs\\Software\\lexova-update.log");
    EXPECT_EQ(SystemLogFolder(L"D:\\WINNT\\"), L"D:\\WINNT\\Logs\\Software");
}

TEST(LogPath, SlashesAsBackslashesAndOnlyAWholeFilePath) {
    EXPECT_EQ(WithBackslashes(L"C:/acc/logs/update.log"), L"C:\\acc\\logs\\update.log");
    EXPECT_EQ(WithBackslashes(L"//?/UNC/srv/Логи/x.log"), L"\\\\?\\UNC\\srv\\Логи\\x.log");
    for (const wchar_t* whole : {L"C:\\x.log", L"d:\\Логи\\語.log", L"\\\\srv\\share\\x.log", L"\\\\?\\C:\\L\\x.log",
                                 L"\\\\?\\UNC\\srv\\share\\x.log", L"\\\\?\\unc\\srv\\share\\d\\x.log"})
        EXPECT_TRUE(IsWholeFilePath(whole)) << Utf8FromWide(whole);
    for (const wchar_t* partial :
         {L"", L"x.log", L"C:x.log", L"\\x.log", L"C:\\", L"C:\\Logs\\", L"C:\\a\\..\\x.log", L"\\\\?\\C:\\.\\x.log",
          L"C:\\a\\\\x.log", L"C:/x.log", L"1:\\x.log", L"\\\\.\\NUL", L"\\\\.\\pipe\\x", L"\\\\srv\\share",
          L"\\\\srv\\share\\", L"\\\\?\\Volume{1}\\x.log", L"\\\\?\\GLOBALROOT\\Device\\x", L"C:\\x.log:s",
          L"\\\\?\\C:\\a/b.log"})
        EXPECT_FALSE(IsWholeFilePath(partial)) << Utf8FromWide(partial);
}

TEST(LogPath, TheHeldFoldersFinalPathMustBeTheOneAskedFor) {
    // A junction in the middle gives its target's path. Other letters than
    // ASCII come in one case from the caller.
    const std::tuple<const wchar_t*, const wchar_t*, bool> table[] = {
        {L"\\\\?\\C:\\acc\\logs", L"C:\\acc\\logs", true},
        {L"\\\\?\\C:\\Acc\\LOGS", L"c:\\acc\\logs\\", true},
        {L"\\\\?\\C:\\", L"C:\\", true},
        {L"\\\\?\\UNC\\srv\\share\\logs", L"\\\\SRV\\share\\logs", true},
        {L"\\\\?\\D:\\Логи", L"\\\\?\\d:\\Логи", true},
        {L"\\\\?\\D:\\elsewhere\\logs", L"C:\\acc\\logs", false},
        {L"\\\\?\\C:\\acc\\logs\\inner", L"C:\\acc\\logs", false},
        {L"\\\\?\\C:\\acc", L"C:\\acc\\logs", false},
        {L"\\\\?\\UNC\\srv\\share\\logs", L"C:\\logs", false},
        {L"\\\\?\\C:\\Логи", L"C:\\логи", false},
        {L"", L"C:\\logs", false},
        {L"\\\\?\\", L"", false},
    };
    for (const auto& [finalPath, requested, same] : table)
        EXPECT_EQ(FinalPathIsFolder(finalPath, requested), same) << Utf8FromWide(finalPath);
}

TEST(LogLines, StampedOneLineEachWithWindowsLineEnds) {
    const LogTime time{2026, 12, 7, 9, 5, 3, 42};
    EXPECT_EQ(FormatLogLine(time, "exit code 0"), "2026-12-07 09:05:03.042 exit code 0\r\n");
    EXPECT_EQ(FormatLogLine(time, "box: Can't install file C:\\A\\zyq.pak\r\n\r\nAccess denied.\nx\ry"),
              "2026-12-07 09:05:03.042 box: Can't install file C:\\A\\zyq.pak  Access denied. x y\r\n");
    EXPECT_EQ(FormatLogLine(time, ""), "2026-12-07 09:05:03.042 \r\n");
    EXPECT_EQ(DefaultLogPath(L"C:\\Users\\Иван\\AppData\\Local\\Temp"),
              L"C:\\Users\\Иван\\AppData\\Local\\Temp\\lexova-update.log");
    EXPECT_EQ(DefaultLogPath(L"C:\\Temp\\"), L"C:\\Temp\\lexova-update.log");
}

}  // namespace
}  // namespace kavrel
