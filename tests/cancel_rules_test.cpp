#include "base/cancel_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(CancelGate, APressIsTakenOnlyWhileAStepRunsAndStopsItUntilTheReplaceHasHappened) {
    CancelGate gate;
    // No step yet: nothing to stop.
    EXPECT_FALSE(gate.Request());
    EXPECT_FALSE(TakesPress(gate.Phase()));
    gate.Open();
    EXPECT_TRUE(TakesPress(gate.Phase()));
    EXPECT_FALSE(gate.Requested());
    EXPECT_TRUE(gate.Request());
    EXPECT_TRUE(gate.Requested());
    // Taken once: the button goes, a second press changes nothing, the replace is not begun.
    EXPECT_FALSE(TakesPress(gate.Phase()));
    EXPECT_TRUE(gate.Request());
    EXPECT_FALSE(gate.BeginCommit());
    EXPECT_TRUE(gate.Requested());
    // The step is over.
    gate.Close();
    EXPECT_FALSE(gate.Request());
    EXPECT_FALSE(gate.Requested());
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
        gate.Open();
        ASSERT_TRUE(gate.BeginCommit()) << c.what;
        EXPECT_EQ(gate.Phase(), CancelPhase::Committing) << c.what;
        // The try may still fail and be waited on: the button stays.
        EXPECT_TRUE(TakesPress(gate.Phase())) << c.what;
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
        EXPECT_EQ(gate.BeginCommit(), c.after != CancelPhase::Requested) << c.what;
    }
}

// A press during a replace that then failed for good stops that write; a
// write that failed otherwise is asked about with no press taken, and the
// person's Retry starts a new try, which runs.
TEST(CancelGate, APressCountsForTheTryItWasMadeIn) {
    CancelGate gate;
    gate.Open();
    ASSERT_TRUE(gate.BeginCommit());
    ASSERT_TRUE(gate.Request());
    EXPECT_TRUE(gate.EndCommit(false));
    gate.FailTry();
    EXPECT_EQ(gate.Phase(), CancelPhase::Failed);
    EXPECT_FALSE(gate.Request());
    gate.Open();
    EXPECT_FALSE(gate.Requested());
    EXPECT_TRUE(gate.BeginCommit());
    // Pressed again in the new try: it counts.
    EXPECT_TRUE(gate.Request());
    EXPECT_TRUE(gate.EndCommit(false));
    // Once replaced, neither a failure nor a new try changes anything.
    CancelGate replaced;
    replaced.Open();
    ASSERT_TRUE(replaced.BeginCommit());
    replaced.EndCommit(true);
    replaced.FailTry();
    replaced.Open();
    EXPECT_EQ(replaced.Phase(), CancelPhase::Committed);
}

TEST(CancelGate, EndingATryThatWasNeverBegunChangesNothing) {
    CancelGate open;
    open.Open();
    EXPECT_FALSE(open.EndCommit(true));
    EXPECT_EQ(open.Phase(), CancelPhase::Open);
    CancelGate pressed;
    pressed.Open();
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
