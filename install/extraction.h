#pragma once
// Writes the package carried in the installer's resources into the
// application's folder, never leaving a partly written package behind.
#include <initializer_list>
#include <string>

#include "base/byte_progress.h"

namespace kavrel {

// Joins the resources <base>1 and <base>2 of the type into the target file.
// The package goes to "~" + name beside the target, is flushed, and then
// replaces the target in one step. On failure: "Can't install file <target>",
// the target as it was, no temporary file left; returns false. `progress`
// hears of every slice written, the last one once it is on disk.
bool InstallSplitResource(const std::string& baseName, const std::string& resourceType, const std::string& target,
                          const ByteProgress& progress = {});

// The message of a file that could not be installed: "Can't install file "
// and the target path.
void ShowInstallFailure(const std::string& target);

// A resource of the installer's own module, read in place where the system
// has mapped it: no copy of the package is made.
struct ResourceBytes {
    const char* data = nullptr;
    unsigned long size = 0;
};
// Raises std::runtime_error when the resource is missing.
ResourceBytes FindPayloadResource(const std::string& name, const std::string& type);

// Writes the parts, in order, to a file made anew at `path` and flushes it to
// disk. Whatever stood at that name is removed first (a link itself, never
// what it points to); a folder there, a name planted again meanwhile or a
// created file that is not plain with one name is a failure. Raises
// std::runtime_error on any failure. `progress` hears of every slice
// written; of the whole only after the flush.
void WriteFileFlushed(const std::string& path, std::initializer_list<ResourceBytes> parts,
                      const ByteProgress& progress = {});

// Replaces `target` by `temporary` in one step, written through to disk,
// retrying for about 10 s while the target is in use. On failure the
// temporary file is removed and the target stays as it was.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target);

}  // namespace kavrel
