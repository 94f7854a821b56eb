#pragma once
// The installer's check of its own file before anything is written.
#include <cstdint>
#include <optional>
#include <string>

#include "app/integrity_rules.h"
#include "base/byte_progress.h"
#include "base/failure.h"
#include "base/windows_codes.h"
#include "platform/cancellation.h"

namespace kavrel {

// The code of a file that differs from its digest (ERROR_FILE_CORRUPT): the
// installer's own finding, told apart from a file that cannot be read.
constexpr std::uint32_t kDistortedFileCode = win32::kFileCorrupt;

// Reads the installer file at `path` and compares it with the digest in
// `slot`, the slot as stamped into that file. Shows nothing; throws only
// what allocation throws. The self-check passes its own file and its
// compiled-in slot; a benchmark can time the same work on an installer file
// of its choice. Returns nothing for an intact file, else the failure: cause
// InstallerDamaged, step "self-check", the code kDistortedFileCode for a
// file that differs from its digest, else the Windows error of the read. `progress` hears of every 1 MiB block read and hashed, from
// either of the two threads that share the work, one call at a time. A
// press of `cancel` (when given) stops both threads before their next
// block: the failure is then CancelledByUser, step "self-check".
std::optional<Failure> CheckFileIntegrity(const std::wstring& path, const DigestSlot& slot, const ByteProgress& progress = {},
                                          const Cancellation* cancel = nullptr);

// Opens the installer's own executable for the self-check, by the UTF-16
// path the system gives (a Downloads folder may be named in letters that no
// ANSI code page has). Called at start-up, before the process refuses users'
// junctions: a user may have moved the folder the installer runs from with
// one, and the file is still the one the system started.
void HoldOwnFileForCheck() noexcept;

// Reads the installer's own executable, as opened by HoldOwnFileForCheck,
// and compares it with the digest stored at build time, as
// CheckFileIntegrity; unreadable when it could not be opened. It only reads and shows nothing. `progress` hears of
// every block, and `cancel` stops it, as for CheckFileIntegrity.
std::optional<Failure> IntegritySelfCheck(const ByteProgress& progress = {}, const Cancellation* cancel = nullptr);

// The size of the installer's own file in bytes, for the log; 0 when unknown.
std::uint64_t OwnFileBytes();

}  // namespace kavrel
