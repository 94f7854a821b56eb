#pragma once
// The installer's check of its own file before anything is written.
#include <string>

#include "app/integrity_rules.h"
#include "base/byte_progress.h"

namespace kavrel {

enum class IntegrityResult { Intact, Distorted, Unreadable };

// Reads the installer file at `path` and compares it with the digest in
// `slot`, the slot as stamped into that file. Shows nothing; throws only
// what allocation throws. The self-check passes its own file and its
// compiled-in slot; a benchmark can time the same work on an installer file
// of its choice. `progress` hears of every slice read.
IntegrityResult CheckFileIntegrity(const std::string& path, const DigestSlot& slot, const ByteProgress& progress = {});

// Reads the installer's own executable and compares it with the digest
// stored at build time. Shows "Failed to check up the package file!" when the
// file cannot be read, "The package file has been distorted!\r\nVirus?" when
// it differs; true when it is intact. It only reads. `progress` hears of
// every slice read.
bool IntegritySelfCheck(const ByteProgress& progress = {});

}  // namespace kavrel
