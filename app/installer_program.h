#pragma once
// The whole life of an installer process around its update: the start-up
// hardening, module start-up, the package identity of the build, the update,
// module shut-down in reverse order. Every installer build's WinMain is this
// one call.
#include "app/update_flow.h"
#include "base/setup_state.h"

namespace kavrel {

// Runs the process's update for `identity` and returns the process exit
// code. No exception leaves it: an unexpected one ends the run as a failed
// install (1603).
int RunInstallerProgram(const PackageIdentity& identity, const UpdateFlowSeams& seams = {});

}  // namespace kavrel
