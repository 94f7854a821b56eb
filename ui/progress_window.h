#pragma once
// The progress window: a small topmost window with a caption, a status line
// and a progress bar, centred on the screen and run by a thread of its own.
// The main thread drives it through the operations below; the first
// ShowProgressWindow starts the thread and returns without waiting for the
// window. The window and its texts are drawn in the system's message font,
// laid out for that font at the system's DPI. It is never activated by the
// installer; a person may activate it, and then presses its Cancel button
// with Esc, Enter or Space as well as with the mouse.
//
// The window offers the user no way to close it, only to cancel the long
// step that runs (ProgressStep); the module's shut-down
// closes it and waits (bounded) for its thread. The state the thread uses is
// never destroyed, so a thread still running when the program returns from
// its entry touches nothing already torn down.
#include <windows.h>

#include <memory>

#include "base/byte_progress.h"
#include "base/shown_text.h"
#include "ui/progress_rules.h"

#include "platform/cancellation.h"
#include "platform/unique_handle.h"

namespace kavrel {

// The window's thread: registers the class "PlainWindow", creates the window
// and runs its message loop. One per process, owned by this module; the
// object lives until the process ends, so the thread never outlives it.
class TSetupForm {
public:
    TSetupForm() = default;
    TSetupForm(const TSetupForm&) = delete;
    TSetupForm& operator=(const TSetupForm&) = delete;

    // Starts the thread at once, not suspended; false when it was started
    // before or the system cannot start one.
    bool Start();
    // The thread, for whoever wants to wait for its end; null before Start.
    HANDLE ThreadHandle() const noexcept { return thread_.get(); }
    // The thread's id; 0 before Start.
    DWORD ThreadId() const noexcept { return threadId_; }

private:
    static DWORD WINAPI ThreadEntry(void* parameter) noexcept;
    // The thread body: the window, then the message loop until WM_QUIT.
    void Execute();

    UniqueHandle thread_;
    DWORD threadId_ = 0;
};

// Sets the window's caption; before the window exists, stores it as the
// caption the window is created with.
void SetProgressCaption(const ShownText& caption);
// Sets the status line; before the window exists the text is lost.
void SetProgressStatus(const ShownText& status);
// Hides the window; while the window is being created, it is created hidden;
// before the first show, does nothing.
void HideProgressWindow();
// Shows the window with these texts at the place computed when it was
// created; the first call starts the window thread instead and returns
// without waiting for it.
void ShowProgressWindow(const ShownText& caption, const ShownText& status);

// Shows the window again with the texts it had when it was hidden; before
// the first show, starts it as ShowProgressWindow("", "") does.
void ShowProgressWindowAgain();
// Moves the bar to percent (0 to 100). Posted to the window's thread: the
// caller never waits for the window. Before the window exists, the position
// is kept for its creation.
void SetProgressPosition(int percent);
// One long step of an interactive run in the progress window: shown with
// its texts from the start, the bar following the bytes done, moved only
// when the shown percentage changes, and its Cancel button reaching the
// step through the gate of Cancel(), which is open from the start and
// enables the button while it takes a press. When the step ends, the gate
// closes. An inactive step shows nothing and cannot be cancelled.
class ProgressStep {
public:
    ProgressStep(bool active, const ProgressTexts& texts);
    ProgressStep(const ProgressStep&) = delete;
    ProgressStep& operator=(const ProgressStep&) = delete;
    ~ProgressStep();

    // What the read or write of the step reports to; empty when inactive.
    // Valid while the step lives.
    ByteProgress Reporter();
    // What the step's read or write looks at between its blocks and slices;
    // null when inactive. Valid while the step lives.
    Cancellation* Cancel() noexcept { return cancel_.get(); }

private:
    bool active_;
    ProgressMeter meter_;
    std::unique_ptr<Cancellation> cancel_;
};

// The caption stored for the window's creation (ProgressCaption).
ShownText ProgressCaption();
// The status text stored for the window's creation (ProgressStatus).
ShownText ProgressStatus();
// True once the window thread has created the window, even when the creation
// failed; from then on the handles and the position below are set.
bool ProgressWindowCreated();
// The top-level window; null until ProgressWindowCreated.
HWND ProgressWindowHandle();
// The status line; null until ProgressWindowCreated.
HWND ProgressLabelHandle();
// The progress bar (kept, never moved); null until ProgressWindowCreated.
HWND ProgressBarHandle();
// The Cancel button; null until ProgressWindowCreated.
HWND ProgressCancelButtonHandle();
// The window's top-left corner and outer size, computed once at creation;
// 0 until ProgressWindowCreated.
int ProgressWindowX();
int ProgressWindowY();
int ProgressWindowWidth();
int ProgressWindowHeight();

// The module's shut-down: closes the window, waits (at most a few seconds)
// for its thread to end, and forgets the stored caption and status text.
// Also run by itself when the program ends.
void ShutDownProgressWindow();

}  // namespace kavrel
