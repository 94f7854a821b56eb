// The language support module over files in memory.
#include "lang/language_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "support/memory_files.h"

namespace kavrel {
namespace {

using testing::FileTable;
using testing::MemoryFile;
using testing::MemorySource;

class MemoryPlatform final : public LanguagePlatform {
public:
    // The tests' paths are ASCII.
    std::unique_ptr<ByteSource> FileAt(const std::wstring& path) override {
        return std::make_unique<MemorySource>(files, NarrowAscii(path));
    }
    bool FileExists(const std::wstring& path) override { return files.count(NarrowAscii(path)) > 0; }
    void ReportError(const Failure& failure) override {
        shown.push_back(LanguageFileErrorMessage(failure.subject).english.Bytes());
        errors.push_back(failure.windowsError);
    }

    FileTable files;
    std::vector<std::string> shown;
    // The Windows error each failure carries: the source's where it met one.
    std::vector<std::uint32_t> errors;
};

// Sections mostly end with a blank line; "both" runs into "twice".
const char* const kSelected =
    "; selected file\r\n"
    "[SoundQuest] the caption\r\n"
    "Question\r\n"
    "\r\n"
    " [blankbefore]\r\n"
    "selected, but no header\r\n"
    "\r\n"
    "[olderfilever]   \r\n"
    "  Older file: %1  \r\n"
    " second line \r\n"
    "   \r\n"
    "third line\r\n"
    "\r\n"
    "[emptyvalue]\r\n"
    "\r\n"
    "after the empty value\r\n"
    "\r\n"
    "[both]\r\n"
    "from the selected file\r\n"
    "[twice]\r\n"
    "%1 or %1\r\n"
    "\r\n"
    "[second]\r\n"
    "%2 alone\r\n";

const char* const kBaseRu =
    "[emptyvalue]\r\n"
    "из базового\r\n"
    "[blankbefore]\r\n"
    "из базового, пробел\r\n"
    "[both]\r\n"
    "из базового тоже\r\n"
    "[baselines]\r\n"
    "первая\r\n"
    "вторая\r\n"
    "\r\n"
    "не читается\r\n"
    "\r\n"
    "[basepath]\r\n"
    "файл %1 старше\r\n";

const char* const kBaseEn =
    "[emptyvalue]\n"
    "from the base\n"
    "[baselines]\n"
    "first\n"
    "second";

class LanguageLookup : public ::testing::Test {
protected:
    LanguageLookup() : module(setup, platform) {
        setup.installDir = L"C:\\App\\";
        setup.useRussian = true;
        Put("ru.lng", kBaseRu);
        Put("en.lng", kBaseEn);
        Put("de.lng", kSelected);
    }
    void Put(const std::string& name, std::string bytes) {
        auto file = std::make_shared<MemoryFile>();
        file->bytes = std::move(bytes);
        platform.files[Path(name)] = file;
    }
    static std::string Path(const std::string& name) { return "C:\\App\\language\\" + name; }
    MemoryFile& File(const std::string& name) { return *platform.files.at(Path(name)); }
    void Select(std::int32_t baseRu = 0, std::int32_t baseEn = 1) {
        ASSERT_TRUE(module.SelectLanguageFile({"ru.lng", "en.lng", "de.lng"}, baseRu, baseEn, 2, 0x0407));
        platform.shown.clear();
    }
    std::vector<std::string> Failures(const std::string& name, std::size_t times) {
        return std::vector<std::string>(times, "Can't handle the language support file " + name);
    }

    SetupState setup;
    MemoryPlatform platform;
    LanguageSupport module;
};

TEST_F(LanguageLookup, AnswersOneLineFromTheSelectedFileElseFromTheBaseFile) {
    Select();
    struct Case {
        const char* key;
        bool useRussian;
        const char* expected;
    };
    const Case cases[] = {
        {"soundquest", true, "Question"},
        {"both", true, "from the selected file"},
        {"emptyvalue", true, "из базового"},
        {"blankbefore", true, "из базового, пробел"},
        {"emptyvalue", false, "from the base"},
        {"missing", true, ""},
    };
    for (const Case& c : cases) {
        setup.useRussian = c.useRussian;
        module.multiLinePending = false;
        EXPECT_EQ(module.GetLanguageText(c.key).Bytes(), c.expected) << c.key;
        EXPECT_FALSE(File("ru.lng").open || File("en.lng").open) << c.key;
        EXPECT_TRUE(File("de.lng").open) << c.key;
    }
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(LanguageLookup, JoinsLinesUpToABlankLineKeepingTheirBlanks) {
    Select();
    EXPECT_EQ(module.GetLanguageLines("olderfilever", false).Bytes(), "  Older file: %1  \r\n second line ");
    EXPECT_EQ(module.GetLanguageLines("olderfilever", true).Bytes(), " second line ");
    EXPECT_EQ(module.GetLanguageLines("soundquest", true).Bytes(), "");
    // Only a blank line ends a section's lines: a header does not.
    EXPECT_EQ(module.GetLanguageLines("both", false).Bytes(), "from the selected file\r\n[twice]\r\n%1 or %1");
    // From the base file the first line stays, whatever was asked.
    EXPECT_EQ(module.GetLanguageLines("baselines", true).Bytes(), "первая\r\nвторая");
    setup.useRussian = false;
    EXPECT_EQ(module.GetLanguageLines("baselines", false).Bytes(), "first\r\nsecond");
    EXPECT_EQ(module.GetLanguageLines("missing", false).Bytes(), "");
    EXPECT_EQ(module.FormatLanguageMessage("twice", {"C:\\App\\x.lng"}, false).Bytes(), "C:\\App\\x.lng or C:\\App\\x.lng");
    EXPECT_EQ(module.FormatLanguageMessage("second", {"a", "b"}, false).Bytes(), "%2 alone");
    EXPECT_EQ(module.FormatLanguageMessage("olderfilever", {"C:\\x"}, true).Bytes(), " second line ");
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_FALSE(File("ru.lng").open || File("en.lng").open);
}

// A text says which file gave it: a base file's text is decoded from the
// code page of the base file's language, not from the selected file's.
TEST_F(LanguageLookup, TellsWhichFileAnswered) {
    Select();
    struct Case {
        const char* key;
        bool useRussian;
        bool lines;
        ShownText expected;
    };
    const Case cases[] = {
        {"soundquest", true, false, ShownText("Question", TextOrigin::LanguageFile)},
        {"both", false, false, ShownText("from the selected file", TextOrigin::LanguageFile)},
        {"emptyvalue", true, false, ShownText("из базового", TextOrigin::RussianBaseFile)},
        {"emptyvalue", false, false, ShownText("from the base", TextOrigin::EnglishBaseFile)},
        {"olderfilever", true, true, ShownText("  Older file: %1  \r\n second line ", TextOrigin::LanguageFile)},
        {"baselines", true, true, ShownText("первая\r\nвторая", TextOrigin::RussianBaseFile)},
        {"baselines", false, true, ShownText("first\r\nsecond", TextOrigin::EnglishBaseFile)},
        {"missing", true, true, ShownText()},
    };
    for (const Case& c : cases) {
        setup.useRussian = c.useRussian;
        module.multiLinePending = false;
        EXPECT_EQ(c.lines ? module.GetLanguageLines(c.key, false) : module.GetLanguageText(c.key), c.expected)
            << c.key << (c.useRussian ? " ru" : " en");
    }
    // A caption from the selected file and a text from the base file, with a
    // path from Windows put in: every piece keeps its own origin.
    setup.useRussian = true;
    EXPECT_EQ(module.GetLanguageText("soundquest"), ShownText("Question", TextOrigin::LanguageFile));
    EXPECT_EQ(module.FormatLanguageMessage("basepath", {SystemText("C:\\App\\x.lng")}, false),
              ShownText("файл ", TextOrigin::RussianBaseFile) + SystemText("C:\\App\\x.lng") +
                  ShownText(" старше", TextOrigin::RussianBaseFile));
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(LanguageLookup, OneLineFallsBackToAllLinesWhileAMultiLineLookupIsPending) {
    Select();
    // Pending from the start.
    EXPECT_EQ(module.GetLanguageText("baselines").Bytes(), "первая\r\nвторая");
    EXPECT_FALSE(module.multiLinePending);
    EXPECT_EQ(module.GetLanguageText("baselines").Bytes(), "первая");
    // A multi-line lookup answered by the selected file leaves it pending.
    EXPECT_EQ(module.GetLanguageLines("soundquest", false).Bytes(), "Question");
    EXPECT_TRUE(module.multiLinePending);
    EXPECT_EQ(module.GetLanguageText("baselines").Bytes(), "первая\r\nвторая");
    EXPECT_FALSE(File("ru.lng").open);
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(LanguageLookup, ReopensTheSelectedFileAtItsFirstLineForEveryLookup) {
    Select();
    EXPECT_EQ(File("de.lng").opens, 1);
    EXPECT_EQ(module.GetLanguageText("both").Bytes(), "from the selected file");
    EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "Question");
    EXPECT_EQ(File("de.lng").opens, 3);
    EXPECT_TRUE(File("de.lng").open);
    module.ShutDown();
    EXPECT_FALSE(File("de.lng").open);
    EXPECT_TRUE(module.languageFileNames.empty());
}

TEST_F(LanguageLookup, ReportsASelectedFileThatCannotBeOpenedWithoutFallingBack) {
    Select();
    File("de.lng").locked = true;
    EXPECT_EQ(module.GetLanguageText("emptyvalue").Bytes(), "");
    EXPECT_EQ(platform.shown, Failures("de.lng", 1));
    EXPECT_EQ(File("ru.lng").opens, 0);
    // The continuation read fails too: a second message, and a lone line end.
    platform.shown.clear();
    EXPECT_EQ(module.GetLanguageLines("soundquest", false).Bytes(), "\r\n");
    EXPECT_EQ(platform.shown, Failures("de.lng", 2));
    platform.shown.clear();
    EXPECT_EQ(module.FormatLanguageMessage("olderfilever", {"x"}, true).Bytes(), "");
    EXPECT_EQ(platform.shown, Failures("de.lng", 2));
}

TEST_F(LanguageLookup, ReportsAFailedReadAndKeepsWhatWasReadBeforeIt) {
    Select();
    const std::string selected = kSelected;
    File("de.lng").failAt = selected.find("   \r\nthird");
    EXPECT_EQ(module.GetLanguageLines("olderfilever", false).Bytes(), "  Older file: %1  \r\n second line \r\n");
    EXPECT_EQ(platform.shown, Failures("de.lng", 1));
    EXPECT_EQ(platform.errors, std::vector<std::uint32_t>{23});
    EXPECT_FALSE(File("de.lng").open);

    platform.shown.clear();
    File("de.lng").failAt = std::string::npos;
    const std::string baseRu = kBaseRu;
    File("ru.lng").failAt = baseRu.find("вторая");
    EXPECT_EQ(module.GetLanguageLines("baselines", false).Bytes(), "первая\r\n");
    EXPECT_EQ(platform.shown, Failures("ru.lng", 1));
    EXPECT_FALSE(File("ru.lng").open);

    // A base file failing in its first line: its continuation read fails as well.
    platform.shown.clear();
    File("ru.lng").locked = true;
    platform.errors.clear();
    EXPECT_EQ(module.GetLanguageLines("baselines", false).Bytes(), "\r\n");
    EXPECT_EQ(platform.shown, Failures("ru.lng", 2));
    EXPECT_EQ(platform.errors, (std::vector<std::uint32_t>{32, 32}));
    platform.shown.clear();
    module.multiLinePending = false;
    setup.useRussian = false;
    platform.files.erase(Path("en.lng"));
    EXPECT_EQ(module.GetLanguageText("emptyvalue").Bytes(), "");
    EXPECT_EQ(platform.shown, Failures("en.lng", 1));
}

TEST_F(LanguageLookup, IndicesOutsideTheTableGiveTheBuiltInTexts) {
    // Nothing selected, as at load.
    EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "");
    EXPECT_EQ(module.GetLanguageLines("soundquest", false).Bytes(), "");
    EXPECT_EQ(module.FormatLanguageMessage("olderfilever", {"x"}, false).Bytes(), "");
    Select();
    setup.languageFileIndex = 3;
    EXPECT_EQ(module.GetLanguageLines("soundquest", false).Bytes(), "");
    EXPECT_EQ(File("de.lng").opens, 1);
    // No base files: a key missing from the selected file gives nothing, and
    // the lines after an empty value are not taken for its continuation.
    Select(-1, 7);
    for (bool useRussian : {true, false}) {
        setup.useRussian = useRussian;
        EXPECT_EQ(module.GetLanguageText("emptyvalue").Bytes(), "");
        EXPECT_EQ(module.GetLanguageLines("emptyvalue", false).Bytes(), "");
        EXPECT_EQ(module.GetLanguageLines("emptyvalue", true).Bytes(), "");
        EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "Question");
    }
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(LanguageLookup, SelectionFailsForAnUnknownIndexOrAnUnreadableFile) {
    EXPECT_FALSE(module.SelectLanguageFile({"ru.lng"}, 0, 0, 1, 0x0407));
    EXPECT_TRUE(platform.shown.empty());
    Select();
    EXPECT_EQ(setup.languageFileIndex, 2);
    EXPECT_EQ(setup.messageLangId, 0x0407);
    // A failed selection leaves none behind, not the one before it.
    File("de.lng").locked = true;
    EXPECT_FALSE(module.SelectLanguageFile({"ru.lng", "en.lng", "de.lng"}, 0, 1, 2, 0x0419));
    EXPECT_EQ(platform.shown, Failures("de.lng", 1));
    EXPECT_EQ(setup.languageFileIndex, -1);
    EXPECT_FALSE(File("de.lng").open);
    EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "");
    EXPECT_EQ(platform.shown.size(), 1u);
}

TEST_F(LanguageLookup, EmptyFilesGiveEmptyTexts) {
    for (const char* name : {"ru.lng", "en.lng", "de.lng"}) Put(name, "");
    Select();
    EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "");
    EXPECT_EQ(module.GetLanguageText("soundquest").Bytes(), "");
    EXPECT_EQ(module.GetLanguageLines("olderfilever", false).Bytes(), "");
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(LanguageLookup, ReadsTheVersionSectionOrTheLastLine) {
    struct Case {
        const char* bytes;  // nullptr: no file
        std::int32_t version;
        bool message;
    };
    const Case cases[] = {
        {"[LangVer]\r\n12\r\n[other]\r\n3\r\n", 12, false},
        {"; remark\r\n[langver] version\r\n  12\r\n", 12, false},
        {"[langver]\r\n$1F", 31, false},
        {"[langver]\r\n12 \r\n", 0, true},
        {"[langver]\r\n\t12\r\n", 0, true},
        {"[langver]\r\n\r\n7\r\n", 0, true},
        {"[langver]", 0, true},
        {nullptr, 0, false},
        {"[other]\r\nx\r\n7\r\n", 7, false},
        {"7\r\n\r\n", 0, true},
        {" [langver]\r\n12\r\n[x]", 0, true},
        {"", 0, true},
    };
    for (const Case& c : cases) {
        platform.shown.clear();
        platform.files.erase(Path("v.lng"));
        if (c.bytes) Put("v.lng", c.bytes);
        EXPECT_EQ(module.ReadLanguageFileVersion(WideFromAscii(Path("v.lng"))), c.version) << (c.bytes ? c.bytes : "no file");
        EXPECT_EQ(platform.shown, Failures(Path("v.lng"), c.message ? 1 : 0)) << (c.bytes ? c.bytes : "no file");
        if (c.bytes) {
            EXPECT_FALSE(File("v.lng").open);
        }
    }
    platform.shown.clear();
    Put("v.lng", "[langver]\r\n12\r\n");
    File("v.lng").failAt = 11;
    EXPECT_EQ(module.ReadLanguageFileVersion(WideFromAscii(Path("v.lng"))), 0);
    File("v.lng").failAt = 3;
    EXPECT_EQ(module.ReadLanguageFileVersion(WideFromAscii(Path("v.lng"))), 0);
    File("v.lng").locked = true;
    EXPECT_EQ(module.ReadLanguageFileVersion(WideFromAscii(Path("v.lng"))), 0);
    EXPECT_EQ(platform.shown, Failures(Path("v.lng"), 3));
    EXPECT_FALSE(File("v.lng").open);
}

}  // namespace
}  // namespace kavrel
