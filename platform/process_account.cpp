#include "platform/process_account.h"

#include <windows.h>

#include "platform/unique_handle.h"

namespace kavrel {

namespace {

bool AskRunsAsLocalSystem() noexcept {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const UniqueHandle ownedToken(token);
    // TOKEN_USER followed by its SID: the largest SID fits.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } tokenUser{};
    DWORD size = 0;
    if (!::GetTokenInformation(ownedToken.get(), TokenUser, &tokenUser, sizeof tokenUser, &size)) return false;
    BYTE localSystem[SECURITY_MAX_SID_SIZE] = {};
    DWORD localSystemSize = sizeof localSystem;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, localSystem, &localSystemSize)) return false;
    return ::EqualSid(tokenUser.user.User.Sid, localSystem) != FALSE;
}

}  // namespace

bool RunsAsLocalSystem() noexcept {
    static const bool localSystem = AskRunsAsLocalSystem();
    return localSystem;
}

}  // namespace kavrel
