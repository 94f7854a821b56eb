#pragma once
// Whether anyone can see this process's windows, as a plain rule of what the
// system reports about its window station.
#include <cstdint>
#include <optional>
#include <vector>

namespace kavrel {

// WSF_VISIBLE of the window station's UOI_FLAGS.
constexpr std::uint32_t kVisibleStationFlag = 0x0001;

// The services' session. Since Windows Vista (the oldest this program
// starts on) nobody signs in there, so nobody sees it, even on its own
// "WinSta0", which carries WSF_VISIBLE (an interactive service,
// "PsExec -s -i 0").
constexpr std::uint32_t kServicesSession = 0;

// A window station is seen by a user only when its flags carry WSF_VISIBLE
// and the process is outside the services' session: a service's station,
// such as session 0's under a deployment tool running as SYSTEM, is not. A
// query that failed counts as visible, so that the run does what it always
// did.
constexpr bool IsVisibleStation(bool queried, std::uint32_t flags, bool sessionQueried, std::uint32_t sessionId) {
    if (sessionQueried && sessionId == kServicesSession) return false;
    return !queried || (flags & kVisibleStationFlag) != 0;
}

// A session as the system lists it: its id and WTS_CONNECTSTATE_CLASS.
struct SessionFacts {
    std::uint32_t id = 0;
    int state = 0;
};
// WTSActive: a user is signed in there and at the screen (the console or a
// remote desktop).
constexpr int kActiveSessionState = 0;

// The sessions that a message for the signed-in users goes to: every active
// one, so that a remote-desktop user reads it too. A system lists at least
// the services' session; one that lists none cannot tell (Wine), and the
// console's session, when there is one, stands for them.
inline std::vector<std::uint32_t> SessionsToTell(const std::vector<SessionFacts>& listed,
                                                 std::optional<std::uint32_t> consoleSession) {
    std::vector<std::uint32_t> sessions;
    for (const SessionFacts& session : listed)
        if (session.state == kActiveSessionState) sessions.push_back(session.id);
    if (listed.empty() && consoleSession) sessions.push_back(*consoleSession);
    return sessions;
}

}  // namespace kavrel
