#pragma once
// Writes the package carried in the installer's resources into the
// application's folder, never leaving a partly written package behind.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "base/byte_progress.h"
#include "base/failure.h"
#include "base/wait_clock.h"
#include "install/install_rules.h"
#include "platform/cancellation.h"
#include "platform/folder_handle.h"
#include "platform/unique_handle.h"

namespace kavrel {

// Joins the resources <base>1 and <base>2 of the type into the target file,
// once. The package goes to "~" + name beside the target, is flushed, and
// then replaces the target in one step; on failure the target is as it was
// and no temporary file is left. Shows nothing; returns the failure, its
// cause told apart (DescribeWriteFailure). `progress` hears of every
// slice written, the last one once it is on disk; the wait for a held file
// goes by `clock`. A press of `cancel` (when given) stops the write between
// slices and ends a wait at once, until the replace begins: the failure is
// then CancelledByUser, and the target is as it was.
std::optional<Failure> InstallSplitResource(const std::string& baseName, const std::string& resourceType,
                                            const std::wstring& target, const ByteProgress& progress = {},
                                            const WaitClock& clock = {}, Cancellation* cancel = nullptr);

// Runs `install` (which raises FailureRaised or std::bad_alloc on failure)
// once and returns how it failed, if it did; `packageBytes` is what a write
// needs on the target's volume. A write the person cancelled is returned as
// it was raised: it is no failure of the write to describe.
std::optional<Failure> AttemptWrite(const std::wstring& target, std::uint64_t packageBytes,
                                    const std::function<void()>& install);

// A failed write of `target` as the run reports it: the step "write" and
// its cause (too little space, the file in use, or another failure), with
// the facts of the system that tell the person why, gathered while they
// still hold.
Failure DescribeWriteFailure(Failure failure, const std::wstring& target, std::uint64_t packageBytes);

// A resource of the installer's own module, read in place where the system
// has mapped it: no copy of the package is made.
struct ResourceBytes {
    const char* data = nullptr;
    unsigned long size = 0;
};
// Raises FailureRaised when the resource is missing.
ResourceBytes FindPayloadResource(const std::string& name, const std::string& type);

// A new file written and flushed under the temporary name beside its
// target, not yet in the target's place. The target's folder is held open
// from the first write to the end, and every step goes relative to it.
// Dropped before it took the target's place, the temporary file is removed.
class StagedFile {
public:
    // Opens the target's folder (a link, junction or mount point in its place
    // is refused), removes whatever stands at "~" + name (a link itself,
    // never what it points to; a folder there is a failure), makes sure that
    // its volume has room for the parts (too little is ERROR_DISK_FULL,
    // nothing written), makes the file anew there (a stale file that another
    // program holds is waited for on `clock`, the system's when none is
    // given, within the budget the replace then shares), writes the parts in order and flushes them to disk. Others
    // may read the file meanwhile, never write it; it is closed until its
    // replace, which checks that it is still the file written. Raises
    // FailureRaised, or std::bad_alloc. `progress` hears of every slice written; of the whole
    // only after the flush. A press of `cancel` raises CancelledByUser
    // before the next slice, or ends the wait for a stale file at once.
    StagedFile(const std::wstring& target, std::initializer_list<ResourceBytes> parts,
               const ByteProgress& progress = {}, const WaitClock& clock = {}, Cancellation* cancel = nullptr);
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Where the file lies while it waits: "~" + the target's name.
    const std::wstring& TemporaryPath() const noexcept { return temporaryPath_; }

    // Replaces the target in one step and writes the change through to disk,
    // waiting while the file or the target is held by another program, on
    // the clock and within the 30-s budget that the making of the file
    // began (HeldFileBudget). Raises FailureRaised; the target is then as it
    // was. A press of `cancel` ends the wait at once and raises
    // CancelledByUser; once the replace has happened, a press is refused.
    void Replace(Cancellation* cancel = nullptr);

    // Removes the temporary file, unless it is no longer the file written or
    // the folder's path leads elsewhere now. Never fails.
    void Discard() noexcept;

private:
    HeldFolder folder_;
    std::wstring temporaryName_;
    std::wstring targetName_;
    std::wstring targetPath_;
    std::wstring temporaryPath_;
    std::uint64_t fileIndex_ = 0;
    bool waiting_ = false;
    // One budget for every wait of this write.
    HeldFileBudget budget_;
};

}  // namespace kavrel
