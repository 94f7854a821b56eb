#pragma once
// One installer at a time: two copies (a double click on a slow machine)
// would write the same temporary file and both replace the package.
#include <optional>

#include "base/failure.h"

namespace kavrel {

// Takes the one-installer-at-a-time mutex, held until the process ends (the
// system releases it however the process ends, also when it is killed).
// Nothing when this run holds it; cause AnotherCopyRunning when another copy
// does; any other failure is the lock's own, which the run goes on without.
// Shows and logs nothing: the update flow does.
std::optional<Failure> ClaimUpdateRun();

}  // namespace kavrel
