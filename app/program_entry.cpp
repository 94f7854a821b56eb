// The program entry: module start-up, the package identity of this build,
// the update, module shut-down in reverse order.
#include <windows.h>

#include "base/setup_state.h"
#include "app/update_flow.h"
#include "env/startup_settings.h"
#include "lang/language_files.h"
#include "package_identity_values.h"
#include "ui/progress_window.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    // Before any DLL is loaded on demand.
    HardenDllSearch();
    RefuseUsersJunctions();
    int exitCode = kExitCheckFailed;
    // No exception may leave the entry: an unexpected one ends the run as a failed check.
    try {
        StartUpSettings();
        SetPackageIdentity(CurrentSetup(), {KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION});
#ifdef KAVREL_TEST_LANGUAGE_FILE
        // Test builds only: the question texts come from a language file in the
        // application's "language" folder.
        exitCode = ExitCodeOf(RunUpdateFlow([] {
            LanguageModule().SelectLanguageFile({"english.lng", "russian.lng", KAVREL_TEST_LANGUAGE_FILE}, 1, 0, 2, 0x0422);
        }));
#elif defined(KAVREL_TEST_SLICE_PAUSE_MS)
        // Test builds only: the bar moves slowly enough for a test to watch it.
        SetProgressSlicePause(KAVREL_TEST_SLICE_PAUSE_MS);
        exitCode = ExitCodeOf(RunUpdateFlow());
#elif defined(KAVREL_TEST_NOT_ADMIN)
        // Test builds only: Wine reports every user as an administrator.
        exitCode = ExitCodeOf(RunUpdateFlow([] { CurrentSetup().isAdmin = false; }));
#else
        exitCode = ExitCodeOf(RunUpdateFlow());
#endif
    } catch (...) {
        exitCode = kExitCheckFailed;
    }
    try {
        ShutDownUpdateFlow();
        ShutDownLanguageFiles();
        ShutDownProgressWindow();
        ShutDownSettings();
    } catch (...) {
    }
    return exitCode;
}
