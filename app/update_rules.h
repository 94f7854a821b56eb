#pragma once
// The texts and decisions of the update flow, as plain functions.
#include <string>
#include <string_view>

#include "lang/message_rules.h"

namespace kavrel {

struct SetupState;

// True for the quiet switch: the first argument, already lowered, is exactly "modest".
bool IsQuietSwitch(std::string_view commandSwitch);

// In quiet mode, whether the second argument asks to start the application.
bool AsksToRunApp(std::string_view secondArgument);

// The confirmation question before anything is written, in the message language.
MessageBoxCall ConfirmationQuestion(const SetupState& state);

// The final question: always Russian, with the English title as its caption.
MessageBoxCall FinalQuestion(const SetupState& state);

}  // namespace kavrel
