#pragma once
// Whether anyone can see this process's windows, as a plain rule of what the
// system reports about its window station.
#include <cstdint>

namespace kavrel {

// WSF_VISIBLE of the window station's UOI_FLAGS.
constexpr std::uint32_t kVisibleStationFlag = 0x0001;

// A window station is seen by a user only when its flags carry WSF_VISIBLE:
// a service's, such as session 0's under a deployment tool running as
// SYSTEM, is not. A query that failed counts as visible, so that the run
// does what it always did.
constexpr bool IsVisibleStation(bool queried, std::uint32_t flags) {
    return !queried || (flags & kVisibleStationFlag) != 0;
}

}  // namespace kavrel
