#include "base/cancel_rules.h"

#include <utility>

namespace kavrel {

bool TakesPress(CancelPhase phase) { return phase == CancelPhase::Open || phase == CancelPhase::Committing; }

template <typename Next>
CancelPhase CancelGate::Change(Next next) noexcept {
    CancelPhase phase = phase_.load(std::memory_order_acquire);
    for (;;) {
        const CancelPhase changed = next(phase);
        if (changed == phase || phase_.compare_exchange_weak(phase, changed, std::memory_order_acq_rel))
            return changed;
    }
}

void CancelGate::Open() noexcept {
    Change([](CancelPhase now) { return now == CancelPhase::Committed ? now : CancelPhase::Open; });
}

void CancelGate::FailTry() noexcept {
    Change([](CancelPhase now) {
        return now == CancelPhase::Committed || now == CancelPhase::Closed ? now : CancelPhase::Failed;
    });
}

bool CancelGate::Request() noexcept {
    const CancelPhase after = Change([](CancelPhase now) {
        switch (now) {
            case CancelPhase::Open: return CancelPhase::Requested;
            case CancelPhase::Committing: return CancelPhase::CommittingRequested;
            default: return now;
        }
    });
    return after == CancelPhase::Requested || after == CancelPhase::CommittingRequested;
}

bool CancelGate::BeginCommit() noexcept {
    const CancelPhase after =
        Change([](CancelPhase now) { return now == CancelPhase::Open ? CancelPhase::Committing : now; });
    return after != CancelPhase::Requested;
}

bool CancelGate::EndCommit(bool committed) noexcept {
    const CancelPhase after = Change([committed](CancelPhase now) {
        if (now == CancelPhase::Committing || now == CancelPhase::CommittingRequested) {
            if (committed) return CancelPhase::Committed;
            return now == CancelPhase::Committing ? CancelPhase::Open : CancelPhase::Requested;
        }
        // Not inside a try: nothing to end.
        return now;
    });
    return after == CancelPhase::Requested;
}

Failure CancelledByUser(std::string step, int percent) {
    const int shown = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    return Finding(FailureCause::Cancelled, std::move(step), "cancelled by the user at " + std::to_string(shown) + "%");
}

}  // namespace kavrel
