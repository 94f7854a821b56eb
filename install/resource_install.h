#pragma once
// The single-resource form of installation: one resource becomes one file,
// and an existing file of a versioned kind is replaced only after its
// version has been compared with the new one.
#include <cstdint>
#include <string>

#include "base/byte_progress.h"

namespace kavrel {

// The versions of a new and an installed file, as the question shows them.
struct VersionComparison {
    bool older = false;  // the new file is older than the installed one
    std::string newVersion;
    std::string installedVersion;
};

// Reads the versions of the two files by kind ("exe", "pak", "mzv", "rdw",
// "lng"; a "lng" target whose path holds "!" is not compared).
VersionComparison CompareFileVersions(const std::string& kind, const std::string& newFile,
                                      const std::string& installedFile);

// Installs the resource `name` of type `type` as `target`. With `compare`,
// an existing file of a versioned kind is replaced only when the new file is
// not older or the user agrees. The content always goes to a flushed "~"
// file beside the target first, which then takes the target's place in one
// step: an existing target is never left half written, and no link planted
// at either name is written through.
// On failure "Can't install file <target>" with the reason and false (in an
// interactive run, `offerRetry`, with Retry, which writes again); a refusal
// is no failure. `progress` hears of every slice written. The progress
// window is hidden during the question and shown again after it.
bool InstallResourceFile(const std::string& name, const std::string& type, const std::string& target, bool compare,
                         const ByteProgress& progress = {}, bool offerRetry = false);

}  // namespace kavrel
