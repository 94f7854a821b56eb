#include "platform/system_clock.h"

#include <windows.h>

namespace kavrel {

WaitClock ClockOrSystem(const WaitClock& clock, const Cancellation* cancel) {
    if (clock) return clock;
    // GetTickCount, not GetTickCount64: Windows XP has only the first, and
    // the waits it times are far shorter than its 49-day wrap.
    WaitClock system{{}, [] { return static_cast<std::uint32_t>(::GetTickCount()); }};
    if (cancel) system.sleep = [cancel](std::uint32_t ms) { cancel->Wait(ms); };
    else system.sleep = [](std::uint32_t ms) { ::Sleep(ms); };
    return system;
}

}  // namespace kavrel
