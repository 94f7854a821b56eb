#include "install/extraction.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "base/text.h"
#include "install/install_rules.h"
#include "platform/failure_details.h"
#include "platform/system_clock.h"
#include "ui/progress_rules.h"

namespace kavrel {

namespace {

// Writes in slices: one huge WriteFile asks the system for a huge kernel
// buffer. 1 MiB, because under Wine writes of 8 MiB from the mapped resources
// ran now at full speed, now at a fraction of it (scripts/bench), while
// slices of 1 to 4 MiB kept an even pace.
constexpr DWORD kWriteSlice = 1u << 20;

// Writes one part; `done` counts the bytes of all parts written so far.
void WriteAll(HANDLE file, const std::wstring& path, const char* data, DWORD size, std::uint64_t& done,
              std::uint64_t total, const ByteProgress& progress, const Cancellation* cancel) {
    while (size > 0) {
        if (cancel && cancel->Requested()) Raise(CancelledByUser("write", ProgressPercent(done, total)));
        DWORD slice = std::min(size, kWriteSlice);
        DWORD written = 0;
        if (!::WriteFile(file, data, slice, &written, nullptr)) Raise(WindowsFailure("write failed", ::GetLastError(), WideText(path)));
        if (written != slice) Raise(Refusal("short write", ERROR_WRITE_FAULT, WideText(path)));
        data += slice;
        size -= slice;
        done += slice;
        // The whole is reported once it is on disk.
        if (progress && done < total) progress(done, total);
    }
}

}  // namespace

ResourceBytes FindPayloadResource(const std::string& name, const std::string& type) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(self, name.c_str(), type.c_str());
    if (!found) Raise(WindowsFailure("no resource", ::GetLastError(), SystemText(name)));
    HGLOBAL loaded = ::LoadResource(self, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) Raise(WindowsFailure("cannot load the resource", ::GetLastError(), SystemText(name)));
    return {static_cast<const char*>(data), ::SizeofResource(self, found)};
}

namespace {

// One look at what holds the installed file and the temporary one, right
// after a step failed: whether the installed file can be opened for the
// replace, and the programs Restart Manager names (in any session).
HolderLook LookAtHolders(const HeldFolder& folder, std::wstring_view targetName, const std::wstring& target,
                         const std::wstring& temporary) {
    HolderLook look;
    switch (folder.ObstacleToReplacing(targetName)) {
        case HeldFolder::ReplaceObstacle::HeldByAnother: look.heldAgainstReplace = true; break;
        case HeldFolder::ReplaceObstacle::DeletionDenied:
        case HeldFolder::ReplaceObstacle::NotAFile: look.lastingRefusal = true; break;
        case HeldFolder::ReplaceObstacle::None: break;
    }
    look.holders = ProgramsHoldingFiles({target, temporary});
    return look;
}

// The installer's own refusal of a write that the volume has no room for:
// found before the first byte, said with the megabytes (DescribeWriteFailure).
Failure TooLittleSpace(const std::wstring& target, CodeLocation where = CodeLocation::Here()) {
    return Refusal("not enough free space", ERROR_DISK_FULL, WideText(target), where);
}

// A file the installer may write, replace or remove: plain, with one name,
// and (once it has been written) the very file that was written.
void CheckOwnFile(HANDLE file, const std::wstring& path, std::optional<std::uint64_t> expectedIndex) {
    const std::optional<FileFacts> facts = QueryFileFacts(file);
    if (!facts || !IsPlainFileWithOneName(facts->attributes, facts->links) ||
        (expectedIndex && facts->fileIndex != *expectedIndex))
        Raise(Refusal("not the plain file that was written", ERROR_ACCESS_DENIED, WideText(path)));
}

}  // namespace

// The folder may be writable by any user, who can plant a hard link, a
// symbolic link or a junction at the name, or put a link in the folder's
// own place: opening an existing entry, or any path, would write through it
// into a file elsewhere. The folder is held and checked once; the file is
// made anew relative to it, and checked for what it really is.
StagedFile::StagedFile(const std::wstring& target, std::initializer_list<ResourceBytes> parts,
                       const ByteProgress& progress, const WaitClock& clock, Cancellation* cancel)
    : folder_(HeldFolder::Open(SplitFilePath(target).folder, HeldFolder::Purpose::Writing)),
      temporaryName_(L"~" + SplitFilePath(target).name),
      targetName_(SplitFilePath(target).name),
      targetPath_(target),
      temporaryPath_(MakeTempName(target)),
      budget_(ClockOrSystem(clock, cancel)) {
    std::uint64_t total = 0;
    for (const ResourceBytes& part : parts) total += part.size;
    // A stale temporary file that a scanner still holds, or whose name is
    // still being removed where the system has no POSIX deletion, is waited
    // out like a held package.
    UniqueHandle file;
    RetryWhileHeld(
        [&] {
            if (cancel && cancel->Requested()) Raise(CancelledByUser("write", 0));
            folder_.RemoveEntry(temporaryName_);
            // The old package stays until the replace: the volume must hold
            // the new one beside it. Found now, not after most of it has
            // been written.
            const std::optional<std::uint64_t> freeBytes = FreeSpaceOf(folder_.path());
            if (freeBytes && !HasRoomFor(total, *freeBytes))
                Raise(TooLittleSpace(targetPath_));
            file = folder_.CreateNewFile(temporaryName_);
        },
        budget_, [&] { return LookAtHolders(folder_, targetName_, targetPath_, temporaryPath_); });
    // Until it is written and flushed, a failure removes the file again
    // (left where it is rather than removed through a path that leads
    // elsewhere now).
    struct RemovedOnFailure {
        const HeldFolder& folder;
        HANDLE file;
        const std::wstring& name;
        bool kept = false;
        ~RemovedOnFailure() {
            if (kept) return;
            try {
                folder.ConfirmPath();
                folder.DeleteOpenFile(file, name, "cannot remove the temporary file");
            } catch (const std::exception&) {
                // The next run removes it.
            }
        }
    } staged{folder_, file.get(), temporaryName_};
    // A name planted between the removal and the create only makes the
    // create fail; a second name given to the new file would let its bytes
    // be reached from elsewhere.
    CheckOwnFile(file.get(), temporaryPath_, std::nullopt);
    fileIndex_ = QueryFileFacts(file.get())->fileIndex;
    std::uint64_t done = 0;
    for (const ResourceBytes& part : parts)
        WriteAll(file.get(), temporaryPath_, part.data, part.size, done, total, progress, cancel);
    // On disk before it takes the installed file's place.
    if (!::FlushFileBuffers(file.get()))
        Raise(WindowsFailure("flush failed", ::GetLastError(), WideText(temporaryPath_)));
    staged.kept = true;
    // Closed until its replace, so that the version of the new file can be
    // read by its path meanwhile; it is checked again when it is reopened.
    waiting_ = true;
    if (progress) progress(total, total);
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Replace(Cancellation* cancel) {
    UniqueHandle file;
    RetryWhileHeld([&] {
        if (!file) {
            file = folder_.OpenFileToReplace(temporaryName_);
            CheckOwnFile(file.get(), temporaryPath_, fileIndex_);
        }
        // Under Wine a rename goes by the folder's path, which must still be
        // the held folder's; on Windows the held folder cannot be moved.
        folder_.ConfirmPath();
        // The rename is the replace: a press before it stops the write, one
        // during it counts only if it fails.
        if (cancel && !cancel->BeginCommit()) Raise(CancelledByUser("write", 100));
        // The try ends either way, replaced or not.
        struct CommitEnd {
            Cancellation* cancel;
            bool replaced = false;
            ~CommitEnd() {
                if (cancel) cancel->EndCommit(replaced);
            }
        } commit{cancel};
        folder_.MoveInto(file.get(), targetName_, "cannot replace the installed file");
        commit.replaced = true;
    }, budget_, [&] { return LookAtHolders(folder_, targetName_, targetPath_, temporaryPath_); });
    waiting_ = false;
    // The rename written through to disk: flushing the file, now under its
    // new name, commits the change of its name with it. Its bytes are on disk
    // already, so a failure here does not undo the install.
    ::FlushFileBuffers(file.get());
}

void StagedFile::Discard() noexcept {
    if (!waiting_) return;
    waiting_ = false;
    try {
        UniqueHandle file = folder_.OpenFileToReplace(temporaryName_);
        CheckOwnFile(file.get(), temporaryPath_, fileIndex_);
        folder_.ConfirmPath();
        folder_.DeleteOpenFile(file.get(), temporaryName_, "cannot remove the temporary file");
    } catch (const std::exception&) {
        // Left under the temporary name rather than removed when it is no
        // longer the file written, or through a path that leads elsewhere
        // now (or no memory was left to say why); the next run replaces it.
    }
}

// What the user is told of a failed write rests on these facts of the
// system, gathered while they still hold. A failure that the wait for a
// held file judged has its cause, and its holders, already.
Failure DescribeWriteFailure(Failure failure, const std::wstring& target, std::uint64_t packageBytes) {
    if (failure.step.empty()) failure.step = "write";
    if (failure.cause == FailureCause::DiskFull) {
        failure.neededBytes = packageBytes;
        failure.freeBytes = FreeSpaceOf(SplitFilePath(target).folder).value_or(0);
    }
    return failure;
}

std::optional<Failure> AttemptWrite(const std::wstring& target, std::uint64_t packageBytes,
                                    const std::function<void()>& install) {
    try {
        install();
        return std::nullopt;
    } catch (const FailureRaised& raised) {
        if (raised.failure().cause == FailureCause::Cancelled) return raised.failure();
        return DescribeWriteFailure(raised.failure(), target, packageBytes);
    } catch (const std::bad_alloc&) {
        return DescribeWriteFailure(Refusal("no memory", ERROR_NOT_ENOUGH_MEMORY, WideText(target)), target,
                                    packageBytes);
    }
}

std::optional<Failure> InstallSplitResource(const std::string& baseName, const std::string& resourceType,
                                            const std::wstring& target, const ByteProgress& progress,
                                            const WaitClock& clock, Cancellation* cancel) {
    ResourceBytes first;
    ResourceBytes second;
    try {
        first = FindPayloadResource(baseName + "1", resourceType);
        second = FindPayloadResource(baseName + "2", resourceType);
    } catch (const FailureRaised& raised) {
        return DescribeWriteFailure(raised.failure(), target, 0);
    }
    return AttemptWrite(target, static_cast<std::uint64_t>(first.size) + second.size, [&] {
        StagedFile staged(target, {first, second}, progress, clock, cancel);
        staged.Replace(cancel);
    });
}

}  // namespace kavrel
