#include "platform/system_clock.h"

#include <windows.h>

namespace kavrel {

WaitClock ClockOrSystem(const WaitClock& clock) {
    if (clock) return clock;
    return [](std::uint32_t ms) { ::Sleep(ms); };
}

}  // namespace kavrel
