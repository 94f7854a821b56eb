#include "platform/system_clock.h"

#include <windows.h>

namespace kavrel {

WaitClock ClockOrSystem(const WaitClock& clock, const Cancellation* cancel) {
    if (clock) return clock;
    if (cancel) return [cancel](std::uint32_t ms) { cancel->Wait(ms); };
    return [](std::uint32_t ms) { ::Sleep(ms); };
}

}  // namespace kavrel
