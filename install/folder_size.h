#pragma once
// The installed size recorded in the application's uninstall registration.
#include <cstdint>
#include <string>

namespace kavrel {

// The total size of all files in the folder and every folder below it, in
// whole KiB (capped at 2,147,483,647); -1 when the folder does not exist.
// A breadth-first walk with one folder open at a time that counts the
// folder's own files only: it never goes into a reparse point (junction,
// symbolic link, mount point) and enters each folder once, by its volume's
// serial number and file index, so it ends on any tree. Each folder is listed
// through the handle on which it was checked. Folders that cannot be read
// count as empty. It never fails.
std::int32_t MeasureFolderSize(const std::string& folder);

}  // namespace kavrel
