#pragma once
// The system's clock for the installer's waits.
#include "base/wait_clock.h"

namespace kavrel {

// `clock` where one is given, else the system's Sleep.
WaitClock ClockOrSystem(const WaitClock& clock);

}  // namespace kavrel
