#pragma once
// The progress window's taskbar button showing the bar's progress, through
// the shell's ITaskbarList3 (Windows 7 and later). Used on the window's
// thread only: COM is initialised there, and only once the shell says the
// button exists. Where the system has no such interface nothing is shown.
#include <windows.h>

#include <shobjidl.h>

#include <memory>
#include <optional>

#include "platform/com_ptr.h"
#include "platform/com_runtime.h"
#include "ui/progress_rules.h"

namespace kavrel {

class TaskbarProgress {
public:
    TaskbarProgress() = default;
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;
    ~TaskbarProgress() = default;

    // The message the shell sends a window once its taskbar button exists
    // ("TaskbarButtonCreated"); 0 when the system cannot register it.
    static UINT ButtonCreatedMessage() noexcept;

    // Lets the shell's message through the filter of an elevated window,
    // which otherwise drops it as coming from a process of lower integrity
    // (ChangeWindowMessageFilterEx, Windows 7 and later, looked up here).
    static void LetButtonCreatedThrough(HWND window) noexcept;

    // The button exists (again, after Explorer restarted): reaches the
    // shell's taskbar list the first time, and shows `view` on `window`.
    void ButtonCreated(HWND window, const TaskbarView& view) noexcept;

    // Shows `view` on the window's button once the list has been reached.
    void Show(HWND window, const TaskbarView& view) noexcept;

private:
    // Declared so that they go in the reverse order: the list, then the
    // apartment, then the DLLs.
    std::optional<ComRuntime> runtime_;
    std::unique_ptr<ComApartment> apartment_;
    ComPtr<ITaskbarList3> list_;
    bool tried_ = false;
};

}  // namespace kavrel
