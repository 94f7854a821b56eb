#include "app/wait_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kavrel {
namespace {

// Records every sleep and probe in the order they happen; the probe succeeds
// from probe `successAt` on (0: never).
struct FakeClock {
    explicit FakeClock(int successAt) : successAt_(successAt) {}

    bool Wait(const WaitBound& bound) {
        return WaitUntil(
            bound,
            [this] {
                ++probes;
                events.push_back("probe");
                return successAt_ != 0 && probes >= successAt_;
            },
            [this](std::uint32_t ms) {
                sleeps.push_back(ms);
                events.push_back("sleep");
            });
    }

    int probes = 0;
    std::vector<std::uint32_t> sleeps;
    std::vector<std::string> events;

private:
    int successAt_;
};

TEST(WaitBounds, AreTheMappingAndWindowWaits) {
    EXPECT_EQ(InstanceMappingWait().intervalMs, 512u);
    EXPECT_EQ(InstanceMappingWait().maxProbes, 8);
    EXPECT_EQ(MainWindowWait().intervalMs, 1024u);
    EXPECT_EQ(MainWindowWait().maxProbes, 11);
}

TEST(DesktopShellStart, IsWaitedForTwentySecondsAtMost) { EXPECT_EQ(kDesktopShellStartWaitMs, 20000u); }

TEST(DesktopShellStart, OnlySOkIsAStart) {
    struct Case {
        std::uint32_t answer;
        ShellStartOutcome outcome;
    };
    const Case cases[] = {
        {0x00000000, ShellStartOutcome::Started},  // S_OK
        {0x00000001, ShellStartOutcome::Refused},  // S_FALSE: a success code, but nothing started
        {0x00000002, ShellStartOutcome::Refused},  // any other success code
        {0x80004005, ShellStartOutcome::Refused},  // E_FAIL
        {0x80070002, ShellStartOutcome::Refused},  // the file was not found
        {0x800706BA, ShellStartOutcome::Refused},  // the shell's process is gone
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellStartOutcomeOf(static_cast<std::int32_t>(c.answer)), c.outcome) << std::hex << c.answer;
    // Why, then the failing call's record: its HRESULT in hex and its place.
    Failure call = HResultFailure("CoCreateInstance of ShellWindows", 0x80070005, {}, {"app/desktop_shell.cpp", 77});
    call.step = "desktop shell";
    ShellRefusalWords words = ShellRefusalText(call, false, "Access is denied.");
    EXPECT_EQ(words.why.Bytes() + words.record.Bytes(),
              "no desktop shell to ask; desktop shell failed: CoCreateInstance of ShellWindows, HRESULT 0x80070005 "
              "(Windows error 5: Access is denied.) [app/desktop_shell.cpp:77]");
    call = HResultFailure("IShellDispatch2::ShellExecute", 1, {}, {});
    call.step = "desktop shell";
    words = ShellRefusalText(call, true, {});
    EXPECT_EQ(words.why.Bytes() + words.record.Bytes(),
              "the desktop shell refused to start it; desktop shell failed: IShellDispatch2::ShellExecute, HRESULT "
              "0x00000001");
    words = ShellRefusalText(std::nullopt, false, {});
    EXPECT_EQ(words.why.Bytes() + words.record.Bytes(), "no desktop shell to ask");
}

TEST(DesktopShellStart, TheInstallerStartsTheApplicationItselfOnlyAfterARefusal) {
    EXPECT_TRUE(StartsItselfAfter(ShellStartOutcome::Refused, true, false));
    EXPECT_FALSE(StartsItselfAfter(ShellStartOutcome::Started, true, false));
    // The shell may still be starting it: a second start would run two copies.
    EXPECT_FALSE(StartsItselfAfter(ShellStartOutcome::NoAnswer, true, false));
}

TEST(DesktopShellStart, WhereNobodySeesTheInstallerOrAsLocalSystemOnlyTheShellMayStartTheApplication) {
    // Started by the installer there, it would run as SYSTEM where nobody
    // sees it, or as SYSTEM on a person's desktop.
    for (ShellStartOutcome outcome :
         {ShellStartOutcome::Refused, ShellStartOutcome::Started, ShellStartOutcome::NoAnswer}) {
        EXPECT_FALSE(StartsItselfAfter(outcome, false, false));
        EXPECT_FALSE(StartsItselfAfter(outcome, true, true));
        EXPECT_FALSE(StartsItselfAfter(outcome, false, true));
    }
}

TEST(CountsAsSeen, EveryProbeButTheLast) {
    WaitBound mapping = InstanceMappingWait();
    for (int probe = 1; probe <= 7; ++probe) EXPECT_TRUE(CountsAsSeen(mapping, probe)) << probe;
    EXPECT_FALSE(CountsAsSeen(mapping, 8));
    EXPECT_FALSE(CountsAsSeen(mapping, 9));
    EXPECT_FALSE(CountsAsSeen(mapping, 0));
    EXPECT_TRUE(CountsAsSeen(MainWindowWait(), 10));
    EXPECT_FALSE(CountsAsSeen(MainWindowWait(), 11));
}

// What a wait must come to: its outcome, and how many probes it made, each
// after a sleep of the interval.
struct Outcome {
    bool seen;
    int probes;
    std::uint32_t intervalMs;
};

// Waits for `bound` with a probe that succeeds from probe `successAt` on
// (0: never) and checks the outcome; the clock is returned for further checks.
FakeClock ExpectWait(const WaitBound& bound, int successAt, const Outcome& expected) {
    FakeClock clock(successAt);
    EXPECT_EQ(clock.Wait(bound), expected.seen);
    EXPECT_EQ(clock.probes, expected.probes);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(static_cast<std::size_t>(expected.probes), expected.intervalMs));
    return clock;
}

TEST(MappingWait, StopsAtTheFirstProbeThatFindsTheMapping) {
    FakeClock clock = ExpectWait(InstanceMappingWait(), 1, {.seen = true, .probes = 1, .intervalMs = 512});
    EXPECT_EQ(clock.events, (std::vector<std::string>{"sleep", "probe"}));
}

TEST(MappingWait, SeesTheMappingAtTheSeventhProbe) {
    ExpectWait(InstanceMappingWait(), 7, {.seen = true, .probes = 7, .intervalMs = 512});
}

TEST(MappingWait, AMappingFirstFoundAtTheEighthProbeCountsAsNotSeen) {
    ExpectWait(InstanceMappingWait(), 8, {.seen = false, .probes = 8, .intervalMs = 512});
}

TEST(MappingWait, GivesUpAfterEightProbesEachAfterItsSleep) {
    FakeClock clock = ExpectWait(InstanceMappingWait(), 0, {.seen = false, .probes = 8, .intervalMs = 512});
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i) {
        expected.push_back("sleep");
        expected.push_back("probe");
    }
    EXPECT_EQ(clock.events, expected);
}

TEST(WindowWait, SeesTheWindowAtTheTenthSearch) {
    ExpectWait(MainWindowWait(), 10, {.seen = true, .probes = 10, .intervalMs = 1024});
}

TEST(WindowWait, AWindowFirstFoundAtTheEleventhSearchCountsAsNotSeen) {
    ExpectWait(MainWindowWait(), 11, {.seen = false, .probes = 11, .intervalMs = 1024});
}

TEST(WindowWait, GivesUpAfterElevenSearches) {
    FakeClock clock = ExpectWait(MainWindowWait(), 0, {.seen = false, .probes = 11, .intervalMs = 1024});
    EXPECT_EQ(clock.events.front(), "sleep");
    EXPECT_EQ(clock.events.back(), "probe");
}

TEST(DesktopShellStart, AnAnswerWithinTwentySecondsIsSeenNoneAfter) {
    ExpectWait(DesktopShellAnswerWait(), 1, {.seen = true, .probes = 1, .intervalMs = 50});
    ExpectWait(DesktopShellAnswerWait(), 400, {.seen = true, .probes = 400, .intervalMs = 50});
    ExpectWait(DesktopShellAnswerWait(), 0, {.seen = false, .probes = 401, .intervalMs = 50});
}

TEST(WaitUntil, AnEmptyBoundNeitherSleepsNorProbes) {
    ExpectWait(WaitBound{100, 0}, 1, {.seen = false, .probes = 0, .intervalMs = 100});
}

TEST(WaitUntil, NeverProbesAgainAfterASuccess) {
    ExpectWait(WaitBound{5, 100}, 3, {.seen = true, .probes = 3, .intervalMs = 5});
}

}  // namespace
}  // namespace kavrel
