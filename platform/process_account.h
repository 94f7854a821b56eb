#pragma once
// The account this process runs as, as far as the installer's decisions need it.

namespace kavrel {

// True when the process's token user is LocalSystem (S-1-5-18): a
// deployment tool's run, or "PsExec -s". A token that cannot be read counts
// as not LocalSystem. Asked once, on the first call, and kept.
bool RunsAsLocalSystem() noexcept;

}  // namespace kavrel
