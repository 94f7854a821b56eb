#include "platform/cancellation.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace kavrel {

namespace {
// Without an event, how long a wait sleeps between two looks at the gate.
constexpr std::uint32_t kLookIntervalMs = 50;
}  // namespace

Cancellation::Cancellation(std::function<void()> onCommitted)
    : pressed_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), onCommitted_(std::move(onCommitted)) {}

bool Cancellation::Request() noexcept {
    if (!gate_.Request()) return false;
    // Set even while the replace is tried: a failed try waits again, and that
    // wait must end at once; a successful one never waits on it.
    if (pressed_) ::SetEvent(pressed_.get());
    return true;
}

void Cancellation::Wait(std::uint32_t ms) const noexcept {
    if (pressed_) {
        ::WaitForSingleObject(pressed_.get(), ms);
        return;
    }
    while (ms > 0 && !Requested()) {
        const std::uint32_t slice = std::min(ms, kLookIntervalMs);
        ::Sleep(slice);
        ms -= slice;
    }
}

void Cancellation::BeginAttempt() noexcept {
    gate_.BeginAttempt();
    if (pressed_ && !gate_.Requested()) ::ResetEvent(pressed_.get());
}

void Cancellation::EndCommit(bool committed) noexcept {
    gate_.EndCommit(committed);
    if (!committed || !onCommitted_) return;
    // A broken progress window must never stop the update.
    try {
        onCommitted_();
    } catch (const std::exception&) {
    }
}

}  // namespace kavrel
