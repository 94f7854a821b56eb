#pragma once
// The clock of the installer's waits: for a file that another program
// holds, and for the desktop shell and the application it starts.
#include <cstdint>
#include <functional>

namespace kavrel {

// Sleeps and tells the time. The shipped installer takes the system's; the
// schedules themselves are plain rules, tested with a clock that only counts.
struct WaitClock {
    // Sleeps `ms` milliseconds.
    std::function<void(std::uint32_t ms)> sleep;
    // Milliseconds since a fixed moment, as this clock counts them; it may
    // wrap, so only differences count.
    std::function<std::uint32_t()> now;

    // A clock given by a seam: empty means the system's.
    explicit operator bool() const noexcept { return static_cast<bool>(sleep) && static_cast<bool>(now); }
};

}  // namespace kavrel
