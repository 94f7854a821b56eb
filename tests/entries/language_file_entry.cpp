// The program entry of a test build that takes its question texts from a
// language file, "test.lng" in the application's "language" folder, selected
// once the application's folder is known; its boxes carry the Ukrainian
// language id.
#include <windows.h>

#include "app/installer_program.h"
#include "lang/language_files.h"
#include "package_identity_values.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    UpdateFlowSeams seams;
    seams.afterDiscovery = [] {
        LanguageModule().SelectLanguageFile({"english.lng", "russian.lng", "test.lng"}, 1, 0, 2, 0x0422);
    };
    return RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION}, seams);
}
