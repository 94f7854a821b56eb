#pragma once
// The installer's whole job, run once by the program entry.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/step_reports.h"
#include "app/update_rules.h"
#include "base/byte_progress.h"
#include "base/wait_clock.h"
#include "install/extraction.h"

namespace kavrel {

// Points where another build of the program may add to a run; the shipped
// installer leaves them all empty.
struct UpdateFlowSeams {
    // Called once the application's folder is known, before the rights check.
    std::function<void()> afterDiscovery;
    // Given what a long step's read or write reports its slices to (empty
    // when the run shows no progress), returns what it reports to instead.
    std::function<ByteProgress(ByteProgress)> longStepProgress;
    // The clock of the waits for a held file and for the desktop shell and
    // the application it starts; empty: the system's.
    WaitClock waitClock;
};

// Runs the update and returns its exit code: 0, or the code of the cause of
// its first failure (ReturnCodeTable).
std::uint32_t RunUpdateFlow(const UpdateFlowSeams& seams = {});

// Runs `attempt`, one write of `target`, until it succeeds, and returns
// nothing then, or the failure that ended it, reported. Each failure
// goes to `report`, which shows "Can't install file <target>" and its
// reason; in an interactive run (`offerRetry`) the box has Retry and Cancel,
// and Retry writes again with the progress window back. Failed once the
// user answers Cancel, or after the first failure of a quiet run. A write
// that the person cancelled in the progress window goes to the report as it
// is (no box) and is not offered again. A press of Cancel counts for the
// write it was made in: a retry starts with none (`cancel`, when given).
std::optional<Failure> InstallWithRetry(RunReport& report, const std::wstring& target, bool offerRetry,
                              const std::function<std::optional<Failure>()>& attempt,
                              Cancellation* cancel = nullptr);

// Releases what the update-flow module holds at process end.
void ShutDownUpdateFlow();

}  // namespace kavrel
