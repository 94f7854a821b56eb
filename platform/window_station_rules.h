#pragma once
// Whether anyone can see this process's windows, as a plain rule of what the
// system reports about its window station.
#include <cstdint>

namespace kavrel {

// WSF_VISIBLE of the window station's UOI_FLAGS.
constexpr std::uint32_t kVisibleStationFlag = 0x0001;

// The services' session. Since Windows Vista (the oldest this program
// starts on) nobody signs in there, so nobody sees it, even on its own
// "WinSta0", which carries WSF_VISIBLE (an interactive service,
// "PsExec -s -i 0").
constexpr std::uint32_t kServicesSession = 0;

// A window station is seen by a user only when its flags carry WSF_VISIBLE
// and the process is outside the services' session: a service's station,
// such as session 0's under a deployment tool running as SYSTEM, is not. A
// query that failed counts as visible, so that the run does what it always
// did.
constexpr bool IsVisibleStation(bool queried, std::uint32_t flags, bool sessionQueried, std::uint32_t sessionId) {
    if (sessionQueried && sessionId == kServicesSession) return false;
    return !queried || (flags & kVisibleStationFlag) != 0;
}

}  // namespace kavrel
