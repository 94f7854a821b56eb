#pragma once
// Writes the package carried in the installer's resources into the
// application's folder, never leaving a partly written package behind.
#include <string>

namespace kavrel {

// Joins the resources <base>1 and <base>2 of the type into the target file.
// The package goes to "~" + name beside the target, is flushed, and then
// replaces the target in one step. On failure: "Can't install file <target>",
// the target as it was, no temporary file left; returns false.
bool InstallSplitResource(const std::string& baseName, const std::string& resourceType, const std::string& target);

// Replaces `target` by `temporary` in one step, written through to disk,
// retrying for about 10 s while the target is in use. On failure the
// temporary file is removed and the target stays as it was.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target);

}  // namespace kavrel
