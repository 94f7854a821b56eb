// The program entry: module start-up, the package identity of this build,
// the update, module shut-down in reverse order.
#include <windows.h>

#include "app/setup_state.h"
#include "app/update_flow.h"
#include "env/startup_settings.h"
#include "package_identity_values.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    int exitCode = kExitCheckFailed;
    // No exception may leave the entry: an unexpected one ends the run as a failed check.
    try {
        StartUpSettings();
        SetPackageIdentity(CurrentSetup(), {KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION});
        exitCode = RunUpdateFlow();
    } catch (...) {
        exitCode = kExitCheckFailed;
    }
    try {
        ShutDownUpdateFlow();
        ShutDownSettings();
    } catch (...) {
    }
    return exitCode;
}
