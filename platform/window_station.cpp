#include "platform/window_station.h"

#include <windows.h>

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

bool SendToConsoleSession(const std::wstring& caption, const std::wstring& text, std::uint32_t style) noexcept {
    // "No session attached to the console": nobody is there to read it.
    constexpr DWORD kNoConsoleSession = 0xFFFFFFFF;
    const DWORD session = ::WTSGetActiveConsoleSessionId();
    if (session == kNoConsoleSession) return false;
    // wtsapi32 is not one of the system's known DLLs: loaded by full path
    // from the system folder, never imported.
    UniqueModule library = LoadSystemLibrary("wtsapi32.dll");
    using WtsSendMessageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD, LPWSTR, DWORD, DWORD, DWORD, DWORD*, BOOL);
    auto sendMessage = SystemFunction<WtsSendMessageFn>(library, "WTSSendMessageW");
    if (!sendMessage) return false;
    try {
        // The function takes non-const texts and their lengths in bytes.
        std::wstring title = caption;
        std::wstring message = text;
        DWORD response = 0;
        // No time limit for the box; bWait FALSE: the call returns at once
        // (IDASYNC) and the box stays until the user closes it.
        return sendMessage(nullptr /* WTS_CURRENT_SERVER_HANDLE */, session, title.data(),
                           static_cast<DWORD>(title.size() * sizeof(wchar_t)), message.data(),
                           static_cast<DWORD>(message.size() * sizeof(wchar_t)), style, 0, &response,
                           FALSE) != FALSE;
    } catch (...) {
        // No memory for the copies: the message is lost, the run goes on.
        return false;
    }
}

}  // namespace kavrel
