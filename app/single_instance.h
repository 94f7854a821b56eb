#pragma once
// One installer at a time: two copies (a double click on a slow machine)
// would write the same temporary file and both replace the package.

#include <cstdint>
#include <string>

namespace kavrel {

// What taking the lock met. Shows and logs nothing: the update flow does.
struct UpdateRunClaim {
    bool anotherCopyRunning = false;
    // Why the run goes on without the lock; empty when it holds the lock, or
    // another copy does.
    std::string unguardedBecause;
    std::uint32_t error = 0;  // the Windows error met, where there was one
};

// Takes the one-installer-at-a-time mutex, held until the process ends (the
// system releases it however the process ends, also when it is killed).
UpdateRunClaim ClaimUpdateRun();

}  // namespace kavrel
