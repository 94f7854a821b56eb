#include "base/cancel_rules.h"

#include <utility>

namespace kavrel {

bool CancelGate::Request() noexcept {
    CancelPhase phase = phase_.load(std::memory_order_acquire);
    for (;;) {
        CancelPhase next = phase;
        switch (phase) {
            case CancelPhase::Open: next = CancelPhase::Requested; break;
            case CancelPhase::Committing: next = CancelPhase::CommittingRequested; break;
            case CancelPhase::Requested:
            case CancelPhase::CommittingRequested: return true;
            case CancelPhase::Committed: return false;
        }
        if (phase_.compare_exchange_weak(phase, next, std::memory_order_acq_rel)) return true;
    }
}

bool CancelGate::Requested() const noexcept { return Phase() == CancelPhase::Requested; }

bool CancelGate::BeginCommit() noexcept {
    CancelPhase expected = CancelPhase::Open;
    return phase_.compare_exchange_strong(expected, CancelPhase::Committing, std::memory_order_acq_rel);
}

bool CancelGate::EndCommit(bool committed) noexcept {
    CancelPhase phase = phase_.load(std::memory_order_acquire);
    for (;;) {
        CancelPhase next = phase;
        switch (phase) {
            case CancelPhase::Committing: next = committed ? CancelPhase::Committed : CancelPhase::Open; break;
            case CancelPhase::CommittingRequested:
                next = committed ? CancelPhase::Committed : CancelPhase::Requested;
                break;
            // Not inside a try: nothing to end.
            default: return phase == CancelPhase::Requested;
        }
        if (phase_.compare_exchange_weak(phase, next, std::memory_order_acq_rel)) return next == CancelPhase::Requested;
    }
}

void CancelGate::BeginAttempt() noexcept {
    CancelPhase expected = CancelPhase::Requested;
    phase_.compare_exchange_strong(expected, CancelPhase::Open, std::memory_order_acq_rel);
}

Failure CancelledByUser(std::string step, int percent) {
    const int shown = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    return Finding(FailureCause::Cancelled, std::move(step), "cancelled by the user at " + std::to_string(shown) + "%");
}

}  // namespace kavrel
