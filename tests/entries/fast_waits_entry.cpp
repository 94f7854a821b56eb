// The program entry of a test build whose waits run ten times faster: a
// held file is waited on for 3 s instead of 30, the desktop shell and the
// started application for a tenth of their bounds. The schedules are the
// shipped installer's; only their clock differs, and it logs each wait
// ("test clock: wait N ms") so that a test sees whether a failure was
// waited on. Scenarios that hold the package to see a failed write take
// this build, and one scenario keeps the real 30 s.
#include <windows.h>

#include <cstdint>

#include <string>

#include "app/installer_program.h"
#include "platform/run_log.h"
#include "package_identity_values.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    UpdateFlowSeams seams;
    seams.waitClock.sleep = [](std::uint32_t ms) {
        LogLine("test clock: wait " + ProgramText(std::to_string(ms)) + " ms");
        ::Sleep(ms / 10);
    };
    // Its time runs ten times faster too: a budget of 30 s is spent in 3.
    seams.waitClock.now = [] { return static_cast<std::uint32_t>(::GetTickCount() * 10u); };
    return RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION}, seams);
}
