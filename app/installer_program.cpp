#include "app/installer_program.h"

#include <exception>
#include <string>

#include "app/integrity_check.h"
#include "app/step_reports.h"
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
    // What no step caught still reaches the administrator's log, and is
    // never reported as success: a failure nobody foresaw.
    std::uint32_t exitCode = ExitCodeOf(Failure{});
    try {
        StartUpSettings();
        SetPackageIdentity(CurrentSetup(), identity);
        exitCode = RunUpdateFlow(seams);
    } catch (const FailureRaised& raised) {
        // A record that no step returned: logged as any other, with the
        // place that made it, and ended with its cause's code.
        RunReport().Note(raised.failure());
        exitCode = ExitCodeOf(raised.failure());
    } catch (const std::exception& failure) {
        LogLine("run ended by an unexpected failure: " + SystemText(failure.what()));
    } catch (...) {
        LogLine("run ended by an unexpected failure");
    }
    LogLine("exit code " + ProgramText(std::to_string(exitCode)));
    try {
        ShutDownUpdateFlow();
        ShutDownLanguageFiles();
        ShutDownProgressWindow();
        ShutDownSettings();
    } catch (...) {
    }
    return static_cast<int>(exitCode);
}

}  // namespace kavrel
