#include "app/wait_rules.h"

namespace kavrel {

WaitBound InstanceMappingWait() { return {512, 8}; }

WaitBound MainWindowWait() { return {1024, 11}; }

bool CountsAsSeen(const WaitBound& bound, int probeNumber) {
    return probeNumber >= 1 && probeNumber < bound.maxProbes;
}

}  // namespace kavrel
