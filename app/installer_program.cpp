#include "app/installer_program.h"

#include <exception>
#include <string>

#include "app/integrity_check.h"
#include "env/startup_settings.h"
#include "lang/language_files.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "ui/progress_window.h"

namespace kavrel {

int RunInstallerProgram(const PackageIdentity& identity, const UpdateFlowSeams& seams) {
    // Before any DLL is loaded on demand.
    HardenDllSearch();
    HoldOwnFileForCheck();
    RefuseUsersJunctions();
    int exitCode = kExitCheckFailed;
    try {
        StartUpSettings();
        SetPackageIdentity(CurrentSetup(), identity);
        exitCode = ExitCodeOf(RunUpdateFlow(seams));
    } catch (const std::exception& failure) {
        // What no step caught still reaches the administrator's log.
        LogLine("run ended by an unexpected failure: " + SystemText(failure.what()));
        exitCode = kExitCheckFailed;
    } catch (...) {
        LogLine("run ended by an unexpected failure");
        exitCode = kExitCheckFailed;
    }
    LogLine("exit code " + ProgramText(std::to_string(exitCode)));
    try {
        ShutDownUpdateFlow();
        ShutDownLanguageFiles();
        ShutDownProgressWindow();
        ShutDownSettings();
    } catch (...) {
    }
    return exitCode;
}

}  // namespace kavrel
