#include "app/update_rules.h"

#include <gtest/gtest.h>

#include "base/setup_state.h"

namespace kavrel {
namespace {

// A state after the identity step, in one message language.
struct IdentifiedState : SetupState {
    explicit IdentifiedState(bool russian) {
        SetPackageIdentity(*this, {"\"Sonvela\" версии ", "zyq", 6660});
        RunIdentityStep(*this);
        useRussian = russian;
    }
};

TEST(Switches, QuietOnlyForTheWholeLoweredWord) {
    EXPECT_TRUE(IsQuietSwitch("modest"));
    for (const char* other : {"", "/modest", "-modest", "modest1", "MODEST", "modes"}) EXPECT_FALSE(IsQuietSwitch(other));
    EXPECT_TRUE(AsksToRunApp("runapp"));
    EXPECT_TRUE(AsksToRunApp("RunApp"));
    for (const char* other : {"", "run", "/runapp", "runapp "}) EXPECT_FALSE(AsksToRunApp(other));
}

TEST(InstanceProbe, ACopyExistsWhenTheMappingWasThereOrIsAnotherAccounts) {
    EXPECT_TRUE(InstanceProbeFindsCopy(true, 183));   // opened the application's mapping
    EXPECT_FALSE(InstanceProbeFindsCopy(true, 0));    // created it: nobody had it
    EXPECT_TRUE(InstanceProbeFindsCopy(false, 5));    // another account's mapping
    // Any other failure says nothing about a copy.
    for (std::uint32_t error : {0u, 6u, 8u, 183u, 1450u}) EXPECT_FALSE(InstanceProbeFindsCopy(false, error));
    EXPECT_FALSE(InstanceProbeFindsCopy(true, 5));
}

TEST(LongSteps, ShowTheProgressOfInteractiveRunsInTheMessageLanguage) {
    EXPECT_TRUE(ShowsProgress(""));
    EXPECT_TRUE(ShowsProgress("rstart"));
    EXPECT_FALSE(ShowsProgress("modest"));
    const ProgressTexts checking = LongStepTexts(IdentifiedState(false), LongStep::Checking);
    EXPECT_EQ(checking.caption, "Lexova update");
    EXPECT_EQ(checking.status, "Checking the installation package...");
    EXPECT_EQ(LongStepTexts(IdentifiedState(false), LongStep::Installing).status, "Installing the update...");
    const ProgressTexts installing = LongStepTexts(IdentifiedState(true), LongStep::Installing);
    EXPECT_EQ(installing.caption, "Обновление Lexova");
    EXPECT_EQ(installing.status, "Установка обновления...");
    EXPECT_EQ(LongStepTexts(IdentifiedState(true), LongStep::Checking).status, "Проверка пакета установки...");
}

TEST(Questions, ConfirmationInTheMessageLanguageWithTheRussianCaption) {
    MessageBoxCall english = ConfirmationQuestion(IdentifiedState(false));
    EXPECT_EQ(english.text, "Would you like to setup\r\nLexova update -\r\n\"Sonvela\" версии 6660?");
    EXPECT_EQ(english.caption, "Sound question");
    EXPECT_FALSE(english.extended);
    EXPECT_EQ(english.flags, 0x00042024u);

    MessageBoxCall russian = ConfirmationQuestion(IdentifiedState(true));
    EXPECT_EQ(russian.text, "Вы действительно хотите установить\r\nОбновление Lexova -\r\n\"Sonvela\" версии 6660?");
    EXPECT_EQ(russian.caption, "Резонный вопрос");
    EXPECT_TRUE(russian.extended);
    EXPECT_EQ(russian.languageId, 25);
}

TEST(Questions, FinalQuestionIsRussianWithTheEnglishTitleInBothLanguages) {
    for (bool useRussian : {false, true}) {
        MessageBoxCall final = FinalQuestion(IdentifiedState(useRussian));
        EXPECT_EQ(final.text,
                  "На Ваш компьютер установлено\r\nОбновление Lexova -\r\n\"Sonvela\" версии 6660\r\n\r\nЗапустить программу?");
        EXPECT_EQ(final.caption, "Lexova update");
        EXPECT_TRUE(final.extended);
        EXPECT_EQ(final.languageId, 25);
        EXPECT_EQ(final.flags, 0x00042024u);
    }
}

}  // namespace
}  // namespace kavrel
