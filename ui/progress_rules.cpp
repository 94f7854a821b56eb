#include "ui/progress_rules.h"

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
    switch (phase_) {
        case ProgressPhase::Running:
            wantVisible_ = true;
            action.setCaption = true;
            action.caption = std::move(caption);
            action.setStatus = true;
            action.status = std::move(status);
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

void ProgressWindowModel::StartFailed() {
    if (phase_ == ProgressPhase::Starting) phase_ = ProgressPhase::NotStarted;
}

ProgressTexts ProgressWindowModel::BeginCreation() {
    usedForCreation_ = ProgressTexts{caption_, status_};
    return usedForCreation_;
}

void ProgressWindowModel::AbandonCreation() {
    if (phase_ == ProgressPhase::Starting) phase_ = ProgressPhase::Ended;
}

ProgressAction ProgressWindowModel::FinishCreation(bool windowExists) {
    ProgressAction action;
    created_ = true;
    if (!windowExists) {
        phase_ = ProgressPhase::Ended;
        return action;
    }
    phase_ = ProgressPhase::Running;
    // Texts that the main thread stored after the window thread had read them.
    if (caption_ != usedForCreation_.caption) {
        action.setCaption = true;
        action.caption = caption_;
    }
    if (status_ != usedForCreation_.status) {
        action.setStatus = true;
        action.status = status_;
    }
    if (wantVisible_) action.visibility = ProgressAction::Visibility::Show;
    return action;
}

void ProgressWindowModel::WindowEnded() { phase_ = ProgressPhase::Ended; }

void ProgressWindowModel::ShutDown() {
    caption_ = {};
    status_ = {};
}

}  // namespace kavrel
