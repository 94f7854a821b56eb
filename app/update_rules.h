#pragma once
// The texts and decisions of the update flow, as plain functions.
#include <cstdint>
#include <string>
#include <string_view>

#include "lang/message_rules.h"
#include "ui/progress_rules.h"

namespace kavrel {

struct SetupState;

// How a run ended, as far as whoever started the installer needs to know.
enum class RunOutcome {
    Completed,           // the run reached its end
    Declined,            // the user declined the confirmation; nothing written
    AnotherCopyRunning,  // another installer holds the one-at-a-time mutex; nothing written
    CheckFailed,         // a check before writing ended the run; nothing written
    WriteFailed,         // a writing step failed
};

// Process exit codes, so that a script or a deployment tool running the
// quiet mode can tell what happened.
enum ExitCode : int {
    kExitDone = 0,
    kExitCheckFailed = 1,
    kExitWriteFailed = 2,
    // Windows Installer's ERROR_INSTALL_ALREADY_RUNNING: Intune and
    // Configuration Manager retry it by themselves later, and winget maps it
    // to installInProgress, instead of recording a failed update.
    kExitAnotherInstallRunning = 1618,
};

// The exit code of a run that ended so.
int ExitCodeOf(RunOutcome outcome);

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
