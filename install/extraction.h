#pragma once
// Writes the package carried in the installer's resources into the
// application's folder, never leaving a partly written package behind.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "base/byte_progress.h"
#include "platform/folder_handle.h"
#include "platform/unique_handle.h"

namespace kavrel {

// Joins the resources <base>1 and <base>2 of the type into the target file.
// The package goes to "~" + name beside the target, is flushed, and then
// replaces the target in one step. On failure: "Can't install file <target>"
// with the reason, the target as it was, no temporary file left; in an
// interactive run (`offerRetry`) with Retry, which writes again. Returns
// whether the package was installed. `progress` hears of every slice
// written, the last one once it is on disk.
bool InstallSplitResource(const std::string& baseName, const std::string& resourceType, const std::string& target,
                          const ByteProgress& progress = {}, bool offerRetry = false);

// Runs `install` (which raises on failure) until it succeeds. Each failure
// is shown as "Can't install file <target>" and its reason; in an
// interactive run (`offerRetry`) the box has Retry and Cancel, and Retry
// runs `install` again with the progress window back. `packageBytes` is what
// a write needs on the volume. Returns false once the user cancels, or after
// the first failure of a quiet run.
bool InstallWithRetry(const std::string& target, std::uint64_t packageBytes, bool offerRetry,
                      const std::function<void()>& install);

// A resource of the installer's own module, read in place where the system
// has mapped it: no copy of the package is made.
struct ResourceBytes {
    const char* data = nullptr;
    unsigned long size = 0;
};
// Raises FileError when the resource is missing.
ResourceBytes FindPayloadResource(const std::string& name, const std::string& type);

// A new file written and flushed under the temporary name beside its
// target, not yet in the target's place. The target's folder is held open
// from the first write to the end, and every step goes relative to it.
// Dropped before it took the target's place, the temporary file is removed.
class StagedFile {
public:
    // Opens the target's folder (a link, junction or mount point in its place
    // is refused), makes sure that its volume has room for the parts (too
    // little is ERROR_DISK_FULL, nothing written), removes whatever stands at
    // "~" + name (a link itself,
    // never what it points to; a folder there is a failure), makes the file
    // anew there, writes the parts in order and flushes them to disk. Others
    // may read the file meanwhile, never write it; it is closed until its
    // replace, which checks that it is still the file written. Raises
    // FileError, or std::bad_alloc. `progress` hears of every slice written; of the whole
    // only after the flush.
    StagedFile(const std::string& target, std::initializer_list<ResourceBytes> parts,
               const ByteProgress& progress = {});
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Where the file lies while it waits: "~" + the target's name.
    const std::string& TemporaryPath() const noexcept { return temporaryPath_; }

    // Replaces the target in one step and writes the change through to disk,
    // retrying for about 10 s while the target is in use. Raises FileError;
    // the target is then as it was.
    void Replace();

    // Removes the temporary file, unless it is no longer the file written or
    // the folder's path leads elsewhere now. Never fails.
    void Discard() noexcept;

private:
    HeldFolder folder_;
    std::wstring temporaryName_;
    std::wstring targetName_;
    std::string targetPath_;
    std::string temporaryPath_;
    std::uint64_t fileIndex_ = 0;
    bool waiting_ = false;
};

}  // namespace kavrel
