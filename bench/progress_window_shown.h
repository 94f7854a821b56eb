#pragma once
// The progress window of an interactive run, up and visible before a probe
// starts its clock: the probes time the work with the window's bar
// following it, not the window's start.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "base/byte_progress.h"
#include "ui/progress_rules.h"
#include "ui/progress_window.h"

namespace kavrel::bench {

// A step with the update's title and `status` (its Cancel button up, as in
// the installer), shown when `shown` (else inactive). Waits (at most 10 s)
// until the window is visible and then until it is drawn and its thread
// idle: what the window costs to start up is figure 5a's, not the step's.
inline std::unique_ptr<ProgressStep> ShownProgressStep(bool shown, const char* status) {
    auto step = std::make_unique<ProgressStep>(shown, ProgressTexts{"Lexova update", status});
    if (!shown) return step;
    HWND window = nullptr;
    for (int waited = 0; waited < 10000 && !window; ++waited) {
        window = ProgressWindowCreated() ? ProgressWindowHandle() : nullptr;
        if (window && !::IsWindowVisible(window)) window = nullptr;
        if (!window) ::Sleep(1);
    }
    if (window) {
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // Wine hands the drawing to the X server after the window's thread is done with it.
        ::Sleep(200);
    }
    return step;
}

// What the step's reporter does, with its bar's interval counted from now:
// in the installer the step begins right before its read or write, while a
// probe's step began before it waited for the window to be drawn. Empty
// when the window is not shown.
inline ByteProgress BarFollowingFromNow(bool shown) {
    if (!shown) return {};
    auto meter = std::make_shared<ProgressMeter>(::GetTickCount());
    return [meter](std::uint64_t done, std::uint64_t total) {
        if (!meter->PercentageChanges(done, total)) return;
        if (std::optional<int> percent = meter->Advance(done, total, ::GetTickCount())) SetProgressPosition(*percent);
    };
}

}  // namespace kavrel::bench
