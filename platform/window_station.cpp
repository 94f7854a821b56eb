#include "platform/window_station.h"

#include <windows.h>
#include <wtsapi32.h>

#include <exception>
#include <optional>
#include <vector>

#include "platform/system_library.h"
#include "platform/window_station_rules.h"

namespace kavrel {

namespace {

bool AskWindowStationIsVisible() noexcept {
    // The process's own station: not to be closed.
    HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    const bool queried =
        station != nullptr && ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) != FALSE;
    // Wine 8 puts every process in session 1.
    DWORD session = 0;
    const bool sessionQueried = ::ProcessIdToSessionId(::GetCurrentProcessId(), &session) != FALSE;
    return IsVisibleStation(queried, flags.dwFlags, sessionQueried, session);
}

}  // namespace

bool WindowStationIsVisible() noexcept {
    static const bool visible = AskWindowStationIsVisible();
    return visible;
}

namespace {

// The sessions the system lists, as facts; empty when it cannot list them.
std::vector<SessionFacts> ListedSessions(const UniqueModule& library) {
    using EnumerateFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, WTS_SESSION_INFOW**, DWORD*);
    using FreeFn = void(WINAPI*)(void*);
    auto enumerate = SystemFunction<EnumerateFn>(library, "WTSEnumerateSessionsW");
    auto release = SystemFunction<FreeFn>(library, "WTSFreeMemory");
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (!enumerate || !release || !enumerate(nullptr /* WTS_CURRENT_SERVER_HANDLE */, 0, 1, &sessions, &count) ||
        !sessions)
        return {};
    std::vector<SessionFacts> listed;
    try {
        for (DWORD i = 0; i < count; ++i) listed.push_back({sessions[i].SessionId, static_cast<int>(sessions[i].State)});
    } catch (const std::exception&) {
        listed.clear();
    }
    release(sessions);
    return listed;
}

}  // namespace

bool SendToActiveSessions(const std::wstring& caption, const std::wstring& text, std::uint32_t style) noexcept {
    // "No session attached to the console".
    constexpr DWORD kNoConsoleSession = 0xFFFFFFFF;
    // wtsapi32 is not one of the system's known DLLs: loaded by full path
    // from the system folder, never imported.
    UniqueModule library = LoadSystemLibrary("wtsapi32.dll");
    using WtsSendMessageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD, LPWSTR, DWORD, DWORD, DWORD, DWORD*, BOOL);
    auto sendMessage = SystemFunction<WtsSendMessageFn>(library, "WTSSendMessageW");
    if (!sendMessage) return false;
    try {
        const DWORD console = ::WTSGetActiveConsoleSessionId();
        const std::vector<std::uint32_t> sessions =
            SessionsToTell(ListedSessions(library),
                           console == kNoConsoleSession ? std::nullopt : std::optional<std::uint32_t>(console));
        // The function takes non-const texts and their lengths in bytes.
        std::wstring title = caption;
        std::wstring message = text;
        bool reached = false;
        for (const std::uint32_t session : sessions) {
            DWORD response = 0;
            // No time limit for the box; bWait FALSE: the call returns at
            // once (IDASYNC) and the box stays until the user closes it.
            reached |= sendMessage(nullptr /* WTS_CURRENT_SERVER_HANDLE */, session, title.data(),
                                   static_cast<DWORD>(title.size() * sizeof(wchar_t)), message.data(),
                                   static_cast<DWORD>(message.size() * sizeof(wchar_t)), style, 0, &response,
                                   FALSE) != FALSE;
        }
        return reached;
    } catch (const std::exception&) {
        // No memory for the copies: the message is lost, the run goes on.
        return false;
    }
}

}  // namespace kavrel
