#pragma once
// Where this process's windows would appear: a window station that a user
// sees, or one that nobody sees (a service's, session 0 under a deployment
// tool), where a message box waits for ever for a button nobody can press.
#include <cstdint>
#include <string>

namespace kavrel {

// True when the process's window station is visible to a user and the process
// is outside session 0, which nobody sees since Windows Vista. Asked once,
// on the first call, and kept: the station of a process never changes.
bool WindowStationIsVisible() noexcept;

// Sends a message box to every session where a user is signed in and at the
// screen (WTSSendMessageW to each active session of WTSEnumerateSessionsW:
// the console's and remote desktops), without waiting for it to be closed.
// `style` takes MessageBox's flags. False when it reached no session (nobody
// signed in, or the system refuses); nothing else happens then.
bool SendToActiveSessions(const std::wstring& caption, const std::wstring& text, std::uint32_t style) noexcept;

}  // namespace kavrel
