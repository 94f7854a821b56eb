#pragma once
// The single-resource form of installation: one resource becomes one file,
// and an existing file of a versioned kind is replaced only after its
// version has been compared with the new one.
#include <cstdint>
#include <functional>
#include <string>

#include "base/byte_progress.h"
#include "install/extraction.h"

namespace kavrel {

// The versions of a new and an installed file, as the question shows them.
struct VersionComparison {
    bool older = false;  // the new file is older than the installed one
    std::string newVersion;
    std::string installedVersion;
};

// Reads the versions of the two files by kind ("exe", "pak", "mzv", "rdw",
// "lng"; a "lng" target whose path holds "!" is not compared).
VersionComparison CompareFileVersions(const std::string& kind, const std::wstring& newFile,
                                      const std::wstring& installedFile);

// Asked when the new file is older than the installed one; true when it may
// replace it all the same.
using OlderFileQuestion = std::function<bool(const std::wstring& target, const VersionComparison& versions)>;

// Installs the resource `name` of type `type` as `target`, once. With
// `compare`, an existing file of a versioned kind is replaced only when the
// new file is not older or `allowOlder` agrees (no question: kept). The
// content always goes to a flushed "~" file beside the target first, which
// then takes the target's place in one step: an existing target is never
// left half written, and no link planted at either name is written
// through. Shows no box of its own (the question is `allowOlder`'s, which
// the update flow gives); a refusal is no failure. Returns the failure of
// the write, as InstallSplitResource. `progress` hears of every
// slice written, and `cancel` stops it as it stops InstallSplitResource.
// The progress window is hidden during the question and shown again after it.
std::optional<Failure> InstallResourceFile(const std::string& name, const std::string& type,
                                           const std::wstring& target, bool compare,
                                           const OlderFileQuestion& allowOlder, const ByteProgress& progress = {},
                                           const WaitClock& clock = {}, Cancellation* cancel = nullptr);

}  // namespace kavrel
