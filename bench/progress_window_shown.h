#pragma once
// The progress window of an interactive run, up and visible before a probe
// starts its clock: the probes time the work with the window's bar
// following it, not the window's start.
#include <windows.h>

#include <memory>

#include "ui/progress_window.h"

namespace kavrel::bench {

// A step with the update's title and `status`, shown when `shown` (else
// inactive); waits (at most 10 s) until the window is visible.
inline std::unique_ptr<ProgressStep> ShownProgressStep(bool shown, const char* status) {
    auto step = std::make_unique<ProgressStep>(shown, ProgressTexts{"Lexova update", status});
    for (int waited = 0; shown && waited < 10000; ++waited) {
        HWND window = ProgressWindowCreated() ? ProgressWindowHandle() : nullptr;
        if (window && ::IsWindowVisible(window)) break;
        ::Sleep(1);
    }
    return step;
}

}  // namespace kavrel::bench
