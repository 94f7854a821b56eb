#pragma once
// One installer at a time: two copies (a double click on a slow machine)
// would write the same temporary file and both replace the package.

namespace kavrel {

// Takes the one-installer-at-a-time mutex, held until the process ends (the
// system releases it however the process ends, also when it is killed);
// false when another copy has it.
bool ClaimUpdateRun();

}  // namespace kavrel
