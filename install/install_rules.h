#pragma once
// Decisions of writing the package and measuring the installed size, as
// plain functions.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/shown_text.h"
#include "base/text.h"
#include "platform/file_rules.h"

namespace kavrel {

// The temporary name beside a target: "~" inserted after the last backslash
// before the final character, or at the front when there is none.
std::wstring MakeTempName(std::wstring_view path);

// Errors that show by themselves that another process holds the file open
// (sharing and lock violations, a file mapped into a process, a name still
// being removed): worth waiting for while the application closes, or a
// scanner looks at the new file.
bool IsFileInUseError(std::uint32_t error);

// Whether a failed step is worth waiting on: an error that shows a holder
// by itself, or access denied while a holder is shown by other means
// (`holderShown`: the file opened exclusively meets a sharing violation, or
// Restart Manager names a process). A folder at the name, a denial by the
// folder's permissions: no wait lifts those.
bool IsWorthWaiting(std::uint32_t error, bool holderShown);

// The wait before the next try of a replace refused as in use, after
// `waitedMs` in all: 100 ms, doubling up to 1 s; nullopt once 30 s have been
// waited for. Endpoint protection holds a new file for 10 to 60 s.
constexpr std::uint32_t kHeldFileWaitLimitMs = 30000;
std::optional<std::uint32_t> NextHeldFileWait(std::uint32_t lastWaitMs, std::uint32_t waitedMs);

// Runs `attempt` until it succeeds, or fails for another reason than a
// file that another program holds (the application closing, or a scanner
// looking at the new file): waits of NextHeldFileWait, 30 s in all, slept
// through `sleep` (milliseconds), the wait's clock. Access denied is waited
// on only while `holderShown()` says a holder is there; a refusal of the
// installer's own never. Raises the last failure.
template <typename Attempt, typename Sleep, typename HolderShown>
void RetryWhileHeld(Attempt attempt, Sleep sleep, HolderShown holderShown) {
    constexpr std::uint32_t kAccessDenied = 5;
    std::uint32_t lastWait = 0;
    std::uint32_t waited = 0;
    for (;;) {
        try {
            attempt();
            return;
        } catch (const FailureRaised& raised) {
            const Failure& failure = raised.failure();
            const bool worthWaiting =
                failure.origin == FailureOrigin::Windows &&
                IsWorthWaiting(failure.code, failure.code == kAccessDenied && holderShown());
            const std::optional<std::uint32_t> wait =
                worthWaiting ? NextHeldFileWait(lastWait, waited) : std::nullopt;
            if (!wait) throw;
            sleep(*wait);
            lastWait = *wait;
            waited += *wait;
        }
    }
}

// The cause of a Windows error met while writing. Access denied means a
// file in use only where another program is shown to hold the installed or
// the temporary file (`holderShown`): a replace refused while it is open.
FailureCause CauseOfWriteError(std::uint32_t error, bool holderShown);

// Whether the volume's free space can take a package of `neededBytes`
// beside the installed one, which stays until the replace.
bool HasRoomFor(std::uint64_t neededBytes, std::uint64_t freeBytes);

// Whole megabytes (1,048,576 bytes): rounded up for what is needed, down
// for what is free, so that the two never make too little look like enough.
std::uint64_t MegabytesNeeded(std::uint64_t bytes);
std::uint64_t MegabytesFree(std::uint64_t bytes);

// The line that says why a write failed, in the message language: too
// little space (with the megabytes), the file in use (with its holders,
// where known), no access to the folder, or the Windows error with
// `errorText`, the system's description of it without its line end.
ShownText WriteFailureReasonText(bool russian, const Failure& failure, const ShownText& errorText);

// The whole message of a failed write: "Can't install file " and the path,
// an empty line, and the reason line (or the Russian twins).
ShownText InstallFailureText(bool russian, const ShownText& target, const ShownText& reason);

// True for an entry of the size walk to go down into: a folder that is
// neither "." nor ".." nor a reparse point. A junction or a symbolic link may
// lead out of the tree (another drive) or back up into it (a loop). The name
// is UTF-16, as the system lists it: only the real dots are the dot entries.
bool IsFolderToDescend(std::uint32_t attributes, std::u16string_view name);

// A folder as its volume knows it, whatever path led to it: the size walk
// enters each identity once, so that a loop the system does not report as a
// link (Wine shows some Unix links that way) still ends.
struct FolderIdentity {
    std::uint32_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;
    auto operator<=>(const FolderIdentity&) const = default;
};

// True for the errors of a folder that does not exist (file or path not
// found): the size walk then has nothing to measure, which is no failure.
bool IsMissingFolderError(std::uint32_t error);

// A folder's total size in whole KiB, capped at the largest value the
// registry's signed size can hold.
std::int32_t SizeInKiB(std::uint64_t totalBytes);

}  // namespace kavrel
