#include "platform/cancellation.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace kavrel {

namespace {
// Without an event, how long a wait sleeps between two looks at the gate.
constexpr std::uint32_t kLookIntervalMs = 50;
}  // namespace

Cancellation::Cancellation(std::function<void()> onChange)
    : pressed_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), onChange_(std::move(onChange)) {}

void Cancellation::Changed() noexcept {
    if (!onChange_) return;
    // A broken progress window must never stop the update.
    try {
        onChange_();
    } catch (const std::exception&) {
    }
}

void Cancellation::Open() noexcept {
    gate_.Open();
    // A press of an earlier try no longer counts.
    if (pressed_ && !gate_.Requested()) ::ResetEvent(pressed_.get());
    Changed();
}

void Cancellation::FailTry() noexcept {
    gate_.FailTry();
    Changed();
}

void Cancellation::Close() noexcept {
    gate_.Close();
    Changed();
}

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

void Cancellation::EndCommit(bool committed) noexcept {
    gate_.EndCommit(committed);
    // A try that failed leaves the window as it was: a press is taken as
    // before it, or was taken during it and disabled the button then.
    if (committed) Changed();
}

}  // namespace kavrel
