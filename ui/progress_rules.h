#pragma once
// The progress window's geometry, styles and the bookkeeping between the
// main thread's four operations and the window thread, as plain rules. The
// Windows side (ui/progress_window.cpp) keeps one ProgressWindowModel under a
// lock and carries out the actions it hands back once the lock is released:
// a call into another thread's window waits for that thread, so it is never
// made while the lock is held.
#include <cstdint>
#include <optional>

#include "base/cancel_rules.h"
#include "base/shown_text.h"

namespace kavrel {

// The screen resolution at which the sizes below hold.
constexpr std::int32_t kBaseDpi = 96;

// The window class: CS_VREDRAW + CS_HREDRAW + CS_NOCLOSE.
constexpr std::uint32_t kProgressClassStyle = 0x203;
constexpr int kProgressClassExtraBytes = 4;
constexpr int kProgressWindowExtraBytes = 4;
// WS_EX_DLGMODALFRAME + WS_EX_TOPMOST + WS_EX_STATICEDGE + WS_EX_APPWINDOW.
// The window never takes the keyboard by itself: it is shown without
// activation, so the box after it gets the keyboard. A person who clicks it
// or switches to it gives it the keyboard, so that Cancel is reachable
// without a mouse; hidden before a message box while it is active, it would
// hand the activation to whatever window Windows picks, another program's,
// and the foreground lock would then keep the box from becoming active: the
// hide first lets the process set the foreground again. WS_EX_APPWINDOW
// gives it a taskbar button, so that a person who switched away during a
// long write finds it again and sees the write's progress there.
constexpr std::uint32_t kProgressWindowExStyle = 0x00060009;
// WS_DLGFRAME only: no system menu, hence no close, minimise or maximise button.
constexpr std::uint32_t kProgressWindowStyle = 0x00400000;
// WS_CHILD + WS_VISIBLE, left-aligned text.
constexpr std::uint32_t kStatusLineStyle = 0x50000000;
// WS_CHILD + WS_VISIBLE + WS_THICKFRAME.
constexpr std::uint32_t kProgressBarStyle = 0x50040000;
// WS_CHILD + WS_VISIBLE + WS_TABSTOP + BS_DEFPUSHBUTTON: Enter presses it
// as it presses a box's default button.
constexpr std::uint32_t kCancelButtonStyle = 0x50010001;
// IDCANCEL: Esc presses it through the dialog keys of the window's loop.
constexpr int kCancelButtonId = 2;

// A rectangle in the parent's client area.
struct ChildPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
// The children at 96 DPI with a small font, the least they get.
constexpr ChildPlacement kStatusLinePlacement{2, 2, 399, 20};
constexpr ChildPlacement kProgressBarPlacement{2, 24, 400, 20};
// The Cancel button below the bar at its right end, as large as a message
// box's button (50 x 14 dialog units with the 8-point message font).
constexpr ChildPlacement kCancelButtonPlacement{327, 50, 75, 23};

// What the layout needs of the font the window's texts are drawn in, in
// pixels: the height of a line (tmHeight + tmExternalLeading) and the
// average width of a character (tmAveCharWidth).
struct TextMetricsPx {
    std::int32_t lineHeight = 0;
    std::int32_t averageCharWidth = 0;
};

// What the window's frame (title bar and borders) adds on each side of its
// client area: AdjustWindowRectEx of an empty rectangle, with the signs
// turned so that every inset is a width.
struct FrameInsets {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The window's outer size, its client size and its children.
struct ProgressLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    ChildPlacement statusLine;
    ChildPlacement progressBar;
    ChildPlacement cancelButton;
};

// Room for this many average characters on the status line: its longest
// text has 36, and capitals and Cyrillic letters are wider than the average.
constexpr std::int32_t kStatusLineCharacters = 48;
// Room for this many average characters on the Cancel button: "Отмена" has
// 6, capitals and Cyrillic letters are wider, and the button's edges take
// some more.
constexpr std::int32_t kCancelButtonCharacters = 12;
// What the button's edges add to the height of its line, at 96 DPI.
constexpr std::int32_t kCancelButtonEdges = 10;

// The layout for a font and a frame at a screen resolution. The children's
// sizes at 96 DPI above, times dpi / 96 and rounded to the nearest pixel, are
// the least: a DPI-aware window is drawn at its size in pixels. A font larger
// than they allow (a large message font, a high resolution) makes the status
// line as high as its line and as wide as kStatusLineCharacters, and the bar
// follows; the Cancel button is as wide as kCancelButtonCharacters and a
// line higher by its edges (10 pixels at 96 DPI), at the bar's right end
// below it; the client area holds all three with their margins, and the outer size
// is the client size plus the frame, so that neither the text nor the bar is
// cut off whatever the system draws around them. A dpi that is not positive
// (unknown) counts as 96; negative metrics or insets count as 0, and any
// value is taken as at most 32767 pixels.
ProgressLayout LayoutProgressWindow(std::int32_t dpi, const TextMetricsPx& text, const FrameInsets& frame);

// The bar's position from 0 to 100 after `done` of `total` bytes, rounded
// down, so that 100 means everything is done; 100 when there is nothing to do.
int ProgressPercent(std::uint64_t done, std::uint64_t total);

// The least time between two moves of the bar, but for the last one. Each
// move is a message to the window's thread and a repaint, which under Wine
// go through the wineserver and the X server: from the page cache a step runs
// through its hundred percent in some 40 ms, and a move per percent made it
// measurably slower (scripts/bench). At twenty moves a second the write of
// the package with the window up still ran up to a tenth slower than
// without it on two cores; ten a second still look smooth.
constexpr std::uint64_t kProgressMoveIntervalMs = 100;

// What the bar shows of one long step: a new position only when it changes,
// and not sooner than kProgressMoveIntervalMs after the last one (or after
// the step began with its bar empty), but for the full bar. A step that ends
// within the interval moves the bar once: a move while the step reads costs
// it more than a move once it is done.
class ProgressMeter {
public:
    // A step whose bar was shown empty at `startMs`.
    explicit ProgressMeter(std::uint64_t startMs) : shownAtMs_(startMs) {}

    // Whether `done` of `total` bytes is another percentage than the bar
    // shows: only then is the time worth asking for (a system call each
    // time, under Wine a few microseconds).
    bool PercentageChanges(std::uint64_t done, std::uint64_t total) const;

    // The position to show after `done` of `total` bytes at the time `nowMs`
    // (the clock of `startMs`); nothing when the bar is to stay as it is.
    std::optional<int> Advance(std::uint64_t done, std::uint64_t total, std::uint64_t nowMs);

private:
    int shown_ = 0;
    std::uint64_t shownAtMs_;
};

// What the taskbar button shows (ITaskbarList3's TBPF_NOPROGRESS,
// TBPF_NORMAL, TBPF_ERROR).
enum class TaskbarState : std::uint8_t { NoProgress, Normal, Error };

// The taskbar button's state at the running step's phase: the bar's
// progress while the window is shown, the error state while a failed try is
// asked about, none while it is hidden. A failed write's box hides the
// window, and its button with it: the error state is set all the same, and
// what stands on the taskbar meanwhile is the box's own button, without
// progress.
TaskbarState TaskbarStateOf(CancelPhase phase, bool visible);

// What the taskbar button is to show now.
struct TaskbarView {
    TaskbarState state = TaskbarState::NoProgress;
    int position = 0;
    friend bool operator==(const TaskbarView&, const TaskbarView&) = default;
};

// The Cancel button's label in the message language.
ShownText CancelButtonText(bool russian);

// The top-left corner of a window.
struct WindowPosition {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// The corner that centres a window of that size on a screen of that size,
// rounded down; a coordinate that would be negative (a screen smaller than
// the window, or unknown metrics of 0) is 0, so the title bar stays reachable.
WindowPosition CenteredPosition(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t width,
                                std::int32_t height);

// Where the progress window stands in its life.
enum class ProgressPhase {
    NotStarted,  // no thread yet
    Starting,    // the thread runs and has not yet published the window
    Running,     // the window exists and the operations reach it
    Ended,       // no window to reach any more, and no thread will be started again
};

// What to do to the window after the lock is released.
struct ProgressAction {
    enum class Visibility { Keep, Show, Hide };

    bool startThread = false;
    bool setCaption = false;
    ShownText caption;
    bool setStatus = false;
    ShownText status;
    bool setPosition = false;
    int position = 0;
    Visibility visibility = Visibility::Keep;
    // Enable or disable the Cancel button.
    bool setCancel = false;
    bool cancelEnabled = false;
    // The taskbar button's state or position may have changed (TaskbarView).
    bool refreshTaskbar = false;
    // Destroy the window, which ends its thread.
    bool close = false;
};

// The texts the window thread creates the window with.
struct ProgressTexts {
    ShownText caption;
    ShownText status;
    int position = 0;
};

// The shared state of the progress window. Not thread-safe by itself: the
// caller serialises every call. Each main-thread operation and each step of
// the window thread returns what must then be done to the window.
class ProgressWindowModel {
public:
    // Main thread. Before the window exists the caption is only stored and
    // becomes the window's caption; afterwards it goes to the window.
    ProgressAction SetCaption(ShownText caption);
    // Main thread. Reaches the status line only once the window exists; before
    // that the text is lost.
    ProgressAction SetStatus(ShownText status);
    // Main thread. Hides the window; while it is still being created, it is
    // created hidden.
    ProgressAction Hide();
    // Main thread. The first call stores the texts and asks for the thread to
    // be started; while the window is being created the texts are stored and
    // the window thread applies them; afterwards both texts go to the window,
    // which is shown. The bar starts empty. Never asks for a second thread.
    ProgressAction Show(ShownText caption, ShownText status);
    // Main thread. Shows the window again with the texts it had when it was
    // hidden; a window never started starts as Show with empty texts.
    ProgressAction ShowAgain();
    // Main thread. Moves the bar (0 to 100); before the window exists the
    // position is kept for its creation.
    ProgressAction SetPosition(int percent);
    // Main thread. Closes the window, which ends its thread; a window still
    // being created is closed as soon as it exists. Nothing is shown again.
    ProgressAction Close();
    // Main thread: the running step's gate is at `phase` (Closed without a
    // step): enables Cancel where a press is taken and disables it
    // otherwise, once the window exists (it is created so), and refreshes
    // the taskbar.
    ProgressAction CancelPhaseChanged(CancelPhase phase);
    // Main thread: the thread asked for could not be started; the next Show tries again.
    void StartFailed();

    // Window thread: the texts to create the window with.
    ProgressTexts BeginCreation();
    // Window thread: it ends without having created a window (its class could
    // not be registered); no thread is started again.
    void AbandonCreation();
    // Window thread: the window was created (or `windowExists` false: its
    // creation failed), with the running step's gate at `phase`. Publishes it
    // and returns what the window thread must still do to its own window:
    // texts and position stored since BeginCreation, the Cancel button's
    // state, and Show when the window is wanted visible, or Close when it
    // was closed meanwhile.
    ProgressAction FinishCreation(bool windowExists, CancelPhase phase);
    // Window thread: the window was destroyed and the message loop has ended.
    void WindowEnded();
    // Window thread: what the taskbar button is to show with the running
    // step's gate at `phase`.
    TaskbarView Taskbar(CancelPhase phase) const;

    // The module's shut-down: forgets the stored texts.
    void ShutDown();

    // The stored caption (ProgressCaption).
    const ShownText& Caption() const { return caption_; }
    // The stored status text (ProgressStatus).
    const ShownText& Status() const { return status_; }
    // True once the window thread has published its window, even a failed one (ProgressWindowCreated).
    bool Created() const { return created_; }
    ProgressPhase Phase() const { return phase_; }

private:
    ProgressPhase phase_ = ProgressPhase::NotStarted;
    bool created_ = false;
    bool wantVisible_ = false;
    bool closed_ = false;
    int position_ = 0;
    ShownText caption_;
    ShownText status_;
    ProgressTexts usedForCreation_;
};

}  // namespace kavrel
