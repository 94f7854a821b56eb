#pragma once
// Whether a long step stops when the person asks it to, as one gate shared
// by two threads: the progress window's, which passes on the press of Cancel
// and enables its button only while a press would be taken, and the step's,
// which opens the gate, looks between blocks and slices, and goes through it
// around the one call that replaces the package.
#include <atomic>
#include <cstdint>
#include <string>

#include "base/failure.h"

namespace kavrel {

// Where a step's cancellation stands. A press counts until the step begins
// the replace of the package; one that comes while the replace is tried
// counts only if that try fails (the holder is then waited for again, and
// that wait is what the press ends). Once the replace has happened, the
// step and what follows it are not cancelled halfway: a press is refused.
enum class CancelPhase : std::uint8_t {
    Closed,               // no step runs that a press could stop
    Open,                 // a step runs; a press would be taken
    Requested,            // the person pressed Cancel: the step stops at its next look
    Committing,           // the replace is being tried
    CommittingRequested,  // pressed while the replace was tried
    Committed,            // replaced: nothing is cancelled any more
    Failed,               // a try failed and the person is asked whether to try again
};

// Whether a press would be taken now, which is when the Cancel button is
// enabled: while the step runs, the replace's try included, and never
// again once a press was taken.
bool TakesPress(CancelPhase phase);

// The phase above, changed atomically by either thread.
class CancelGate {
public:
    // The step's thread: the step begins, or is tried again after a failure
    // the person chose to retry. A press counts for the try it was made in,
    // so the new try starts open; once the replace has happened, it stays so.
    void Open() noexcept;
    // The step's thread: a try failed, and while the person is asked about
    // it nothing is taken. A failure after the replace leaves it replaced.
    void FailTry() noexcept;
    // The step's thread: the step is over.
    void Close() noexcept { phase_.store(CancelPhase::Closed, std::memory_order_release); }
    // The window's thread: the person pressed Cancel. True when the press is
    // taken (now or, while the replace is tried, should it fail).
    bool Request() noexcept;
    // The step: true once a press is to stop it.
    bool Requested() const noexcept { return Phase() == CancelPhase::Requested; }
    // The step, right before the replace: false when a press came first
    // (the step stops instead); otherwise presses wait for the outcome.
    bool BeginCommit() noexcept;
    // The step, after the try: `committed` when the replace happened. A
    // press during a failed try now stops the step; true when it does.
    bool EndCommit(bool committed) noexcept;
    CancelPhase Phase() const noexcept { return phase_.load(std::memory_order_acquire); }

private:
    // Moves from each phase to what `next` gives for it, atomically; returns the new phase.
    template <typename Next>
    CancelPhase Change(Next next) noexcept;

    std::atomic<CancelPhase> phase_{CancelPhase::Closed};
};

// The record of a step the person stopped: cause Cancelled (no box, exit
// code 1602), "cancelled by the user at N%" with the step's percentage reached.
Failure CancelledByUser(std::string step, int percent);

}  // namespace kavrel
