#include "base/text.h"

#include <gtest/gtest.h>

#include "base/shown_text.h"

namespace kavrel {
namespace {

TEST(TextToInt, AcceptsDecimalAndHexadecimalForms) {
    EXPECT_EQ(TextToInt("6660"), 6660);
    EXPECT_EQ(TextToInt("   42"), 42);
    EXPECT_EQ(TextToInt("-17"), -17);
    EXPECT_EQ(TextToInt("+17"), 17);
    EXPECT_EQ(TextToInt("$1A04"), 0x1A04);
    EXPECT_EQ(TextToInt("0x1a04"), 0x1A04);
    EXPECT_EQ(TextToInt("0X1A04"), 0x1A04);
    EXPECT_EQ(TextToInt("-$10"), -16);
    EXPECT_EQ(TextToInt("0"), 0);
    EXPECT_EQ(TextToInt("007"), 7);
}

TEST(TextToInt, RefusesStrayCharactersAndEmptyTexts) {
    for (const char* bad : {"", " ", "+", "-", "$", "0x", "12 ", "1.2", "\t5", "5a", "a5", "0x1g", " - 5", "1,000"})
        EXPECT_EQ(TextToInt(bad), std::nullopt) << '"' << bad << '"';
}

TEST(TextToInt, KeepsToTheSigned32BitRange) {
    EXPECT_EQ(TextToInt("2147483647"), 2147483647);
    EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(TextToInt("2147483648"), std::nullopt);
    EXPECT_EQ(TextToInt("-2147483649"), std::nullopt);
    EXPECT_EQ(TextToInt("$7FFFFFFF"), 0x7FFFFFFF);
    EXPECT_EQ(TextToInt("$80000000"), std::nullopt);
    EXPECT_EQ(TextToInt("99999999999999999999999"), std::nullopt);
}

TEST(AddTrailingBackslash, AppendsOnlyWhereMissing) {
    std::string folder = "C:\\Program Files";
    AddTrailingBackslash(folder);
    EXPECT_EQ(folder, "C:\\Program Files\\");
    AddTrailingBackslash(folder);
    EXPECT_EQ(folder, "C:\\Program Files\\");
    std::string empty;
    AddTrailingBackslash(empty);
    EXPECT_EQ(empty, "");
}

TEST(WideTexts, KeepEveryLetterInUtf8AndNarrowToAsciiOnly) {
    // "Ли", "Ә", "語", a surrogate pair (U+1F600), then a lone high and a lone low surrogate.
    const std::wstring path{L'C', L'\\', 0x041B, 0x0438, 0x04D8, 0x8A9E, 0xD83D, 0xDE00, 0xD83D, L'x', 0xDE00};
    EXPECT_EQ(Utf8FromWide(path), "C\\\xD0\x9B\xD0\xB8\xD3\x98\xE8\xAA\x9E\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(NarrowAscii(path), "C\\???????x?");
    EXPECT_EQ(WideFromAscii("modest"), L"modest");
    std::wstring folder = L"C:\\\u041B";
    AddTrailingBackslash(folder);
    AddTrailingBackslash(folder);
    EXPECT_EQ(folder, L"C:\\\u041B\\");
}

TEST(FolderPaths, KeepTheRootsBackslashOnly) {
    EXPECT_EQ(FolderToOpen(L"C:\\Program Files\\Lexova\\"), L"C:\\Program Files\\Lexova");
    EXPECT_EQ(FolderToOpen(L"C:\\Lexova\\\\"), L"C:\\Lexova");
    EXPECT_EQ(FolderToOpen(L"C:\\Lexova"), L"C:\\Lexova");
    EXPECT_EQ(FolderToOpen(L"C:\\"), L"C:\\");
    EXPECT_EQ(FolderToOpen(L"C:"), L"C:");
    EXPECT_EQ(FolderToOpen(L"\\\\server\\share\\Lexova\\"), L"\\\\server\\share\\Lexova");
    EXPECT_EQ(FolderToOpen(L""), L"");

    const FilePathParts inFolder = SplitFilePath(L"C:\\Lexova\\zyq.pak");
    EXPECT_EQ(inFolder.folder, L"C:\\Lexova");
    EXPECT_EQ(inFolder.name, L"zyq.pak");
    const FilePathParts atRoot = SplitFilePath(L"D:\\zyq.pak");
    EXPECT_EQ(atRoot.folder, L"D:\\");
    EXPECT_EQ(atRoot.name, L"zyq.pak");
    const FilePathParts bare = SplitFilePath(L"zyq.pak");
    EXPECT_EQ(bare.folder, L"");
    EXPECT_EQ(bare.name, L"zyq.pak");
}

TEST(LowerAscii, ChangesOnlyLatinCapitals) {
    EXPECT_EQ(LowerAscii("MODEST"), "modest");
    EXPECT_EQ(LowerAscii("RunApp/-X1"), "runapp/-x1");
    EXPECT_EQ(LowerAscii("ПРОГРАММА"), "ПРОГРАММА");
}

TEST(ShownText, KeepsEachOriginApartAndMergesNeighboursOfOne) {
    const ShownText text = "Can't install file " + SystemText("C:\\Lexova\\") + SystemText("zyq.pak") + "" + ".";
    ASSERT_EQ(text.Pieces().size(), 3u);
    EXPECT_EQ(text.Pieces()[0], (TextPiece{"Can't install file ", TextOrigin::Program}));
    EXPECT_EQ(text.Pieces()[1], (TextPiece{"C:\\Lexova\\zyq.pak", TextOrigin::System}));
    EXPECT_EQ(text.Pieces()[2], (TextPiece{".", TextOrigin::Program}));
    EXPECT_EQ(text.Bytes(), "Can't install file C:\\Lexova\\zyq.pak.");
    // The same bytes from another origin are another text.
    EXPECT_NE(text, ProgramText(text.Bytes()));
    ShownText twice = LanguageFileText("a");
    twice += twice;
    EXPECT_EQ(twice, LanguageFileText("aa"));
    EXPECT_TRUE(ShownText("").Empty());
}

TEST(ShownText, DecodesEachOriginFromItsOwnCodePage) {
    EXPECT_EQ(CodePageOf(TextOrigin::Program, 1252), 1251u);
    EXPECT_EQ(CodePageOf(TextOrigin::System, 1251), kSystemCodePage);
    EXPECT_EQ(CodePageOf(TextOrigin::LanguageFile, 1252), 1252u);
    // The base files keep their own languages' code pages, whatever the selected file's.
    EXPECT_EQ(CodePageOf(TextOrigin::RussianBaseFile, 1252), 1251u);
    EXPECT_EQ(CodePageOf(TextOrigin::RussianBaseFile, kSystemCodePage), 1251u);
    EXPECT_EQ(CodePageOf(TextOrigin::EnglishBaseFile, 1251), 1252u);
    EXPECT_EQ(CodePageOf(TextOrigin::EnglishBaseFile, kSystemCodePage), 1252u);
    EXPECT_EQ(LanguageCodePageFromLocaleInfo("1251"), 1251u);
    // Unicode-only languages answer 0; nothing or garbage is not a code page.
    for (const char* unknown : {"0", "", "abc", "-1"}) EXPECT_EQ(LanguageCodePageFromLocaleInfo(unknown), kSystemCodePage);
}

}  // namespace
}  // namespace kavrel
