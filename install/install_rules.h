#pragma once
// Decisions of writing the package and measuring the installed size, as
// plain functions.
#include <algorithm>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "base/shown_text.h"
#include "base/text.h"
#include "base/wait_clock.h"
#include "base/windows_codes.h"
#include "platform/file_rules.h"

namespace kavrel {

// The temporary name beside a target: "~" inserted after the last backslash
// before the final character, or at the front when there is none.
std::wstring MakeTempName(std::wstring_view path);

// One look at what holds the installed file and the temporary one, taken
// right after a step failed.
struct HolderLook {
    // The installed file, opened with delete access as the replace needs
    // it: another program holds it without sharing deletion ...
    bool heldAgainstReplace = false;
    // ... or its permissions refuse deletion (whoever else has it open), or
    // a folder stands at its name: no wait lifts that.
    bool lastingRefusal = false;
    // The programs that Restart Manager names as holding either file (a
    // file mapped into a process shows only there).
    std::vector<FileHolder> holders;
};

// What a failed step of the write is, and what comes next.
enum class HeldVerdict : std::uint8_t {
    Held,       // another program holds the file: waited for, within the budget
    LookAgain,  // refused with no holder to explain it: tried once more after a short pause
    Final,      // no wait lifts it
};
struct WriteJudgement {
    FailureCause cause = FailureCause::InstallFailed;
    HeldVerdict verdict = HeldVerdict::Final;
};

// The pause before the one second look at a refusal: a scanner that had
// the file open for a moment has let go by then.
constexpr std::uint32_t kSecondLookMs = 250;

// Judges the Windows error of a failed step by one look at the holders.
// Disk full and the other errors are final. The errors of a file in use are
// held. Access denied is held only where the look explains it: a holder
// that keeps the installed file from being replaced, or one that Restart
// Manager names, and never where the refusal lasts (permissions, a folder);
// a refusal nothing explains gets one second look (`lookedAgain` once it had
// it), then it is final.
WriteJudgement JudgeWriteFailure(std::uint32_t error, const HolderLook& look, bool lookedAgain);

// The wait before the next try of a step refused as in use, after
// `waitedMs` of the budget are spent: 100 ms, doubling up to 1 s, never past
// the budget's end; nullopt once 30 s are spent. Endpoint protection holds
// a new file for 10 to 60 s.
constexpr std::uint32_t kHeldFileWaitLimitMs = 30000;
std::optional<std::uint32_t> NextHeldFileWait(std::uint32_t lastWaitMs, std::uint32_t waitedMs);

// The one budget of a write's waits for held files, shared by every step
// that waits (removing a stale temporary file, making the new one,
// replacing the package): 30 s on the wait clock, counted from each step's
// first failure to its last try, so that the tries and the looks at the
// holders count as much as the sleeps.
class HeldFileBudget {
public:
    explicit HeldFileBudget(WaitClock clock) : clock_(std::move(clock)) {}
    HeldFileBudget(const HeldFileBudget&) = delete;
    HeldFileBudget& operator=(const HeldFileBudget&) = delete;

    const WaitClock& clock() const noexcept { return clock_; }
    std::uint32_t SpentMs() const noexcept { return spentMs_; }
    // Adds what the clock has run since `sinceMs` (a reading of its own).
    void Spend(std::uint32_t sinceMs) {
        const std::uint64_t total = std::uint64_t{spentMs_} + static_cast<std::uint32_t>(clock_.now() - sinceMs);
        spentMs_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, kHeldFileWaitLimitMs));
    }

private:
    WaitClock clock_;
    std::uint32_t spentMs_ = 0;
};

// Runs `attempt` until it succeeds or fails for good. A failure Windows
// reported is judged by one look at the holders (`look()`, a HolderLook);
// the judgement's cause, and the holders where the file is held, go into
// the failure. A held file is waited for (NextHeldFileWait) within
// `budget`, a refusal nothing explains looked at once more; a refusal of
// the installer's own is never waited on. Raises the last failure.
template <typename Attempt, typename Look>
void RetryWhileHeld(Attempt attempt, HeldFileBudget& budget, Look look) {
    std::optional<std::uint32_t> stepStart;
    std::uint32_t lastWait = 0;
    bool lookedAgain = false;
    for (;;) {
        try {
            attempt();
            if (stepStart) budget.Spend(*stepStart);
            return;
        } catch (FailureRaised& raised) {
            Failure& failure = raised.failure();
            if (failure.origin == FailureOrigin::Installer) throw;
            HolderLook seen = look();
            const WriteJudgement judgement = JudgeWriteFailure(failure.windowsError, seen, lookedAgain);
            failure.cause = judgement.cause;
            if (judgement.cause == FailureCause::FileInUse) failure.holders = std::move(seen.holders);
            if (stepStart) budget.Spend(*stepStart);
            stepStart = budget.clock().now();
            std::optional<std::uint32_t> wait;
            if (judgement.verdict == HeldVerdict::Held) wait = NextHeldFileWait(lastWait, budget.SpentMs());
            if (judgement.verdict == HeldVerdict::LookAgain) {
                wait = kSecondLookMs;
                lookedAgain = true;
            }
            if (!wait) throw;
            budget.clock().sleep(*wait);
            if (judgement.verdict == HeldVerdict::Held) lastWait = *wait;
        }
    }
}


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
