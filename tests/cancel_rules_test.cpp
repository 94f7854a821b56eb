#include "base/cancel_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(CancelGate, APressStopsTheStepUntilTheReplaceHasHappened) {
    CancelGate gate;
    EXPECT_FALSE(gate.Requested());
    EXPECT_TRUE(gate.Request());
    EXPECT_TRUE(gate.Requested());
    // A second press changes nothing; the replace is not begun.
    EXPECT_TRUE(gate.Request());
    EXPECT_FALSE(gate.BeginCommit());
    EXPECT_TRUE(gate.Requested());
}

TEST(CancelGate, EachTryOfTheReplaceDecidesAPressThatCameDuringIt) {
    struct Case {
        const char* what;
        bool pressedDuringTry;
        bool replaced;
        bool stopsAfter;
        bool pressTakenAfter;
        CancelPhase after;
    };
    const Case cases[] = {
        {"a failed try, no press: a press is taken again", false, false, false, true, CancelPhase::Requested},
        {"a failed try during a press: the wait that follows stops", true, false, true, true,
         CancelPhase::Requested},
        {"replaced, no press: no press is taken any more", false, true, false, false, CancelPhase::Committed},
        {"replaced during a press: the press is too late", true, true, false, false, CancelPhase::Committed},
    };
    for (const Case& c : cases) {
        CancelGate gate;
        ASSERT_TRUE(gate.BeginCommit()) << c.what;
        EXPECT_EQ(gate.Phase(), CancelPhase::Committing) << c.what;
        if (c.pressedDuringTry) {
            EXPECT_TRUE(gate.Request()) << c.what;
            // Not yet: the try may still succeed.
            EXPECT_FALSE(gate.Requested()) << c.what;
            EXPECT_EQ(gate.Phase(), CancelPhase::CommittingRequested) << c.what;
        }
        EXPECT_EQ(gate.EndCommit(c.replaced), c.stopsAfter) << c.what;
        EXPECT_EQ(gate.Requested(), c.stopsAfter) << c.what;
        EXPECT_EQ(gate.Request(), c.pressTakenAfter) << c.what;
        EXPECT_EQ(gate.Phase(), c.after) << c.what;
        EXPECT_FALSE(gate.BeginCommit() && c.after != CancelPhase::Open) << c.what;
    }
}

// A press during a replace that then failed for good stops that write; the
// person's Retry in the failure box starts a new one, which runs.
TEST(CancelGate, APressCountsForTheAttemptItWasMadeIn) {
    CancelGate gate;
    ASSERT_TRUE(gate.BeginCommit());
    ASSERT_TRUE(gate.Request());
    EXPECT_TRUE(gate.EndCommit(false));
    gate.BeginAttempt();
    EXPECT_FALSE(gate.Requested());
    EXPECT_TRUE(gate.BeginCommit());
    // Pressed again in the new attempt: it counts.
    EXPECT_TRUE(gate.Request());
    EXPECT_TRUE(gate.EndCommit(false));
    // Once replaced, a new attempt changes nothing.
    CancelGate replaced;
    ASSERT_TRUE(replaced.BeginCommit());
    replaced.EndCommit(true);
    replaced.BeginAttempt();
    EXPECT_EQ(replaced.Phase(), CancelPhase::Committed);
}

TEST(CancelGate, EndingATryThatWasNeverBegunChangesNothing) {
    CancelGate open;
    EXPECT_FALSE(open.EndCommit(true));
    EXPECT_EQ(open.Phase(), CancelPhase::Open);
    CancelGate pressed;
    pressed.Request();
    EXPECT_TRUE(pressed.EndCommit(true));
    EXPECT_EQ(pressed.Phase(), CancelPhase::Requested);
}

TEST(CancelledByUser, IsADeclineWithTheStepAndThePercentageReached) {
    const Failure failure = CancelledByUser("write", 42);
    EXPECT_EQ(failure.cause, FailureCause::Cancelled);
    EXPECT_EQ(failure.step, "write");
    EXPECT_EQ(failure.what, "cancelled by the user at 42%");
    EXPECT_EQ(failure.origin, FailureOrigin::Installer);
    EXPECT_EQ(ExitCodeOf(failure), 1602u);
    EXPECT_EQ(CancelledByUser("self-check", -3).what, "cancelled by the user at 0%");
    EXPECT_EQ(CancelledByUser("self-check", 250).what, "cancelled by the user at 100%");
}

}  // namespace
}  // namespace kavrel
