#pragma once
// The installed size recorded in the application's uninstall registration.
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"

namespace kavrel {

// The total size of all files in the folder and every folder below it, in
// whole KiB (capped at 2,147,483,647); no size when the folder does not
// exist (nothing to measure, no failure); the failure that kept the walk of
// an existing folder from beginning: it cannot be opened, or is no plain
// folder (a link, junction or mount point stands in its place).
// A depth-first walk that counts the folder's own files only: each folder is
// opened relative to its parent's handle by its name as the system lists it,
// and listed through the handle on which it was checked; it never goes into
// a reparse point and enters each folder once, by its volume's serial number
// and file index, so it ends on any tree. Folders that cannot be read count
// as empty. It never raises.
Result<std::optional<std::int32_t>> MeasureFolderSize(const std::wstring& folder);

}  // namespace kavrel
