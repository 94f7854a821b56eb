// The program entry of the shipped installer: the package identity of this
// build, and the update.
#include <windows.h>

#include "app/installer_program.h"
#include "package_identity_values.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return kavrel::RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION});
}
