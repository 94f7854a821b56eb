#pragma once
// The clock of the installer's waits: for a file that another program
// holds, and for the desktop shell and the application it starts.
#include <cstdint>
#include <functional>

namespace kavrel {

// Sleeps `ms` milliseconds. The shipped installer sleeps with the system;
// the schedules themselves are plain rules, tested with a clock that only
// counts.
using WaitClock = std::function<void(std::uint32_t ms)>;

}  // namespace kavrel
