#pragma once
// Starting a program through the desktop shell's own process, so that it runs
// with the signed-in user's token, not with this elevated process's.
#include <optional>
#include <string>

#include "app/wait_rules.h"
#include "base/failure.h"
#include "base/wait_clock.h"

namespace kavrel {

// Asks the desktop shell (Explorer's Shell.Application, reached through the
// shell's windows collection) to start `file` in `folder`, on a thread of
// its own, waited for at most kDesktopShellStartWaitMs on `clock`: COM calls into the
// shell's process have no time limit, and a shell that hangs must not keep
// the installer from ending. Refused when there is no desktop shell to ask
// (a service, a deployment tool, another shell) or it refuses; NoAnswer
// when it did not answer in time (it may still start the program).
struct ShellStart {
    ShellStartOutcome outcome = ShellStartOutcome::Refused;
    // For a refusal, the record of the call that failed on the way to the
    // shell, or of the shell's answer to the start; none where no call failed
    // (no memory on the start's thread).
    std::optional<Failure> refusal;
    // Whether the shell was reached and answered the start.
    bool answered = false;
};
ShellStart StartThroughDesktopShellBounded(const std::wstring& file, const std::wstring& folder,
                                           const WaitClock& clock);

}  // namespace kavrel
