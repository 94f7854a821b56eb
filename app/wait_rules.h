#pragma once
// The two waits that follow the start of the application, as plain rules:
// how long to sleep between probes, how many probes there may be, and which
// outcome counts as seen.
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"
#include "base/shown_text.h"

namespace kavrel {

// One bounded wait: sleep `intervalMs`, then probe, at most `maxProbes` times.
struct WaitBound {
    std::uint32_t intervalMs = 0;
    int maxProbes = 0;
};

// The wait for the started application's instance mapping.
WaitBound InstanceMappingWait();

// The wait for the started application's main window.
WaitBound MainWindowWait();

// What became of asking the desktop shell to start the application.
enum class ShellStartOutcome {
    Started,   // the shell answered that it started it
    Refused,   // the shell could not be reached, or answered anything else
    NoAnswer,  // the shell did not answer in time: it may still be starting it
};

// How long the installer waits for the desktop shell to answer the start. A
// shell that hangs (or is stopped) would otherwise hold the installer for
// ever after the user's last answer.
constexpr std::uint32_t kDesktopShellStartWaitMs = 20000;

// The wait for the shell's answer: a look every 50 ms, for
// kDesktopShellStartWaitMs, on the clock of the installer's waits.
WaitBound DesktopShellAnswerWait();

// The outcome of the shell's answer to the start (an HRESULT). Only S_OK is
// a start: the shell answers S_FALSE, a success code, when it could not start
// the file.
ShellStartOutcome ShellStartOutcomeOf(std::int32_t answer);

// What the log says of a start the shell did not make: why, "no desktop
// shell to ask" where none was reached, else "the desktop shell refused to
// start it"; and, to end the line, the record of the call that failed
// ("; desktop shell failed: CoCreateInstance of ShellWindows, HRESULT
// 0x80040154 [app/desktop_shell.cpp:77]", with `systemText`, the system's
// text of the Win32 error it means), empty without one.
struct ShellRefusalWords {
    ShownText why;
    ShownText record;
};
ShellRefusalWords ShellRefusalText(const std::optional<Failure>& refusal, bool answered, const ShownText& systemText);

// Whether the installer then starts the application itself: only after a
// refusal. After no answer the shell may still start it, and a second start
// would run two copies. Never where nobody sees the installer's window
// station (a deployment tool's, as SYSTEM in session 0): started from there,
// the application would run as SYSTEM where nobody sees it. Never as
// LocalSystem either, even where a person sees the station ("allow users to
// interact", "PsExec -s -i"): the person would control a SYSTEM process's
// windows and its Open and Save dialogs.
bool StartsItselfAfter(ShellStartOutcome outcome, bool stationVisible, bool runsAsLocalSystem);

// Whether a success at probe `probeNumber` (counted from 1) counts as seen.
// A success at the last allowed probe arrives too late and counts as unseen.
bool CountsAsSeen(const WaitBound& bound, int probeNumber);

// Sleeps, then probes, until the probe succeeds or the bound is used up; true
// when the success counts as seen. `sleep` takes milliseconds; `probe` returns
// true on success.
template <typename ProbeFn, typename SleepFn>
bool WaitUntil(const WaitBound& bound, ProbeFn probe, SleepFn sleep) {
    int probesMade = 0;
    bool succeeded = false;
    while (!succeeded && probesMade < bound.maxProbes) {
        sleep(bound.intervalMs);
        ++probesMade;
        succeeded = probe();
    }
    return succeeded && CountsAsSeen(bound, probesMade);
}

}  // namespace kavrel
