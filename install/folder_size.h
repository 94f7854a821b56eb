#pragma once
// The installed size recorded in the application's uninstall registration.
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"

namespace kavrel {

// What the walk found: the size, or none (-1), and what kept a walk of an
// existing folder from beginning. A missing folder is no failure: there is
// nothing to measure.
struct FolderSize {
    std::int32_t kib = -1;
    std::optional<Failure> failure;
};

// The total size of all files in the folder and every folder below it, in
// whole KiB (capped at 2,147,483,647); no size when the folder does not exist,
// cannot be opened, or is no plain folder (a link, junction or mount point
// stands in its place).
// A depth-first walk that counts the folder's own files only: each folder is
// opened relative to its parent's handle by its name as the system lists it,
// and listed through the handle on which it was checked; it never goes into
// a reparse point and enters each folder once, by its volume's serial number
// and file index, so it ends on any tree. Folders that cannot be read count
// as empty. It never raises.
FolderSize MeasureFolderSize(const std::wstring& folder);

}  // namespace kavrel
