// The program entry of a test build whose long steps go slowly: a pause
// after each slice that the self-check reads and the write writes, in runs
// that show the progress window. A test then sees the bar move through a
// small package, and has time to act on the temporary file between two
// slices of the write. Quiet runs, which report to nothing, do not pause.
// The self-check, the first long step, reads the file in a few slices only,
// while the progress window's thread is still starting: its pauses are
// longer, so that a busy machine still shows the bar short of full.
#include <windows.h>

#include <cstdint>
#include <utility>

#include "app/installer_program.h"
#include "package_identity_values.h"

namespace {

constexpr DWORD kSlicePauseMs = 60;
constexpr DWORD kCheckSlicePauseMs = 250;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    UpdateFlowSeams seams;
    int steps = 0;
    seams.longStepProgress = [&steps](ByteProgress reporter) -> ByteProgress {
        const DWORD pause = ++steps == 1 ? kCheckSlicePauseMs : kSlicePauseMs;
        if (!reporter) return {};
        return [reporter = std::move(reporter), pause](std::uint64_t done, std::uint64_t total) {
            reporter(done, total);
            ::Sleep(pause);
        };
    };
    return RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION}, seams);
}
