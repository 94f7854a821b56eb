#pragma once
// The installed size recorded in the application's uninstall registration.
#include <cstdint>
#include <string>

namespace kavrel {

// The total size of all files in the folder and every folder below it, in
// whole KiB (capped at 2,147,483,647); -1 when the folder does not exist.
// A breadth-first walk with one enumeration open at a time; folders that
// cannot be read count as empty. It never fails.
std::int32_t MeasureFolderSize(const std::string& folder);

}  // namespace kavrel
