#include "app/wait_rules.h"

namespace kavrel {

WaitBound InstanceMappingWait() { return {512, 8}; }

WaitBound MainWindowWait() { return {1024, 11}; }

ShellStartOutcome ShellStartOutcomeOf(std::int32_t answer) {
    // S_OK is 0; every other answer, successes included, is no start.
    return answer == 0 ? ShellStartOutcome::Started : ShellStartOutcome::Refused;
}

bool StartsItselfAfter(ShellStartOutcome outcome, bool stationVisible, bool runsAsLocalSystem) {
    return stationVisible && !runsAsLocalSystem && outcome == ShellStartOutcome::Refused;
}

bool CountsAsSeen(const WaitBound& bound, int probeNumber) {
    return probeNumber >= 1 && probeNumber < bound.maxProbes;
}

}  // namespace kavrel
