#include "install/version_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(IsOlderVersion, ComparesUpToFourComponentsAsNumbers) {
    struct Case {
        const char* first;
        const char* second;
        bool older;
    } cases[] = {
        {"1.2.3.4", "1.2.3.5", true},   {"1.2.3.5", "1.2.3.4", false}, {"1.2.3.4", "1.2.3.4", false},
        {"1.10.0.0", "1.9.0.0", false}, {"2.0.0.0", "10.0.0.0", true}, {"1.2.3", "1.2.4", true},
        {"1.2.3", "1.2.3", false},      {"0.9", "1.0", true},          {"$A.0.0.0", "11.0.0.0", true},
        // A shorter first text: its second component is never read, a keeps 1 against b = 2.
        {"1.2", "1.2.3.4", true},
        // A fifth component makes the rest of that text fail to convert.
        {"1.2.3.4.5", "1.2.3.4", true}, {"1.2.3.4", "1.2.3.4.5", false},
        // Non-numeric parts; the second text is converted first.
        {"1.2.3.x", "1.2.3.4", true},   {"1.2.3.4", "1.2.3.x", false}, {"1.a.3.4", "1.b.3.4", false},
        {"1.2.3.4 ", "1.2.3.4", true},
        // Texts without a first component compare a component that was never set: 0.
        {"5", "7", true},               {"7", "5", false},             {".1.2.3", "1.1.2.3", true},
        {"1,2,3,4", "1,2,3,5", false},  {"", "", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsOlderVersion(c.first, c.second), c.older) << c.first << " vs " << c.second;
}

TEST(VersionFields, ReadTheKindsFieldOrNothing) {
    const std::uint8_t package[] = {'z', 'y', 'q', 0x00, 0x22, 0x02, 0x04, 0x1A};
    auto read = [&](const char* kind, std::uint32_t available) {
        VersionField field = *VersionFieldOfKind(kind);
        std::uint32_t got = field.offset + field.width <= available ? field.width
                          : field.offset < available                ? available - field.offset
                                                                    : 0;
        return VersionFromField(package + field.offset, got, field);
    };
    EXPECT_EQ(read("pak", 8), 6660);
    EXPECT_EQ(read("rdw", 8), 1026);
    EXPECT_EQ(read("mzv", 8), 4);
    // Seven bytes: the 16-bit field at 6 is cut short, the others are whole.
    EXPECT_EQ(read("pak", 7), 0);
    EXPECT_EQ(read("mzv", 7), 4);
    EXPECT_EQ(read("rdw", 7), 1026);
    for (const char* kind : {"pak", "rdw", "mzv"}) EXPECT_EQ(read(kind, 6), 0) << kind;
    EXPECT_FALSE(VersionFieldOfKind("lng"));
    EXPECT_FALSE(VersionFieldOfKind("PAK"));
}

TEST(VersionedKinds, AreExactlyTheFourLowerCaseKinds) {
    for (const char* kind : {"pak", "mzv", "lng", "rdw"}) EXPECT_TRUE(IsVersionedKind(kind));
    for (const char* kind : {"PAK", "exe", "", "Pak", "dll"}) EXPECT_FALSE(IsVersionedKind(kind));
}

TEST(OlderVersionQuestion, NamesTheInstalledVersionFirstInBothLanguages) {
    MessageBoxCall russian = OlderVersionQuestion(true, L"C:\\Лексова\\voc.pak", "7", "5");
    // The path and the versions come from Windows, the words from the program.
    EXPECT_EQ(russian.text, "Устанавливаемый файл " + WideText(L"C:\\Лексова\\voc.pak") +
                                "\r\nболее старой версии, чем уже установленный.\r\n\r\n"
                                "Действительно ли Вы хотите заменить уже имеющийся\r\nфайл версии " +
                                SystemText("7") + " на более старый версии " + SystemText("5") + "?");
    EXPECT_EQ(russian.caption, "Резонный вопрос");
    EXPECT_TRUE(russian.extended);
    EXPECT_EQ(russian.languageId, 25);
    EXPECT_EQ(russian.flags, 0x00042024u);
    MessageBoxCall english = OlderVersionQuestion(false, L"C:\\Лексова\\voc.pak", "7", "5");
    EXPECT_EQ(english.text, WideText(L"C:\\Лексова\\voc.pak") +
                                " file installing is of older version\r\nthan the same already installed.\r\n\r\n"
                                "Do you really want to replace existing\r\nnew file version " +
                                SystemText("7") + " with an older file version " + SystemText("5") + "?");
    EXPECT_EQ(english.caption, "Sound question");
    EXPECT_FALSE(english.extended);
}

}  // namespace
}  // namespace kavrel
