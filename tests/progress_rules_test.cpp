#include "ui/progress_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace kavrel {
namespace {

using Visibility = ProgressAction::Visibility;
// The gate without a long step.
constexpr CancelPhase kNoStep = CancelPhase::Closed;

bool DoesNothing(const ProgressAction& action) {
    return !action.startThread && !action.setCaption && !action.setStatus && !action.setPosition && !action.close &&
           !action.setCancel && !action.refreshTaskbar && action.visibility == Visibility::Keep;
}

TEST(ProgressWindowGeometry, IsTheTabledStylesAndChildren) {
    EXPECT_EQ(kProgressClassStyle, 515u);
    EXPECT_EQ(kProgressClassExtraBytes, 4);
    EXPECT_EQ(kProgressWindowExtraBytes, 4);
    // Without WS_EX_NOACTIVATE: a person may give it the keyboard; with WS_EX_APPWINDOW: a taskbar button.
    EXPECT_EQ(kProgressWindowExStyle, 0x00060009u);
    EXPECT_EQ(kProgressWindowStyle, 0x00400000u);
    EXPECT_EQ(kStatusLineStyle, 0x50000000u);
    EXPECT_EQ(kProgressBarStyle, 0x50040000u);
    // A default push button that takes the tab stop, with the id Esc presses.
    EXPECT_EQ(kCancelButtonStyle, 0x50010001u);
    EXPECT_EQ(kCancelButtonId, 2);
    EXPECT_EQ(kStatusLinePlacement.x, 2);
    EXPECT_EQ(kStatusLinePlacement.y, 2);
    EXPECT_EQ(kStatusLinePlacement.width, 399);
    EXPECT_EQ(kStatusLinePlacement.height, 20);
    EXPECT_EQ(kProgressBarPlacement.x, 2);
    EXPECT_EQ(kProgressBarPlacement.y, 24);
    EXPECT_EQ(kProgressBarPlacement.width, 400);
    EXPECT_EQ(kProgressBarPlacement.height, 20);
    EXPECT_EQ(kCancelButtonPlacement.x, 327);
    EXPECT_EQ(kCancelButtonPlacement.y, 50);
    EXPECT_EQ(kCancelButtonPlacement.width, 75);
    EXPECT_EQ(kCancelButtonPlacement.height, 23);
}

bool Same(const ChildPlacement& a, const ChildPlacement& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(ProgressWindowGeometry, FollowsTheResolutionTheFontAndTheFrame) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* what;
        std::int32_t dpi;
        TextMetricsPx text;
        FrameInsets frame;
        std::int32_t width, height, clientWidth, clientHeight;
        ChildPlacement line, bar, button;
    };
    const FrameInsets none{};
    // A title bar of 23 and borders of 4, as a dialog frame at 96 DPI.
    const FrameInsets dialog{4, 27, 4, 4};
    // The Cancel button stands below the bar at its right end, as large as a
    // message box's button or as its label and edges need.
    const Case cases[] = {
        {"96 DPI, small font", 96, {13, 5}, none, 404, 75, 404, 75, {2, 2, 399, 20}, {2, 24, 400, 20},
         {327, 50, 75, 23}},
        {"the frame is added around the client area", 96, {13, 5}, dialog, 412, 106, 404, 75, {2, 2, 399, 20},
         {2, 24, 400, 20}, {327, 50, 75, 23}},
        {"144 DPI", 144, {19, 7}, none, 606, 113, 606, 113, {3, 3, 599, 30}, {3, 36, 600, 30}, {490, 75, 113, 35}},
        // 125 %: every size rounds to the nearest pixel on its own.
        {"120 DPI", 120, {16, 6}, none, 506, 96, 506, 96, {3, 3, 499, 25}, {3, 31, 500, 25}, {409, 64, 94, 29}},
        {"192 DPI", 192, {26, 10}, none, 808, 150, 808, 150, {4, 4, 798, 40}, {4, 48, 800, 40}, {654, 100, 150, 46}},
        // A large message font: the line as high as the font's, the bar with it,
        // room for the longest status text, and a button as wide as its label.
        {"large font", 96, {58, 22}, dialog, 1069, 227, 1061, 196, {2, 2, 1056, 58}, {2, 62, 1057, 58},
         {795, 126, 264, 68}},
        {"a line just higher than the least", 96, {21, 5}, none, 404, 85, 404, 85, {2, 2, 399, 21}, {2, 25, 400, 21},
         {327, 52, 75, 31}},
        {"unknown resolution", 0, {13, 5}, none, 404, 75, 404, 75, {2, 2, 399, 20}, {2, 24, 400, 20},
         {327, 50, 75, 23}},
        {"negative resolution", -144, {13, 5}, none, 404, 75, 404, 75, {2, 2, 399, 20}, {2, 24, 400, 20},
         {327, 50, 75, 23}},
        {"negative metrics and insets", 96, {-40, -5}, {-4, -27, -4, -4}, 404, 75, 404, 75, {2, 2, 399, 20},
         {2, 24, 400, 20}, {327, 50, 75, 23}},
        {"extreme metrics", 96, {kMax, kMax}, {kMax, kMax, kMin, kMin}, 1605588, 131090, 1572821, 98323,
         {2, 2, 1572816, 32767}, {2, 32771, 1572817, 32767}, {1179615, 65544, 393204, 32777}},
    };
    for (const Case& c : cases) {
        const ProgressLayout layout = LayoutProgressWindow(c.dpi, c.text, c.frame);
        EXPECT_EQ(layout.width, c.width) << c.what;
        EXPECT_EQ(layout.height, c.height) << c.what;
        EXPECT_EQ(layout.clientWidth, c.clientWidth) << c.what;
        EXPECT_EQ(layout.clientHeight, c.clientHeight) << c.what;
        EXPECT_TRUE(Same(layout.statusLine, c.line)) << c.what;
        EXPECT_TRUE(Same(layout.progressBar, c.bar)) << c.what;
        EXPECT_TRUE(Same(layout.cancelButton, c.button)) << c.what;
    }
}

TEST(ProgressWindowGeometry, TheClientAreaHoldsEveryChildWithItsMargins) {
    for (std::int32_t dpi : {72, 96, 120, 144, 168, 192, 288}) {
        for (std::int32_t lineHeight : {0, 8, 13, 20, 31, 58, 200}) {
            const TextMetricsPx text{lineHeight, lineHeight / 2};
            const ProgressLayout layout = LayoutProgressWindow(dpi, text, {3, 22, 3, 3});
            const ChildPlacement& line = layout.statusLine;
            const ChildPlacement& bar = layout.progressBar;
            const ChildPlacement& button = layout.cancelButton;
            EXPECT_GE(line.height, lineHeight) << dpi << " " << lineHeight;
            // The button's label fits with its edges, below the bar and within its width.
            EXPECT_GE(button.height, lineHeight + (kCancelButtonEdges * dpi + 48) / 96) << dpi << " " << lineHeight;
            EXPECT_GE(button.width, text.averageCharWidth * kCancelButtonCharacters) << dpi << " " << lineHeight;
            EXPECT_GT(button.y, bar.y + bar.height) << dpi << " " << lineHeight;
            EXPECT_EQ(button.x + button.width, bar.x + bar.width) << dpi << " " << lineHeight;
            EXPECT_GE(button.x, bar.x) << dpi << " " << lineHeight;
            EXPECT_GE(line.width, text.averageCharWidth * kStatusLineCharacters) << dpi << " " << lineHeight;
            EXPECT_GE(bar.y, line.y + line.height) << dpi << " " << lineHeight;
            EXPECT_EQ(layout.clientWidth, bar.x + bar.width + line.x) << dpi << " " << lineHeight;
            EXPECT_GE(layout.clientWidth, line.x + line.width) << dpi << " " << lineHeight;
            EXPECT_EQ(layout.clientHeight, button.y + button.height + line.y) << dpi << " " << lineHeight;
            EXPECT_EQ(layout.width, layout.clientWidth + 6) << dpi << " " << lineHeight;
            EXPECT_EQ(layout.height, layout.clientHeight + 25) << dpi << " " << lineHeight;
        }
    }
}

TEST(ProgressStages, TheTaskbarShowsTheErrorWhileAFailedTryIsAskedAbout) {
    using Bar = TaskbarState;
    struct Case {
        CancelPhase phase;
        Bar shown, hidden;
    };
    const Case cases[] = {
        {CancelPhase::Closed, Bar::Normal, Bar::NoProgress},
        {CancelPhase::Open, Bar::Normal, Bar::NoProgress},
        {CancelPhase::Committed, Bar::Normal, Bar::NoProgress},
        // Set before the box hides the window, and kept while it is up.
        {CancelPhase::Failed, Bar::Error, Bar::Error},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TaskbarStateOf(c.phase, true), c.shown) << static_cast<int>(c.phase);
        EXPECT_EQ(TaskbarStateOf(c.phase, false), c.hidden) << static_cast<int>(c.phase);
    }
    EXPECT_EQ(CancelButtonText(false), "Cancel");
    EXPECT_EQ(CancelButtonText(true), "Отмена");
}

TEST(ProgressPercent, IsFullOnlyWhenEverythingIsDone) {
    EXPECT_EQ(ProgressPercent(0, 1000), 0);
    EXPECT_EQ(ProgressPercent(1, 1000), 0);
    EXPECT_EQ(ProgressPercent(999, 1000), 99);
    EXPECT_EQ(ProgressPercent(1000, 1000), 100);
    EXPECT_EQ(ProgressPercent(1048576, 249191962), 0);
    EXPECT_EQ(ProgressPercent(124595980, 249191962), 49);
    EXPECT_EQ(ProgressPercent(124595981, 249191962), 50);
    EXPECT_EQ(ProgressPercent(0, 0), 100);
    const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(ProgressPercent(huge - 1, huge), 99);
    EXPECT_EQ(ProgressPercent(huge / 2, huge), 49);
}

TEST(ProgressMeter, MovesTheBarOnlyWhenThePercentageChangesAndNotTooOften) {
    ProgressMeter meter(1000);
    // Shown empty at the start: nothing to move, and no move within the interval.
    EXPECT_FALSE(meter.PercentageChanges(3, 400));
    EXPECT_TRUE(meter.PercentageChanges(4, 400));
    EXPECT_EQ(meter.Advance(0, 400, 1000), std::nullopt);
    EXPECT_EQ(meter.Advance(20, 400, 1000 + kProgressMoveIntervalMs - 1), std::nullopt);
    EXPECT_EQ(meter.Advance(3, 400, 2000), std::nullopt);
    EXPECT_EQ(meter.Advance(4, 400, 2000), 1);
    EXPECT_EQ(meter.Advance(5, 400, 3000), std::nullopt);
    // A new percentage within the interval waits for a later slice...
    EXPECT_EQ(meter.Advance(40, 400, 2000 + kProgressMoveIntervalMs - 1), std::nullopt);
    EXPECT_EQ(meter.Advance(44, 400, 2000 + kProgressMoveIntervalMs), 11);
    // ...but the full bar never does.
    EXPECT_EQ(meter.Advance(400, 400, 2000 + kProgressMoveIntervalMs), 100);
    EXPECT_EQ(meter.Advance(400, 400, 9000), std::nullopt);
    EXPECT_FALSE(meter.PercentageChanges(400, 400));

    // A step done within the interval: one move, to the full bar.
    ProgressMeter quick(0xFFFFFFF0u);
    EXPECT_EQ(quick.Advance(200, 400, 0xFFFFFFF8u), std::nullopt);
    EXPECT_EQ(quick.Advance(400, 400, 0xFFFFFFFAu), 100);
}

TEST(ProgressCenteredPosition, CentresOnCommonScreens) {
    EXPECT_EQ(CenteredPosition(1280, 1024, 408, 76), (WindowPosition{436, 474}));
    EXPECT_EQ(CenteredPosition(1024, 768, 408, 76), (WindowPosition{308, 346}));
    EXPECT_EQ(CenteredPosition(1920, 1080, 408, 76), (WindowPosition{756, 502}));
}

TEST(ProgressCenteredPosition, RoundsHalfPixelsDown) {
    EXPECT_EQ(CenteredPosition(1281, 1025, 408, 76), (WindowPosition{436, 474}));
    EXPECT_EQ(CenteredPosition(409, 77, 408, 76), (WindowPosition{0, 0}));
    EXPECT_EQ(CenteredPosition(410, 78, 408, 76), (WindowPosition{1, 1}));
}

TEST(ProgressCenteredPosition, ScreenOfTheWindowsSizeGivesTheOrigin) {
    EXPECT_EQ(CenteredPosition(408, 76, 408, 76), (WindowPosition{0, 0}));
}

TEST(ProgressCenteredPosition, SmallerScreenPutsTheWindowAtTheOrigin) {
    EXPECT_EQ(CenteredPosition(320, 60, 408, 76), (WindowPosition{0, 0}));
    EXPECT_EQ(CenteredPosition(407, 75, 408, 76), (WindowPosition{0, 0}));
    // Each coordinate on its own: narrow but tall, wide but low.
    EXPECT_EQ(CenteredPosition(320, 1024, 408, 76), (WindowPosition{0, 474}));
    EXPECT_EQ(CenteredPosition(1280, 50, 408, 76), (WindowPosition{436, 0}));
}

TEST(ProgressCenteredPosition, UnknownOrNegativeMetricsGiveTheOrigin) {
    // GetSystemMetrics answers 0 when it fails.
    EXPECT_EQ(CenteredPosition(0, 0, 408, 76), (WindowPosition{0, 0}));
    EXPECT_EQ(CenteredPosition(-5, -1000, 408, 76), (WindowPosition{0, 0}));
}

TEST(ProgressCenteredPosition, ExtremeValuesDoNotOverflow) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(CenteredPosition(kMax, kMax, 408, 76), (WindowPosition{(kMax - 408) / 2, (kMax - 76) / 2}));
    EXPECT_EQ(CenteredPosition(kMax, kMax, kMin, kMin), (WindowPosition{kMax, kMax}));
    EXPECT_EQ(CenteredPosition(kMin, kMin, kMax, kMax), (WindowPosition{0, 0}));
}

TEST(ProgressWindowModel, StartsWithNothing) {
    ProgressWindowModel model;
    EXPECT_EQ(model.Phase(), ProgressPhase::NotStarted);
    EXPECT_FALSE(model.Created());
    EXPECT_EQ(model.Caption(), "");
    EXPECT_EQ(model.Status(), "");
}

TEST(ProgressWindowModel, HideBeforeTheFirstShowDoesNothing) {
    ProgressWindowModel model;
    EXPECT_TRUE(DoesNothing(model.Hide()));
    EXPECT_EQ(model.Phase(), ProgressPhase::NotStarted);
    // ... and does not keep the next show from showing.
    EXPECT_TRUE(model.Show("", "").startThread);
    model.BeginCreation();
    EXPECT_EQ(model.FinishCreation(true, kNoStep).visibility, Visibility::Show);
}

TEST(ProgressWindowModel, CaptionBeforeTheStartIsStoredAndTheFirstShowReplacesIt) {
    ProgressWindowModel model;
    EXPECT_TRUE(DoesNothing(model.SetCaption("early")));
    EXPECT_EQ(model.Caption(), "early");
    ProgressAction start = model.Show("", "");
    EXPECT_TRUE(start.startThread);
    EXPECT_FALSE(start.setCaption);
    EXPECT_FALSE(start.setStatus);
    EXPECT_EQ(start.visibility, Visibility::Keep);
    EXPECT_EQ(model.Caption(), "");
    EXPECT_EQ(model.Phase(), ProgressPhase::Starting);
    EXPECT_FALSE(model.Created());
}

TEST(ProgressWindowModel, StatusBeforeTheWindowExistsIsLost) {
    ProgressWindowModel model;
    EXPECT_TRUE(DoesNothing(model.SetStatus("early")));
    EXPECT_EQ(model.Status(), "");
    model.Show("caption", "status");
    EXPECT_TRUE(DoesNothing(model.SetStatus("while starting")));
    EXPECT_EQ(model.Status(), "status");
    ProgressTexts texts = model.BeginCreation();
    EXPECT_TRUE(DoesNothing(model.SetStatus("while creating")));
    ProgressAction finish = model.FinishCreation(true, kNoStep);
    EXPECT_EQ(texts.status, "status");
    EXPECT_FALSE(finish.setStatus);
}

TEST(ProgressWindowModel, TheWindowIsCreatedWithTheStoredTexts) {
    ProgressWindowModel model;
    model.Show("Lexova update", "Installing");
    ProgressTexts texts = model.BeginCreation();
    EXPECT_EQ(texts.caption, "Lexova update");
    EXPECT_EQ(texts.status, "Installing");
    ProgressAction finish = model.FinishCreation(true, kNoStep);
    EXPECT_FALSE(finish.startThread);
    EXPECT_FALSE(finish.setCaption);
    EXPECT_FALSE(finish.setStatus);
    EXPECT_EQ(finish.visibility, Visibility::Show);
    EXPECT_TRUE(model.Created());
    EXPECT_EQ(model.Phase(), ProgressPhase::Running);
}

TEST(ProgressWindowModel, ASecondShowWhileStartingStartsNoSecondThread) {
    ProgressWindowModel model;
    EXPECT_TRUE(model.Show("first", "1").startThread);
    ProgressAction second = model.Show("second", "2");
    EXPECT_TRUE(DoesNothing(second));
    EXPECT_EQ(model.Caption(), "second");
    EXPECT_EQ(model.Status(), "2");
    ProgressTexts texts = model.BeginCreation();
    EXPECT_EQ(texts.caption, "second");
    EXPECT_EQ(texts.status, "2");
}

TEST(ProgressWindowModel, TextsStoredWhileTheWindowIsCreatedAreAppliedAfterwards) {
    ProgressWindowModel model;
    model.Show("first", "1");
    model.BeginCreation();
    EXPECT_TRUE(DoesNothing(model.Show("second", "2")));
    ProgressAction finish = model.FinishCreation(true, kNoStep);
    EXPECT_TRUE(finish.setCaption);
    EXPECT_EQ(finish.caption, "second");
    EXPECT_TRUE(finish.setStatus);
    EXPECT_EQ(finish.status, "2");
    EXPECT_EQ(finish.visibility, Visibility::Show);
}

TEST(ProgressWindowModel, ACaptionSetWhileTheWindowIsCreatedIsAppliedAfterwards) {
    ProgressWindowModel model;
    model.Show("first", "1");
    model.BeginCreation();
    EXPECT_TRUE(DoesNothing(model.SetCaption("late")));
    ProgressAction finish = model.FinishCreation(true, kNoStep);
    EXPECT_TRUE(finish.setCaption);
    EXPECT_EQ(finish.caption, "late");
    EXPECT_FALSE(finish.setStatus);
}

TEST(ProgressWindowModel, AHideWhileStartingCreatesTheWindowHidden) {
    ProgressWindowModel model;
    model.Show("", "");
    EXPECT_TRUE(DoesNothing(model.Hide()));
    model.BeginCreation();
    EXPECT_EQ(model.FinishCreation(true, kNoStep).visibility, Visibility::Keep);
    EXPECT_EQ(model.Show("", "").visibility, Visibility::Show);
}

TEST(ProgressWindowModel, AHideWhileCreatingCreatesTheWindowHidden) {
    ProgressWindowModel model;
    model.Show("", "");
    model.BeginCreation();
    model.Hide();
    EXPECT_EQ(model.FinishCreation(true, kNoStep).visibility, Visibility::Keep);
}

TEST(ProgressWindowModel, AShowAfterAHideWhileStartingShowsTheWindow) {
    ProgressWindowModel model;
    model.Show("", "");
    model.Hide();
    EXPECT_TRUE(DoesNothing(model.Show("again", "")));
    model.BeginCreation();
    EXPECT_EQ(model.FinishCreation(true, kNoStep).visibility, Visibility::Show);
}

// A model whose window exists.
ProgressWindowModel RunningModel() {
    ProgressWindowModel model;
    model.Show("created", "status");
    model.BeginCreation();
    model.FinishCreation(true, kNoStep);
    return model;
}

TEST(ProgressWindowModel, RunningCaptionGoesToTheWindowAndIsNotStored) {
    ProgressWindowModel model = RunningModel();
    ProgressAction action = model.SetCaption("new");
    EXPECT_TRUE(action.setCaption);
    EXPECT_EQ(action.caption, "new");
    EXPECT_FALSE(action.setStatus);
    EXPECT_EQ(action.visibility, Visibility::Keep);
    EXPECT_FALSE(action.startThread);
    EXPECT_EQ(model.Caption(), "created");
}

TEST(ProgressWindowModel, RunningStatusGoesToTheStatusLine) {
    ProgressWindowModel model = RunningModel();
    ProgressAction action = model.SetStatus("working");
    EXPECT_TRUE(action.setStatus);
    EXPECT_EQ(action.status, "working");
    EXPECT_FALSE(action.setCaption);
    EXPECT_EQ(action.visibility, Visibility::Keep);
    EXPECT_EQ(model.Status(), "status");
}

TEST(ProgressWindowModel, RunningHideAndShowSwitchVisibility) {
    ProgressWindowModel model = RunningModel();
    ProgressAction hide = model.Hide();
    EXPECT_EQ(hide.visibility, Visibility::Hide);
    EXPECT_FALSE(hide.setCaption);
    EXPECT_FALSE(hide.setStatus);
    ProgressAction show = model.Show("A", "B");
    EXPECT_FALSE(show.startThread);
    EXPECT_TRUE(show.setCaption);
    EXPECT_EQ(show.caption, "A");
    EXPECT_TRUE(show.setStatus);
    EXPECT_EQ(show.status, "B");
    EXPECT_EQ(show.visibility, Visibility::Show);
    // The texts of creation stay as they were.
    EXPECT_EQ(model.Caption(), "created");
    EXPECT_EQ(model.Status(), "status");
}

TEST(ProgressWindowModel, TheBarFollowsThePositionAndANewShowEmptiesIt) {
    ProgressWindowModel model;
    // Kept for the window's creation.
    EXPECT_TRUE(DoesNothing(model.SetPosition(40)));
    model.Show("Checking", "");
    EXPECT_TRUE(DoesNothing(model.SetPosition(30)));
    EXPECT_EQ(model.BeginCreation().position, 30);
    EXPECT_TRUE(DoesNothing(model.SetPosition(55)));
    ProgressAction finish = model.FinishCreation(true, kNoStep);
    EXPECT_TRUE(finish.setPosition);
    EXPECT_EQ(finish.position, 55);
    ProgressAction move = model.SetPosition(250);
    EXPECT_TRUE(move.setPosition);
    EXPECT_EQ(move.position, 100);
    EXPECT_EQ(move.visibility, Visibility::Keep);
    // A new step starts from an empty bar, applied together with the show.
    ProgressAction show = model.Show("Installing", "");
    EXPECT_TRUE(show.setPosition);
    EXPECT_EQ(show.position, 0);
    EXPECT_EQ(show.visibility, Visibility::Show);
}

TEST(ProgressWindowModel, ShowAgainBringsBackTheWindowAsItWas) {
    ProgressWindowModel model = RunningModel();
    model.SetPosition(60);
    model.Hide();
    ProgressAction again = model.ShowAgain();
    EXPECT_EQ(again.visibility, Visibility::Show);
    EXPECT_FALSE(again.setCaption || again.setStatus || again.setPosition || again.startThread);
    // A window never started starts as a show with empty texts does.
    ProgressWindowModel fresh;
    ProgressAction start = fresh.ShowAgain();
    EXPECT_TRUE(start.startThread);
    EXPECT_EQ(fresh.BeginCreation().caption, "");
    EXPECT_EQ(fresh.FinishCreation(true, kNoStep).visibility, Visibility::Show);
}

TEST(ProgressWindowModel, CloseEndsTheWindowInEveryPhase) {
    ProgressWindowModel running = RunningModel();
    EXPECT_TRUE(running.Close().close);
    EXPECT_TRUE(DoesNothing(running.Show("again", "")));

    // Closed while its thread starts: the window is destroyed as soon as it exists.
    ProgressWindowModel starting;
    starting.Show("x", "y");
    EXPECT_TRUE(DoesNothing(starting.Close()));
    starting.BeginCreation();
    ProgressAction finish = starting.FinishCreation(true, kNoStep);
    EXPECT_TRUE(finish.close);
    EXPECT_EQ(finish.visibility, Visibility::Keep);

    // Never started: nothing starts afterwards.
    ProgressWindowModel never;
    EXPECT_TRUE(DoesNothing(never.Close()));
    EXPECT_TRUE(DoesNothing(never.Show("late", "")));
}

TEST(ProgressWindowModel, AFailedWindowCreationCountsAsCreatedAndEndsEverything) {
    ProgressWindowModel model;
    model.Show("", "");
    model.BeginCreation();
    model.Show("late", "late");
    EXPECT_TRUE(DoesNothing(model.FinishCreation(false, kNoStep)));
    EXPECT_TRUE(model.Created());
    EXPECT_EQ(model.Phase(), ProgressPhase::Ended);
    EXPECT_TRUE(DoesNothing(model.SetCaption("x")));
    EXPECT_EQ(model.Caption(), "late");
    EXPECT_TRUE(DoesNothing(model.SetStatus("x")));
    EXPECT_TRUE(DoesNothing(model.Hide()));
    EXPECT_TRUE(DoesNothing(model.Show("x", "y")));
}

TEST(ProgressWindowModel, AFailedRegistrationLeavesNoWindowAndStartsNoOtherThread) {
    ProgressWindowModel model;
    model.Show("", "");
    model.BeginCreation();
    model.AbandonCreation();
    EXPECT_FALSE(model.Created());
    EXPECT_EQ(model.Phase(), ProgressPhase::Ended);
    EXPECT_TRUE(DoesNothing(model.Show("again", "s")));
    EXPECT_EQ(model.Caption(), "again");
    EXPECT_TRUE(DoesNothing(model.SetCaption("stored")));
    EXPECT_EQ(model.Caption(), "stored");
    EXPECT_TRUE(DoesNothing(model.SetStatus("x")));
    EXPECT_TRUE(DoesNothing(model.Hide()));
}

TEST(ProgressWindowModel, AbandoningAfterTheWindowWasPublishedChangesNothing) {
    ProgressWindowModel model = RunningModel();
    model.AbandonCreation();
    EXPECT_EQ(model.Phase(), ProgressPhase::Running);
    EXPECT_TRUE(model.Created());
}

TEST(ProgressWindowModel, AThreadThatCouldNotStartIsTriedAgainByTheNextShow) {
    ProgressWindowModel model;
    EXPECT_TRUE(model.Show("a", "b").startThread);
    model.StartFailed();
    EXPECT_EQ(model.Phase(), ProgressPhase::NotStarted);
    EXPECT_FALSE(model.Created());
    EXPECT_TRUE(model.Show("c", "d").startThread);
    EXPECT_EQ(model.Caption(), "c");
}

TEST(ProgressWindowModel, StartFailedAfterTheStartChangesNothing) {
    ProgressWindowModel model = RunningModel();
    model.StartFailed();
    EXPECT_EQ(model.Phase(), ProgressPhase::Running);
}

TEST(ProgressWindowModel, AfterTheWindowEndedNothingReachesItAndNothingStarts) {
    ProgressWindowModel model = RunningModel();
    model.WindowEnded();
    EXPECT_TRUE(model.Created());
    EXPECT_EQ(model.Phase(), ProgressPhase::Ended);
    EXPECT_TRUE(DoesNothing(model.SetCaption("x")));
    EXPECT_TRUE(DoesNothing(model.SetStatus("x")));
    EXPECT_TRUE(DoesNothing(model.Hide()));
    EXPECT_TRUE(DoesNothing(model.Show("x", "y")));
    EXPECT_EQ(model.Caption(), "created");
}

TEST(ProgressWindowModel, TheGateEnablesCancelAndRefreshesTheTaskbarOnceTheWindowExists) {
    ProgressWindowModel model;
    EXPECT_TRUE(DoesNothing(model.CancelPhaseChanged(CancelPhase::Open)));
    model.Show("Checking", "");
    model.BeginCreation();
    // Made with the button as the gate stands then.
    ProgressAction finish = model.FinishCreation(true, CancelPhase::Open);
    EXPECT_TRUE(finish.setCancel);
    EXPECT_TRUE(finish.cancelEnabled);

    ProgressAction replaced = model.CancelPhaseChanged(CancelPhase::Committed);
    EXPECT_TRUE(replaced.setCancel);
    EXPECT_FALSE(replaced.cancelEnabled);
    EXPECT_TRUE(replaced.refreshTaskbar);
    EXPECT_EQ(replaced.visibility, Visibility::Keep);

    // A window shown without a long step has its button disabled.
    ProgressWindowModel fresh;
    fresh.Show("", "");
    fresh.BeginCreation();
    ProgressAction plain = fresh.FinishCreation(true, kNoStep);
    EXPECT_TRUE(plain.setCancel);
    EXPECT_FALSE(plain.cancelEnabled);
    // A window closed while it was made gets nothing else.
    ProgressWindowModel closed;
    closed.Show("", "");
    closed.Close();
    closed.BeginCreation();
    EXPECT_FALSE(closed.FinishCreation(true, CancelPhase::Open).setCancel);
}

TEST(ProgressWindowModel, TheTaskbarShowsTheBarWhileVisibleTheErrorOfAFailedWriteAndNothingHidden) {
    ProgressWindowModel model;
    EXPECT_EQ(model.Taskbar(kNoStep), (TaskbarView{TaskbarState::NoProgress, 0}));
    model.Show("Installing", "");
    model.SetPosition(30);
    // Not yet made: no button to show anything on.
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::NoProgress, 0}));
    model.BeginCreation();
    model.FinishCreation(true, CancelPhase::Open);
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::Normal, 30}));
    model.SetPosition(64);
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::Normal, 64}));
    EXPECT_EQ(model.Taskbar(CancelPhase::Failed), (TaskbarView{TaskbarState::Error, 64}));
    model.Hide();
    EXPECT_EQ(model.Taskbar(CancelPhase::Failed), (TaskbarView{TaskbarState::Error, 64}));
    // Retry: shown again, writing again.
    model.ShowAgain();
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::Normal, 64}));
    model.Hide();
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::NoProgress, 0}));
    model.ShowAgain();
    model.Close();
    EXPECT_EQ(model.Taskbar(CancelPhase::Open), (TaskbarView{TaskbarState::NoProgress, 0}));
}

TEST(ProgressWindowModel, ShutDownForgetsTheTexts) {
    ProgressWindowModel model;
    model.Show("caption", "status");
    model.ShutDown();
    EXPECT_EQ(model.Caption(), "");
    EXPECT_EQ(model.Status(), "");
    ProgressWindowModel running = RunningModel();
    running.ShutDown();
    EXPECT_EQ(running.Caption(), "");
    EXPECT_EQ(running.Status(), "");
}

}  // namespace
}  // namespace kavrel
