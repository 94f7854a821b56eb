// The program entry of a test build that plays a user without administrator
// rights: Wine reports every user as an administrator.
#include <windows.h>

#include "app/installer_program.h"
#include "package_identity_values.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    UpdateFlowSeams seams;
    seams.afterDiscovery = [] { CurrentSetup().isAdmin = false; };
    return RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION}, seams);
}
