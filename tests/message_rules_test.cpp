#include "lang/message_rules.h"

#include <gtest/gtest.h>

#include "base/setup_state.h"

namespace kavrel {
namespace {

TEST(BilingualMessage, ShowsOnlyTheSelectedLanguageWithItsCaption) {
    MessageBoxCall russian = BilingualMessageCall(true, "No access", "Нет доступа", "Lexova update", "Обновление Lexova");
    EXPECT_EQ(russian.text, "Нет доступа");
    EXPECT_EQ(russian.caption, "Обновление Lexova");
    EXPECT_EQ(russian.flags, 0x00200010u);
    EXPECT_TRUE(russian.extended);
    EXPECT_EQ(russian.languageId, 25);

    MessageBoxCall english = BilingualMessageCall(false, "No access", "Нет доступа", "Lexova update", "Обновление Lexova");
    EXPECT_EQ(english.text, "No access");
    EXPECT_EQ(english.caption, "Lexova update");
    EXPECT_EQ(english.flags, 0x00200010u);
    EXPECT_FALSE(english.extended);

    EXPECT_EQ(BilingualMessageCall(false, "", "x", "Lexova update", "").text, "");
}

TEST(Question, UsesTheQuestionFlagsAndTheBranchsLanguageId) {
    MessageBoxCall russian = QuestionCall(QuestionLanguage::Russian, "Вопрос?", "Резонный вопрос");
    EXPECT_EQ(russian.flags, 0x00042024u);
    EXPECT_TRUE(russian.extended);
    EXPECT_EQ(russian.languageId, 25);
    MessageBoxCall english = QuestionCall(QuestionLanguage::English, "Question?", "Sound question");
    EXPECT_EQ(english.flags, 0x00042024u);
    EXPECT_FALSE(english.extended);
    MessageBoxCall fromFile = QuestionCall(QuestionLanguage::LanguageFile, "Q", "C", 0x0422);
    EXPECT_TRUE(fromFile.extended);
    EXPECT_EQ(fromFile.languageId, 0x0422);
}

TEST(Question, CountsOnlyIdYesAsYes) {
    EXPECT_TRUE(IsYesAnswer(6));
    for (int answer : {0, 1, 2, 7, -1}) EXPECT_FALSE(IsYesAnswer(answer));
}

TEST(IdentityStep, DerivesNamesTitlesAndTheCaption) {
    SetupState state;
    EXPECT_TRUE(state.appName.empty());
    EXPECT_TRUE(state.packageCaption.empty());
    SetPackageIdentity(state, {"\"Sonvela\" версии ", "zyq", 6660});
    EXPECT_EQ(RunIdentityStep(state), "zyq.pak");
    EXPECT_EQ(state.appName, "Kavrel");
    EXPECT_EQ(state.titleRu, "Обновление Lexova");
    EXPECT_EQ(state.titleEn, "Lexova update");
    EXPECT_EQ(state.packageVersionText, "6660");
    EXPECT_EQ(state.packageCaption, "\"Sonvela\" версии 6660");
}

}  // namespace
}  // namespace kavrel
