// The program entry of a test build whose long steps go slowly: a pause
// after each slice that the self-check reads and the write writes, in runs
// that show the progress window. A test then sees the bar move through a
// small package, and has time to act on the temporary file between two
// slices of the write. Quiet runs, which report to nothing, do not pause.
#include <windows.h>

#include <cstdint>
#include <utility>

#include "app/installer_program.h"
#include "package_identity_values.h"

namespace {

constexpr DWORD kSlicePauseMs = 60;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace kavrel;
    UpdateFlowSeams seams;
    seams.longStepProgress = [](ByteProgress reporter) -> ByteProgress {
        if (!reporter) return {};
        return [reporter = std::move(reporter)](std::uint64_t done, std::uint64_t total) {
            reporter(done, total);
            ::Sleep(kSlicePauseMs);
        };
    };
    return RunInstallerProgram({KAVREL_PACKAGE_TITLE, KAVREL_PACKAGE_BASE_NAME, KAVREL_PACKAGE_VERSION}, seams);
}
