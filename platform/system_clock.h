#pragma once
// The system's clock for the installer's waits.
#include "base/wait_clock.h"
#include "platform/cancellation.h"

namespace kavrel {

// `clock` where one is given, else the system's sleep; a sleep of the
// system's ends at once when `cancel` (if any) is requested meanwhile.
WaitClock ClockOrSystem(const WaitClock& clock, const Cancellation* cancel = nullptr);

}  // namespace kavrel
