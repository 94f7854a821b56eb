#include "app/update_flow.h"

#include "app/setup_state.h"

namespace kavrel {

int RunUpdateFlow() {
    SetupState& state = Setup();
    const std::string packageFileName = RunIdentityStep(state);
    (void)packageFileName;
    return kExitDone;
}

void ShutDownUpdateFlow() {
    SetupState& state = Setup();
    state.resourceType.clear();
    state.packageBaseName.clear();
    state.packageTitle.clear();
}

}  // namespace kavrel
