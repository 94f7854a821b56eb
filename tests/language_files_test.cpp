// The language support module over real files in a folder of the test's
// own: CRLF line ends, Windows-1251 Russian texts, and files held open by
// another handle without sharing.
#include "lang/language_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/setup_state.h"
#include "base/text.h"
#include "base/text_decoding.h"
#include "lang/messages.h"
#include "platform/unique_handle.h"
#include "support/win_test_support.h"

namespace kavrel {
namespace {

const std::vector<std::string> kNames = {"russian.lng", "english.lng", "deutsch.lng"};

// Longer than the reader's buffer, so a lookup takes several reads.
const std::string kLongRemark = "; " + std::string(6000, '=') + "\r\n";

class LanguageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        SetupState& state = CurrentSetup();
        SetPackageIdentity(state, {"\"Sonvela\" версии ", "zyq", 6660});
        RunIdentityStep(state);
        savedInstallDir_ = state.installDir;
        savedUseRussian_ = state.useRussian;
        folder_ = testing::UniqueTempName("kavrel_language") + "\\";
        ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Folder().c_str(), nullptr));
        state.installDir = WideFromAscii(folder_);
        Write("russian.lng", "[olderfilever]\r\nФайл %1 новее.\r\nЗаменить его?\r\n\r\n");
        Write("english.lng", "[olderfilever]\r\nFile %1 is newer.\r\nReplace it?\r\n");
        Write("deutsch.lng", kLongRemark + "[SoundQuest]\r\nFrage\r\n\r\n[ctrlz]\r\nvor\rher\x1a" "danach\r\n");
        SetMessageBoxHandler([this](const MessageBoxCall& call) {
            shown.push_back(call);
            return IDOK;
        });
        TakeLanguageFileErrors();
        LanguageModule().multiLinePending = true;
    }

    void TearDown() override {
        ShutDownLanguageFiles();
        SetMessageBoxHandler(nullptr);
        SetupState& state = CurrentSetup();
        state.languageFileIndex = -1;
        state.messageLangId = 0xFFFF;
        state.installDir = savedInstallDir_;
        state.useRussian = savedUseRussian_;
        for (const std::string& path : written_) ::DeleteFileA(path.c_str());
        ::RemoveDirectoryA(Folder().c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }

    std::string Folder() const { return folder_ + "language\\"; }

    void Write(const std::string& name, const std::string& bytes) {
        const std::string path = Folder() + name;
        ASSERT_TRUE(testing::WriteWholeFile(path, bytes));
        written_.push_back(path);
    }

    // Holds the file open, sharing it with nobody.
    UniqueHandle Lock(const std::string& name) const {
        UniqueHandle file(::CreateFileA((Folder() + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file);
        return file;
    }

    // The module shows nothing itself: it leaves the messages for the
    // update flow, which shows them as bilingual error boxes.
    void ExpectReportedFailures(bool russian, const ShownText& name, std::size_t count) {
        EXPECT_TRUE(shown.empty());
        const std::vector<Failure> reported = TakeLanguageFileErrors();
        ASSERT_EQ(reported.size(), count);
        for (const Failure& failure : reported) {
            const MessagePair message = LanguageFileErrorMessage(failure.subject);
            EXPECT_EQ(russian ? message.russian : message.english,
                      russian ? "Не удаётся работать с файлом языковой поддержки " + name
                              : "Can't handle the language support file " + name);
        }
    }

    std::vector<MessageBoxCall> shown;

private:
    std::string folder_;
    std::wstring savedInstallDir_;
    bool savedUseRussian_ = false;
    std::vector<std::string> written_;
};

TEST_F(LanguageFiles, AnswerFromTheSelectedFileElseFromTheBaseFileOfTheMessageLanguage) {
    ASSERT_TRUE(LanguageModule().SelectLanguageFile(kNames, 0, 1, 2, 0x0407));
    EXPECT_EQ(CurrentSetup().languageFileIndex, 2);
    EXPECT_EQ(CurrentSetup().messageLangId, 0x0407);
    const std::string target = "C:\\Kavrel\\language\\deutsch.lng";
    CurrentSetup().useRussian = true;
    EXPECT_EQ(LanguageModule().GetLanguageText("soundquest").Bytes(), "Frage");
    EXPECT_EQ(LanguageModule().GetLanguageText("ctrlz").Bytes(), "vorher");
    // The German file lacks the text: the Russian base file gives it, and its
    // pieces are decoded from 1251 while the German caption's are from 1252.
    const ShownText fromBase = LanguageModule().FormatLanguageMessage("olderfilever", {SystemText(target)}, false);
    EXPECT_EQ(fromBase, ShownText("Файл ", TextOrigin::RussianBaseFile) + SystemText(target) +
                            ShownText(" новее.\r\nЗаменить его?", TextOrigin::RussianBaseFile));
    EXPECT_EQ(DecodeShownText(fromBase, LanguageCodePage(0x0407)),
              L"Файл " + DecodeBytes(target, CP_ACP) + L" новее.\r\nЗаменить его?");
    EXPECT_EQ(LanguageModule().GetLanguageText("soundquest"), LanguageFileText("Frage"));
    CurrentSetup().useRussian = false;
    EXPECT_EQ(LanguageModule().FormatLanguageMessage("olderfilever", {SystemText(target)}, false),
              ShownText("File ", TextOrigin::EnglishBaseFile) + SystemText(target) +
                  ShownText(" is newer.\r\nReplace it?", TextOrigin::EnglishBaseFile));
    EXPECT_TRUE(shown.empty() && TakeLanguageFileErrors().empty());
    // The selected file stays open between lookups, until the module shuts down.
    EXPECT_FALSE(::DeleteFileA((Folder() + "deutsch.lng").c_str()));
    ShutDownLanguageFiles();
    EXPECT_TRUE(::DeleteFileA((Folder() + "deutsch.lng").c_str()));
    EXPECT_EQ(LanguageModule().GetLanguageText("soundquest").Bytes(), "");
    EXPECT_TRUE(shown.empty() && TakeLanguageFileErrors().empty());
}

TEST_F(LanguageFiles, ReportABaseFileHeldOpenElsewhereInTheMessageLanguage) {
    ASSERT_TRUE(LanguageModule().SelectLanguageFile(kNames, 0, 1, 2, 0x0407));
    for (bool russian : {true, false}) {
        CurrentSetup().useRussian = russian;
        const std::string name = russian ? "russian.lng" : "english.lng";
        UniqueHandle lock = Lock(name);
        LanguageModule().multiLinePending = false;
        EXPECT_EQ(LanguageModule().GetLanguageText("olderfilever").Bytes(), "");
        ExpectReportedFailures(russian, SystemText(name), 1);
        // The continuation read of the failed base file fails as well.
        EXPECT_EQ(LanguageModule().GetLanguageLines("olderfilever", false).Bytes(), "\r\n");
        ExpectReportedFailures(russian, SystemText(name), 2);
    }
}

TEST_F(LanguageFiles, ReportASelectedFileHeldOpenElsewhereAndKeepTheBuiltInTexts) {
    CurrentSetup().useRussian = true;
    {
        UniqueHandle lock = Lock("deutsch.lng");
        EXPECT_FALSE(LanguageModule().SelectLanguageFile(kNames, 0, 1, 2, 0x0407));
    }
    ExpectReportedFailures(true, SystemText("deutsch.lng"), 1);
    EXPECT_EQ(CurrentSetup().languageFileIndex, -1);
    EXPECT_EQ(LanguageModule().GetLanguageText("soundquest").Bytes(), "");
    EXPECT_TRUE(shown.empty() && TakeLanguageFileErrors().empty());
}

TEST_F(LanguageFiles, ReadTheVersionOfALanguageFile) {
    CurrentSetup().useRussian = false;
    Write("v12.lng", "; Deutsch\r\n[LangVer]\r\n  12\r\n");
    Write("v7.lng", "[other]\r\nx\r\n7\r\n");
    Write("trailing.lng", "[langver]\r\n12 \r\n");
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder() + "v12.lng")), 12);
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder() + "v7.lng")), 7);
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder() + "missing.lng")), 0);
    // A folder is no file.
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder())), 0);
    EXPECT_TRUE(shown.empty() && TakeLanguageFileErrors().empty());
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder() + "trailing.lng")), 0);
    ExpectReportedFailures(false, WideText(WideFromAscii(Folder() + "trailing.lng")), 1);
    UniqueHandle lock = Lock("v12.lng");
    EXPECT_EQ(LanguageModule().ReadLanguageFileVersion(WideFromAscii(Folder() + "v12.lng")), 0);
    ExpectReportedFailures(false, WideText(WideFromAscii(Folder() + "v12.lng")), 1);
}

// Whatever the system's code page, each piece reads as what it stands for:
// a Ukrainian file in 1251 and a German one in 1252 (one of the two always
// differs from the system's), the program's own words in 1251.
TEST(LanguageFileTexts, AreDecodedFromTheCodePageOfTheirLanguage) {
    EXPECT_EQ(LanguageCodePage(0x0422), 1251u);
    EXPECT_EQ(LanguageCodePage(0x0419), 1251u);
    EXPECT_EQ(LanguageCodePage(0x0407), 1252u);
    EXPECT_EQ(LanguageCodePage(0x0409), 1252u);
    EXPECT_EQ(LanguageCodePage(0xFFFF), kSystemCodePage);
    const ShownText ukrainian = LanguageFileText("\xCF\xE8\xF2\xE0\xED\xED\xFF") + " - " + ProgramText("\xC2\xE0\xF8");
    EXPECT_EQ(DecodeShownText(ukrainian, LanguageCodePage(0x0422)), L"\u041F\u0438\u0442\u0430\u043D\u043D\u044F - \u0412\u0430\u0448");
    EXPECT_EQ(DecodeShownText(LanguageFileText("Gr\xF6\xDF" "e"), LanguageCodePage(0x0407)), L"Gr\u00F6\u00DF" L"e");
    // A path from Windows is in the system's code page, whatever the file's language.
    const std::string path = "C:\\Kavrel \xE4";
    EXPECT_EQ(DecodeShownText(SystemText(path), 1251), DecodeBytes(path, CP_ACP));
}

}  // namespace
}  // namespace kavrel
