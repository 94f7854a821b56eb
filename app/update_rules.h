#pragma once
// The texts and decisions of the update flow, as plain functions.
#include <cstdint>
#include <string>
#include <string_view>

#include "lang/message_rules.h"
#include "ui/progress_rules.h"

namespace kavrel {

struct SetupState;

// True for the quiet switch: the first argument, already lowered, is exactly "modest".
bool IsQuietSwitch(std::string_view commandSwitch);

// In quiet mode, whether the second argument asks to start the application.
bool AsksToRunApp(std::string_view secondArgument);

// What the probe for the application's instance mapping found: true when a
// copy of the application runs. `created` tells whether the probe got a
// handle, `error` is the error the system reported with it. The mapping
// existed before the probe (ERROR_ALREADY_EXISTS); or it exists but belongs
// to another account (ERROR_ACCESS_DENIED), as when a standard user runs the
// application and an administrator's password was typed for the installer.
bool InstanceProbeFindsCopy(bool created, std::uint32_t error);

// Whether the run shows its long steps in the progress window: interactive
// runs only, since scripts and deployment tools run the quiet one.
bool ShowsProgress(std::string_view commandSwitch);

// The two long steps of a run: reading the installer's own file, and writing the package.
enum class LongStep { Checking, Installing };

// The progress window's texts during a long step: the update's title and
// the step, in the message language.
ProgressTexts LongStepTexts(const SetupState& state, LongStep step);

// The confirmation question before anything is written, in the message language.
MessageBoxCall ConfirmationQuestion(const SetupState& state);

// The final question: always Russian, with the English title as its caption.
MessageBoxCall FinalQuestion(const SetupState& state);

}  // namespace kavrel
