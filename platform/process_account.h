#pragma once
// The account this process runs as, as far as the installer's decisions need it.
#include <windows.h>

#include <vector>

namespace kavrel {

// The SID of the process's token user; empty when the token cannot be read.
std::vector<BYTE> ProcessUserSid();

// True when `sid` is the well-known SID of that type.
bool IsWellKnownAccount(PSID sid, WELL_KNOWN_SID_TYPE type);

// True when the process's token user is LocalSystem (S-1-5-18): a
// deployment tool's run, or "PsExec -s". A token that cannot be read counts
// as not LocalSystem. Asked once, on the first call, and kept.
bool RunsAsLocalSystem() noexcept;

}  // namespace kavrel
