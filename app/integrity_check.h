#pragma once
// The installer's check of its own file before anything is written.
#include <cstdint>
#include <string>

#include "app/integrity_rules.h"
#include "base/byte_progress.h"

namespace kavrel {

enum class IntegrityResult { Intact, Distorted, Unreadable };

// Reads the installer file at `path` and compares it with the digest in
// `slot`, the slot as stamped into that file. Shows nothing; throws only
// what allocation throws. The self-check passes its own file and its
// compiled-in slot; a benchmark can time the same work on an installer file
// of its choice. `progress` hears of every 1 MiB block read and hashed, from
// either of the two threads that share the work, one call at a time.
IntegrityResult CheckFileIntegrity(const std::string& path, const DigestSlot& slot, const ByteProgress& progress = {});

// Reads the installer's own executable and compares it with the digest
// stored at build time. It only reads and shows nothing. `progress` hears of
// every block, as for CheckFileIntegrity.
IntegrityResult IntegritySelfCheck(const ByteProgress& progress = {});

// The size of the installer's own file in bytes, for the log; 0 when unknown.
std::uint64_t OwnFileBytes();

}  // namespace kavrel
