#include "platform/process_account.h"

#include <exception>

#include "platform/unique_handle.h"

namespace kavrel {

std::vector<BYTE> ProcessUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const UniqueHandle ownedToken(token);
    // TOKEN_USER followed by its SID: the largest SID fits.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } tokenUser{};
    DWORD size = 0;
    if (!::GetTokenInformation(ownedToken.get(), TokenUser, &tokenUser, sizeof tokenUser, &size)) return {};
    const auto* sid = static_cast<const BYTE*>(tokenUser.user.User.Sid);
    return std::vector<BYTE>(sid, sid + ::GetLengthSid(tokenUser.user.User.Sid));
}

bool IsWellKnownAccount(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof known;
    return ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

bool RunsAsLocalSystem() noexcept {
    static const bool localSystem = [] {
        try {
            std::vector<BYTE> user = ProcessUserSid();
            return !user.empty() && IsWellKnownAccount(user.data(), WinLocalSystemSid);
        } catch (const std::exception&) {
            return false;
        }
    }();
    return localSystem;
}

}  // namespace kavrel
