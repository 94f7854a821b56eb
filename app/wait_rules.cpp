#include "app/wait_rules.h"

namespace kavrel {

WaitBound InstanceMappingWait() { return {512, 8}; }

WaitBound MainWindowWait() { return {1024, 11}; }

WaitBound DesktopShellAnswerWait() {
    constexpr std::uint32_t kLookMs = 50;
    // The last probe counts as too late: one more than the looks that fit.
    return {kLookMs, static_cast<int>(kDesktopShellStartWaitMs / kLookMs) + 1};
}

ShellStartOutcome ShellStartOutcomeOf(std::int32_t answer) {
    // S_OK is 0; every other answer, successes included, is no start.
    return answer == 0 ? ShellStartOutcome::Started : ShellStartOutcome::Refused;
}

ShellRefusalWords ShellRefusalText(const std::optional<Failure>& refusal, bool answered, const ShownText& systemText) {
    ShellRefusalWords words{answered ? "the desktop shell refused to start it" : "no desktop shell to ask", {}};
    if (refusal) words.record = "; " + FailureLogText(*refusal, systemText);
    return words;
}

bool StartsItselfAfter(ShellStartOutcome outcome, bool stationVisible, bool runsAsLocalSystem) {
    return stationVisible && !runsAsLocalSystem && outcome == ShellStartOutcome::Refused;
}

bool CountsAsSeen(const WaitBound& bound, int probeNumber) {
    return probeNumber >= 1 && probeNumber < bound.maxProbes;
}

}  // namespace kavrel
