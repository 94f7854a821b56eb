#include "lang/language_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/memory_files.h"

namespace kavrel {
namespace {

using testing::MemoryFile;
using testing::MemorySource;

TEST(LanguageHeader, MatchesTheKeyRightAfterTheBracketInAnyLetterCase) {
    struct Case {
        const char* line;
        const char* key;
        bool header;
    };
    const Case cases[] = {
        {"[soundquest]", "soundquest", true},
        {"[SoundQuest]", "soundquest", true},
        {"[langver]", "LangVer", true},
        {"[soundquest]   ", "soundquest", true},
        {"[soundquest]\t\x01", "soundquest", true},
        {"[soundquest] ; the caption", "soundquest", true},
        {"[soundquest]soundquest]", "soundquest", true},
        {" [soundquest]", "soundquest", false},
        {"\t[soundquest]", "soundquest", false},
        {"[ soundquest]", "soundquest", false},
        {"[soundquest ]", "soundquest", false},
        {"[soundquest", "soundquest", false},
        {"[soundquestion]", "soundquest", false},
        {"[sound]", "soundquest", false},
        {"soundquest]", "soundquest", false},
        {"", "soundquest", false},
        {"[", "", false},
        {"[]", "", true},
        {"[ключ]", "ключ", true},
        // Only A-Z are lowered: Cyrillic capitals stay apart.
        {"[КЛЮЧ]", "ключ", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsHeaderFor(c.line, c.key), c.header) << c.line << " / " << c.key;
}

TEST(LanguagePlaceholders, ReplaceEachInTurnWhileThePreviousWasPresent) {
    struct Case {
        const char* text;
        std::vector<std::string> arguments;
        const char* expected;
    };
    const Case cases[] = {
        {"Replace %1 with %1?", {"C:\\a.lng"}, "Replace C:\\a.lng with C:\\a.lng?"},
        {"only %2 here", {"one", "two"}, "only %2 here"},
        {"%1 and %3", {"a", "b", "c"}, "a and %3"},
        {"%4%3%2%1", {"a", "b", "c", "d"}, "dcba"},
        // Beyond the arguments given a placeholder stays as written.
        {"%1 %2", {"a"}, "a %2"},
        // A "%2" brought in by the first argument is replaced next...
        {"%1", {"%2", "b"}, "b"},
        // ...but an argument is never searched for its own placeholder.
        {"%1", {"%1%1"}, "%1%1"},
        {"%1 %5", {"a", "b", "c", "d", "e"}, "a %5"},
        {"no placeholder", {"a"}, "no placeholder"},
        {"", {"a"}, ""},
    };
    for (const Case& c : cases) {
        std::vector<ShownText> arguments;
        for (const std::string& argument : c.arguments) arguments.push_back(SystemText(argument));
        EXPECT_EQ(ReplacePlaceholders(LanguageFileText(c.text), arguments).Bytes(), c.expected) << c.text;
    }
}

TEST(LanguagePlaceholders, EachPieceKeepsItsOrigin) {
    // The file's words in its language's code page, the path in the system's.
    EXPECT_EQ(ReplacePlaceholders(LanguageFileText("Файл %1 новее"), {SystemText("C:\\Temp\\a.pak")}),
              LanguageFileText("Файл ") + SystemText("C:\\Temp\\a.pak") + LanguageFileText(" новее"));
    // A placeholder brought in by an argument takes the origin of its own argument.
    EXPECT_EQ(ReplacePlaceholders(LanguageFileText("[%1]"), {SystemText("%2"), ProgramText("b")}),
              LanguageFileText("[") + ProgramText("b") + LanguageFileText("]"));
}

TEST(LanguageErrorMessage, NamesTheFileInBothLanguages) {
    MessagePair message = LanguageFileErrorMessage(SystemText("deutsch.lng"));
    EXPECT_EQ(message.english, "Can't handle the language support file " + SystemText("deutsch.lng"));
    EXPECT_EQ(message.russian, "Не удаётся работать с файлом языковой поддержки " + SystemText("deutsch.lng"));
}

// Every line up to the end, each followed by "|" when the end was reached after it.
std::string ReadAll(TextFileReader& reader) {
    std::string seen;
    for (int guard = 0; guard < 100; ++guard) {
        std::optional<std::string> line = reader.ReadLine();
        if (!line) return seen + "<failed>";
        seen += "<" + *line + ">";
        std::optional<bool> atEnd = reader.AtEnd();
        if (!atEnd) return seen + "<failed>";
        if (*atEnd) return seen + "|";
    }
    return seen + "<endless>";
}

TEST(LanguageTextReader, SplitsLinesDropsCarriageReturnsAndStopsAtCtrlZ) {
    struct Case {
        std::string bytes;
        std::string lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", "<a><b>|"},
        {"a\nb", "<a><b>|"},
        {"a\rb\r\n", "<ab>|"},
        {"a\r\r\n\r\nb", "<a><><b>|"},
        {"  a  \r\n\r\n", "<  a  ><>|"},
        {"\r", "<>|"},
        {"", "<>|"},
        {"a\x1a" "b\r\nc", "<a>|"},
        {"a\r\n\x1a" "b", "<a>|"},
        {std::string("a\0b\n", 4), std::string("<a\0b>|", 6)},
        {std::string(5000, 'x') + "\r\ny", "<" + std::string(5000, 'x') + "><y>|"},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{1} << 20}) {
            TextFileReader reader;
            reader.Attach(std::make_unique<MemorySource>(MemoryFile{.bytes = c.bytes, .chunk = chunk}));
            ASSERT_TRUE(reader.Open());
            EXPECT_EQ(ReadAll(reader), c.lines) << "chunk " << chunk;
            // Past the end of the text every line is empty.
            EXPECT_EQ(reader.ReadLine(), std::string());
            EXPECT_EQ(reader.AtEnd(), true);
        }
    }
}

TEST(LanguageTextReader, FailsWhenNotOpenOrAReadFailsAndStartsAgainOnOpen) {
    TextFileReader reader;
    EXPECT_FALSE(reader.Open());
    EXPECT_EQ(reader.ReadLine(), std::nullopt);
    EXPECT_EQ(reader.AtEnd(), std::nullopt);

    reader.Attach(std::make_unique<MemorySource>(MemoryFile{.bytes = "first\r\nsecond\r\n", .chunk = 7, .failAt = 7}));
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.ReadLine(), "first");
    // The read ahead of the end test reaches the failing byte.
    EXPECT_EQ(reader.AtEnd(), std::nullopt);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.ReadLine(), "first");
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.ReadLine(), std::nullopt);
}

}  // namespace
}  // namespace kavrel
