#include "lang/message_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "base/setup_state.h"
#include "platform/window_station_rules.h"

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

TEST(UnseenBox, OnlyAStationWithTheVisibleFlagOutsideSessionZeroHidesBoxesFromNobody) {
    struct Case {
        bool queried;
        std::uint32_t flags;
        bool sessionQueried;
        std::uint32_t session;
        bool visible;
    };
    const Case cases[] = {
        {true, 0x0001, true, 1, true},    // WinSta0 of a signed-in user
        {true, 0x0003, true, 2, true},    // other bits beside WSF_VISIBLE, another user's session
        {true, 0x0000, true, 1, false},   // a service's station
        {true, 0x0002, true, 1, false},
        {true, 0x0001, true, 0, false},   // session 0's own WinSta0: "PsExec -s -i 0"
        {true, 0x0000, true, 0, false},   // a deployment tool as SYSTEM
        {false, 0x0000, true, 0, false},  // the station unknown, but in session 0
        // Not known: the run does what it always did.
        {false, 0x0000, true, 1, true},
        {true, 0x0001, false, 0, true},
        {false, 0x0000, false, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsVisibleStation(c.queried, c.flags, c.sessionQueried, c.session), c.visible)
            << c.queried << " " << c.flags << " " << c.sessionQueried << " " << c.session;
}

TEST(UnseenBox, GoesToEveryActiveSession) {
    using Ids = std::vector<std::uint32_t>;
    // Services (disconnected: 4), the console (active), a remote desktop (active), a listener (6).
    const std::vector<SessionFacts> listed = {{0, 4}, {1, 0}, {3, 0}, {65536, 6}};
    EXPECT_EQ(SessionsToTell(listed, 1u), (Ids{1, 3}));
    // Nobody signed in: nobody to tell, the console's session is not active either.
    EXPECT_EQ(SessionsToTell({{0, 4}, {1, 1}}, 1u), Ids{});
    // A system that lists nothing: the console's session, when there is one.
    EXPECT_EQ(SessionsToTell({}, 2u), (Ids{2}));
    EXPECT_EQ(SessionsToTell({}, std::nullopt), Ids{});
}

TEST(UnseenBox, EveryBoxOfTheInstallerGoesWhereItCanBeReadOrIsNotAsked) {
    struct Case {
        const char* box;
        bool visible;
        std::uint32_t flags;
        BoxRoute route;
        int answer;
        std::uint32_t sessionStyle;
    };
    const Case cases[] = {
        // Where a user sees the station, every box is shown and answered by the user.
        {"error", true, kErrorBoxFlags, BoxRoute::Shown, 0, 0},
        {"failed write, retry offered", true, kRetryErrorBoxFlags, BoxRoute::Shown, 0, 0},
        {"question", true, kQuestionFlags, BoxRoute::Shown, 0, 0},
        // Nobody sees it: a message reaches the user's session and counts as
        // OK; the icon goes with it, without MB_SERVICE_NOTIFICATION.
        {"error", false, kErrorBoxFlags, BoxRoute::SentToUserSession, 1, 0x10},
        // A failed write: the user learns of it; nobody retries, so Cancel.
        {"failed write, retry offered", false, kRetryErrorBoxFlags, BoxRoute::SentToUserSession, 2, 0x10},
        // A question nobody can answer is not asked.
        {"question", false, kQuestionFlags, BoxRoute::Withheld, kNoOneAnswered, 0},
        // Buttons the installer never uses: not asked either.
        {"OK/Cancel", false, 0x00000031, BoxRoute::Withheld, kNoOneAnswered, 0},
        {"Yes/No/Cancel", false, 0x00000023, BoxRoute::Withheld, kNoOneAnswered, 0},
        {"plain message", false, 0x00000000, BoxRoute::SentToUserSession, 1, 0},
        {"warning", false, 0x00000030, BoxRoute::SentToUserSession, 1, 0x30},
    };
    for (const Case& c : cases) {
        const BoxHandling handling = HandlingOfBox(c.visible, c.flags);
        SCOPED_TRACE(std::string(c.box) + (c.visible ? ", visible" : ", unseen"));
        EXPECT_EQ(handling.route, c.route);
        if (c.route == BoxRoute::Shown) continue;
        EXPECT_EQ(handling.answer, c.answer);
        EXPECT_EQ(handling.sessionStyle, c.sessionStyle);
    }
}

TEST(UnseenBox, AQuestionNobodyAnsweredIsNeitherYesNorAnyButton) {
    EXPECT_FALSE(IsYesAnswer(kNoOneAnswered));
    EXPECT_TRUE(NoOneAnswered(kNoOneAnswered));
    // IDOK, IDCANCEL, IDRETRY, IDYES, IDNO, and 0 for a box that did not appear.
    for (int answer : {0, 1, 2, 4, 6, 7}) EXPECT_FALSE(NoOneAnswered(answer)) << answer;
    // The answers of an unseen box: a retry is never made, yes never given.
    EXPECT_NE(HandlingOfBox(false, kRetryErrorBoxFlags).answer, kIdRetry);
    EXPECT_FALSE(IsYesAnswer(HandlingOfBox(false, kQuestionFlags).answer));
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
