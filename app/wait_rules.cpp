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

std::string ShellRefusalText(std::optional<std::int32_t> answer) {
    if (!answer) return "no desktop shell to ask";
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string digits;
    for (int shift = 28; shift >= 0; shift -= 4)
        digits += kHexDigits[(static_cast<std::uint32_t>(*answer) >> shift) & 0xF];
    return "the desktop shell refused to start it (answer 0x" + digits + ")";
}

bool StartsItselfAfter(ShellStartOutcome outcome, bool stationVisible, bool runsAsLocalSystem) {
    return stationVisible && !runsAsLocalSystem && outcome == ShellStartOutcome::Refused;
}

bool CountsAsSeen(const WaitBound& bound, int probeNumber) {
    return probeNumber >= 1 && probeNumber < bound.maxProbes;
}

}  // namespace kavrel
