#pragma once
// The application as a running program: whether a copy is running, asking it
// to quit, starting it and bringing its main window to the front. A running
// copy is known by its named file mapping and its main window class.
#include "base/wait_clock.h"

namespace kavrel {

// True when no copy of the application is running. When a copy is running,
// the probe's handle to its mapping stays open until this process ends.
bool AppNotRunning() noexcept;

// Posts WM_QUIT to the application's main window, if there is one; does not
// wait for the application to end.
void CloseRunningApp() noexcept;

// Makes the installation folder the current folder and starts the
// application's executable in it. The desktop shell's process is asked to
// start it, so that it runs as the signed-in user and not with this elevated
// process's token; where that shell cannot be reached, this process starts it
// itself (ShellExecuteW), but only in a window station that a user sees. The shell is given kDesktopShellStartWaitMs to
// answer; a shell that does not answer in time may still start it, so the
// application is then not started a second time. A failure is silent.
// False when nothing was asked to start it (or the start failed).
bool LaunchApp(const WaitClock& clock = {}) noexcept;

// Starts the application, waits for its instance mapping and then for its
// main window, and shows and activates that window; gives up silently. The
// waits go by `clock`, the system's when none is given. Nothing is waited
// for where nothing was started, and no window where nobody sees this
// process's windows (a window of the user's desktop cannot be found from
// another window station).
void LaunchAndActivate(const WaitClock& clock = {}) noexcept;

}  // namespace kavrel
