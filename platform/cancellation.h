#pragma once
// The press of Cancel in the progress window, as the long steps see it: the
// window's thread requests, the step looks between its blocks and slices,
// and a wait for a held file sleeps on an event that the press sets, so that
// it ends at once rather than after its interval.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "base/cancel_rules.h"
#include "platform/unique_handle.h"

namespace kavrel {

class Cancellation {
public:
    // `onChange` runs on the step's thread after each change of the step's
    // that alters what the window shows (it then enables or disables its
    // button and refreshes its taskbar button).
    explicit Cancellation(std::function<void()> onChange = {});
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    // The step: see CancelGate.
    void Open() noexcept;
    void FailTry() noexcept;
    void Close() noexcept;
    // Any thread: the person pressed Cancel; false when no press is taken now.
    bool Request() noexcept;
    // True once the step is to stop.
    bool Requested() const noexcept { return gate_.Requested(); }
    CancelPhase Phase() const noexcept { return gate_.Phase(); }
    // Sleeps `ms` milliseconds, or less when a press comes meanwhile.
    void Wait(std::uint32_t ms) const noexcept;
    // Around the replace: see CancelGate. BeginCommit false: stop instead.
    bool BeginCommit() noexcept { return gate_.BeginCommit(); }
    void EndCommit(bool committed) noexcept;

private:
    CancelGate gate_;
    // Manual-reset, set by the press; none when the system gave none (the
    // wait then looks at the gate in short sleeps).
    UniqueHandle pressed_;
    std::function<void()> onChange_;

    void Changed() noexcept;
};

}  // namespace kavrel
