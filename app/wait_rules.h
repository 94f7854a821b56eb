#pragma once
// The two waits that follow the start of the application, as plain rules:
// how long to sleep between probes, how many probes there may be, and which
// outcome counts as seen.
#include <cstdint>

namespace kavrel {

// One bounded wait: sleep `intervalMs`, then probe, at most `maxProbes` times.
struct WaitBound {
    std::uint32_t intervalMs = 0;
    int maxProbes = 0;
};

// The wait for the started application's instance mapping.
WaitBound InstanceMappingWait();

// The wait for the started application's main window.
WaitBound MainWindowWait();

// Whether a success at probe `probeNumber` (counted from 1) counts as seen.
// A success at the last allowed probe arrives too late and counts as unseen.
bool CountsAsSeen(const WaitBound& bound, int probeNumber);

// Sleeps, then probes, until the probe succeeds or the bound is used up; true
// when the success counts as seen. `sleep` takes milliseconds; `probe` returns
// true on success.
template <typename ProbeFn, typename SleepFn>
bool WaitUntil(const WaitBound& bound, ProbeFn probe, SleepFn sleep) {
    int probesMade = 0;
    bool succeeded = false;
    while (!succeeded && probesMade < bound.maxProbes) {
        sleep(bound.intervalMs);
        ++probesMade;
        succeeded = probe();
    }
    return succeeded && CountsAsSeen(bound, probesMade);
}

}  // namespace kavrel
