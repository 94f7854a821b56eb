#include "ui/progress_rules.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace kavrel {

namespace {

// Half the free room, rounded down; never negative.
std::int32_t CenteredOffset(std::int32_t screen, std::int32_t size) {
    // In 64 bits: a screen near the 32-bit limit less a negative size must not overflow.
    std::int64_t room = static_cast<std::int64_t>(screen) - size;
    if (room <= 0) return 0;
    return static_cast<std::int32_t>(room / 2);
}

}  // namespace

ProgressLayout LayoutProgressWindow(std::int32_t dpi, const TextMetricsPx& text, const FrameInsets& frame) {
    if (dpi <= 0) dpi = kBaseDpi;
    // What the system reports is bounded, so that no sum below overflows.
    const auto bounded = [](std::int32_t pixels) { return std::clamp<std::int32_t>(pixels, 0, 32767); };
    dpi = bounded(dpi);
    const auto scale = [dpi](std::int32_t pixels) {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(pixels) * dpi + kBaseDpi / 2) / kBaseDpi);
    };
    const std::int32_t margin = scale(kStatusLinePlacement.x);
    const std::int32_t gap = scale(kProgressBarPlacement.y - kStatusLinePlacement.y - kStatusLinePlacement.height);
    const std::int32_t lineHeight = std::max(scale(kStatusLinePlacement.height), bounded(text.lineHeight));
    const std::int32_t barHeight = std::max(scale(kProgressBarPlacement.height), lineHeight);
    const std::int32_t lineWidth =
        std::max(scale(kStatusLinePlacement.width), bounded(text.averageCharWidth) * kStatusLineCharacters);
    const std::int32_t barWidth = std::max(scale(kProgressBarPlacement.width), lineWidth + 1);
    const std::int32_t buttonGap =
        scale(kCancelButtonPlacement.y - kProgressBarPlacement.y - kProgressBarPlacement.height);
    const std::int32_t buttonWidth =
        std::max(scale(kCancelButtonPlacement.width), bounded(text.averageCharWidth) * kCancelButtonCharacters);
    const std::int32_t buttonHeight =
        std::max(scale(kCancelButtonPlacement.height), bounded(text.lineHeight) + scale(kCancelButtonEdges));

    ProgressLayout layout;
    layout.statusLine = {margin, margin, lineWidth, lineHeight};
    layout.progressBar = {margin, margin + lineHeight + gap, barWidth, barHeight};
    // At the bar's right end, below it.
    layout.cancelButton = {margin + barWidth - buttonWidth, layout.progressBar.y + barHeight + buttonGap, buttonWidth,
                           buttonHeight};
    layout.clientWidth = margin + barWidth + margin;
    layout.clientHeight = layout.cancelButton.y + buttonHeight + margin;
    layout.width = layout.clientWidth + bounded(frame.left) + bounded(frame.right);
    layout.height = layout.clientHeight + bounded(frame.top) + bounded(frame.bottom);
    return layout;
}

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 100;
    // Halved together where done * 100 would overflow: the ratio stays, and
    // a step not yet done never shows 100.
    while (done > UINT64_MAX / 100) {
        done >>= 1;
        total >>= 1;
    }
    return std::min(99, static_cast<int>(done * 100 / total));
}

bool ProgressMeter::PercentageChanges(std::uint64_t done, std::uint64_t total) const {
    return ProgressPercent(done, total) != shown_;
}

std::optional<int> ProgressMeter::Advance(std::uint64_t done, std::uint64_t total, std::uint64_t nowMs) {
    const int percent = ProgressPercent(done, total);
    if (percent == shown_) return std::nullopt;
    if (percent != 100 && nowMs - shownAtMs_ < kProgressMoveIntervalMs) return std::nullopt;
    shown_ = percent;
    shownAtMs_ = nowMs;
    return percent;
}

TaskbarState TaskbarStateOf(CancelPhase phase, bool visible) {
    if (phase == CancelPhase::Failed) return TaskbarState::Error;
    return visible ? TaskbarState::Normal : TaskbarState::NoProgress;
}

ShownText CancelButtonText(bool russian) { return russian ? "Отмена" : "Cancel"; }

WindowPosition CenteredPosition(std::int32_t screenWidth, std::int32_t screenHeight, std::int32_t width,
                                std::int32_t height) {
    return WindowPosition{CenteredOffset(screenWidth, width), CenteredOffset(screenHeight, height)};
}

ProgressAction ProgressWindowModel::SetCaption(ShownText caption) {
    ProgressAction action;
    if (phase_ == ProgressPhase::Running) {
        action.setCaption = true;
        action.caption = std::move(caption);
    } else if (!created_) {
        caption_ = std::move(caption);
    }
    return action;
}

ProgressAction ProgressWindowModel::SetStatus(ShownText status) {
    ProgressAction action;
    if (phase_ == ProgressPhase::Running) {
        action.setStatus = true;
        action.status = std::move(status);
    }
    return action;
}

ProgressAction ProgressWindowModel::Hide() {
    ProgressAction action;
    wantVisible_ = false;
    if (phase_ == ProgressPhase::Running) action.visibility = ProgressAction::Visibility::Hide;
    return action;
}

ProgressAction ProgressWindowModel::Show(ShownText caption, ShownText status) {
    ProgressAction action;
    // New texts are a new step: its bar starts empty.
    if (phase_ != ProgressPhase::Ended) position_ = 0;
    switch (phase_) {
        case ProgressPhase::Running:
            wantVisible_ = true;
            action.setCaption = true;
            action.caption = std::move(caption);
            action.setStatus = true;
            action.status = std::move(status);
            action.setPosition = true;
            action.position = 0;
            action.visibility = ProgressAction::Visibility::Show;
            break;
        case ProgressPhase::NotStarted:
            wantVisible_ = true;
            caption_ = std::move(caption);
            status_ = std::move(status);
            phase_ = ProgressPhase::Starting;
            action.startThread = true;
            break;
        case ProgressPhase::Starting:
            wantVisible_ = true;
            caption_ = std::move(caption);
            status_ = std::move(status);
            break;
        case ProgressPhase::Ended:
            // A thread that could not register its class: the texts are kept
            // as before the start, but no thread is started again.
            if (!created_) {
                caption_ = std::move(caption);
                status_ = std::move(status);
            }
            break;
    }
    return action;
}

ProgressAction ProgressWindowModel::ShowAgain() {
    ProgressAction action;
    switch (phase_) {
        case ProgressPhase::NotStarted:
            return Show({}, {});
        case ProgressPhase::Running:
            action.visibility = ProgressAction::Visibility::Show;
            [[fallthrough]];
        case ProgressPhase::Starting:
            wantVisible_ = true;
            break;
        case ProgressPhase::Ended:
            break;
    }
    return action;
}

ProgressAction ProgressWindowModel::Close() {
    ProgressAction action;
    wantVisible_ = false;
    switch (phase_) {
        case ProgressPhase::Running:
            action.close = true;
            break;
        case ProgressPhase::Starting:
            closed_ = true;
            break;
        case ProgressPhase::NotStarted:
        case ProgressPhase::Ended:
            break;
    }
    // No thread is started, and no window shown, after this.
    if (phase_ != ProgressPhase::Starting) phase_ = ProgressPhase::Ended;
    return action;
}

ProgressAction ProgressWindowModel::SetPosition(int percent) {
    ProgressAction action;
    position_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (phase_ == ProgressPhase::Running) {
        action.setPosition = true;
        action.position = position_;
    }
    return action;
}

ProgressAction ProgressWindowModel::CancelPhaseChanged(CancelPhase phase) {
    ProgressAction action;
    if (phase_ == ProgressPhase::Running) {
        action.setCancel = true;
        action.cancelEnabled = TakesPress(phase);
        action.refreshTaskbar = true;
    }
    return action;
}

TaskbarView ProgressWindowModel::Taskbar(CancelPhase phase) const {
    const bool visible = phase_ == ProgressPhase::Running && wantVisible_;
    const TaskbarState state = TaskbarStateOf(phase, visible);
    return {state, state == TaskbarState::NoProgress ? 0 : position_};
}

void ProgressWindowModel::StartFailed() {
    if (phase_ == ProgressPhase::Starting) phase_ = ProgressPhase::NotStarted;
}

ProgressTexts ProgressWindowModel::BeginCreation() {
    usedForCreation_ = ProgressTexts{caption_, status_, position_};
    return usedForCreation_;
}

void ProgressWindowModel::AbandonCreation() {
    if (phase_ == ProgressPhase::Starting) phase_ = ProgressPhase::Ended;
}

ProgressAction ProgressWindowModel::FinishCreation(bool windowExists, CancelPhase phase) {
    ProgressAction action;
    created_ = true;
    if (!windowExists) {
        phase_ = ProgressPhase::Ended;
        return action;
    }
    phase_ = ProgressPhase::Running;
    if (closed_) {
        action.close = true;
        return action;
    }
    // Texts that the main thread stored after the window thread had read them.
    if (caption_ != usedForCreation_.caption) {
        action.setCaption = true;
        action.caption = caption_;
    }
    if (status_ != usedForCreation_.status) {
        action.setStatus = true;
        action.status = status_;
    }
    if (position_ != usedForCreation_.position) {
        action.setPosition = true;
        action.position = position_;
    }
    // Made with its button enabled only while Cancel can be pressed.
    action.setCancel = true;
    action.cancelEnabled = TakesPress(phase);
    if (wantVisible_) action.visibility = ProgressAction::Visibility::Show;
    return action;
}

void ProgressWindowModel::WindowEnded() { phase_ = ProgressPhase::Ended; }

void ProgressWindowModel::ShutDown() {
    caption_ = {};
    status_ = {};
}

}  // namespace kavrel
