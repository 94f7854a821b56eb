#include "app/update_flow.h"

#include "app/setup_state.h"

namespace kavrel {

int RunUpdateFlow() {
    SetupState& state = CurrentSetup();
    const std::string packageFileName = RunIdentityStep(state);
    (void)packageFileName;
    return kExitDone;
}

void ShutDownUpdateFlow() {
    SetupState& state = CurrentSetup();
    state.resourceType.clear();
    state.packageBaseName.clear();
    state.packageTitle.clear();
}

}  // namespace kavrel
