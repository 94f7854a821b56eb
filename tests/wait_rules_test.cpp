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

TEST(CountsAsSeen, EveryProbeButTheLast) {
    WaitBound mapping = InstanceMappingWait();
    for (int probe = 1; probe <= 7; ++probe) EXPECT_TRUE(CountsAsSeen(mapping, probe)) << probe;
    EXPECT_FALSE(CountsAsSeen(mapping, 8));
    EXPECT_FALSE(CountsAsSeen(mapping, 9));
    EXPECT_FALSE(CountsAsSeen(mapping, 0));
    EXPECT_TRUE(CountsAsSeen(MainWindowWait(), 10));
    EXPECT_FALSE(CountsAsSeen(MainWindowWait(), 11));
}

TEST(MappingWait, StopsAtTheFirstProbeThatFindsTheMapping) {
    FakeClock clock(1);
    EXPECT_TRUE(clock.Wait(InstanceMappingWait()));
    EXPECT_EQ(clock.probes, 1);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{512});
    EXPECT_EQ(clock.events, (std::vector<std::string>{"sleep", "probe"}));
}

TEST(MappingWait, SeesTheMappingAtTheSeventhProbe) {
    FakeClock clock(7);
    EXPECT_TRUE(clock.Wait(InstanceMappingWait()));
    EXPECT_EQ(clock.probes, 7);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(7, 512));
}

TEST(MappingWait, AMappingFirstFoundAtTheEighthProbeCountsAsNotSeen) {
    FakeClock clock(8);
    EXPECT_FALSE(clock.Wait(InstanceMappingWait()));
    EXPECT_EQ(clock.probes, 8);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(8, 512));
}

TEST(MappingWait, GivesUpAfterEightProbesEachAfterItsSleep) {
    FakeClock clock(0);
    EXPECT_FALSE(clock.Wait(InstanceMappingWait()));
    EXPECT_EQ(clock.probes, 8);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(8, 512));
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i) {
        expected.push_back("sleep");
        expected.push_back("probe");
    }
    EXPECT_EQ(clock.events, expected);
}

TEST(WindowWait, SeesTheWindowAtTheTenthSearch) {
    FakeClock clock(10);
    EXPECT_TRUE(clock.Wait(MainWindowWait()));
    EXPECT_EQ(clock.probes, 10);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(10, 1024));
}

TEST(WindowWait, AWindowFirstFoundAtTheEleventhSearchCountsAsNotSeen) {
    FakeClock clock(11);
    EXPECT_FALSE(clock.Wait(MainWindowWait()));
    EXPECT_EQ(clock.probes, 11);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(11, 1024));
}

TEST(WindowWait, GivesUpAfterElevenSearches) {
    FakeClock clock(0);
    EXPECT_FALSE(clock.Wait(MainWindowWait()));
    EXPECT_EQ(clock.probes, 11);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(11, 1024));
    EXPECT_EQ(clock.events.front(), "sleep");
    EXPECT_EQ(clock.events.back(), "probe");
}

TEST(WaitUntil, AnEmptyBoundNeitherSleepsNorProbes) {
    FakeClock clock(1);
    EXPECT_FALSE(clock.Wait(WaitBound{100, 0}));
    EXPECT_EQ(clock.probes, 0);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(WaitUntil, NeverProbesAgainAfterASuccess) {
    FakeClock clock(3);
    EXPECT_TRUE(clock.Wait(WaitBound{5, 100}));
    EXPECT_EQ(clock.probes, 3);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(3, 5));
}

}  // namespace
}  // namespace kavrel
