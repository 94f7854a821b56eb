#include "app/integrity_check.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/integrity_rules.h"
#include "platform/environment.h"
#include "platform/folder_handle.h"
#include "platform/unique_handle.h"
#include "ui/progress_rules.h"

namespace kavrel {

// The slot that the build fills in after linking. Its marker occurs nowhere
// else in the file; the stamped fields are read through a volatile copy so
// that the compiler cannot fold in the zeros it was compiled with.
extern "C" __attribute__((used)) const DigestSlot kavrelDigestSlot = {
    {'K', 'a', 'v', 'r', 'e', 'l', 'D', 'i', 'g', 'e', 's', 't', 'S', 'l', 'o', 't'}, 0, 0, 0, {}};

namespace {

constexpr DWORD kHeadSize = 4096;

DigestSlot StampedSlot() {
    DigestSlot slot;
    const volatile unsigned char* source = reinterpret_cast<const volatile unsigned char*>(&kavrelDigestSlot);
    auto* target = reinterpret_cast<unsigned char*>(&slot);
    for (std::size_t i = 0; i < sizeof slot; ++i) target[i] = source[i];
    return slot;
}

// The state of a block check that the two threads share: the first
// failure either of them met.
enum class IntegrityResult { Intact, Distorted, Unreadable, Cancelled };

Failure SelfCheckFailure(Failure failure) {
    failure.cause = FailureCause::InstallerDamaged;
    failure.step = "self-check";
    return failure;
}

// A file that differs from its digest: the installer's own finding.
Failure Distorted() { return SelfCheckFailure(Refusal("the file differs from its digest", kDistortedFileCode, {})); }

// A file that cannot be read, with the Windows error where there is one.
Failure Unreadable(std::uint32_t error) {
    return SelfCheckFailure(error != 0 ? WindowsFailure("the file cannot be read", error, {})
                                       : Refusal("the file cannot be read", ERROR_READ_FAULT, {}));
}

// Reads exactly `size` bytes; false on a failed or short read.
bool ReadExactly(HANDLE file, std::uint8_t* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The check's blocks, taken in turn by the threads that read and hash them
// (the next block goes to whichever thread is free), each through a handle
// of its own.
class BlockCheck {
public:
    BlockCheck(const DigestSlot& slot, std::vector<MaskedRange> masks, std::uint64_t readEnd,
               const Cancellation* cancel)
        : cancel_(cancel),
          masks_(std::move(masks)),
          coveredLength_(slot.coveredLength),
          readEnd_(readEnd),
          digests_(static_cast<std::size_t>((slot.coveredLength + kDigestBlockSize - 1) / kDigestBlockSize)) {}

    // Reads and hashes blocks through `file` until none is left, a thread
    // met a failure or the person cancelled; `onBlock` hears of every block
    // done (on this thread).
    void Work(HANDLE file, const std::function<void()>& onBlock = {}) noexcept {
        try {
            std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kDigestBlockSize]);
            if (!buffer) return Fail(IntegrityResult::Unreadable);
            for (;;) {
                if (Failure() != IntegrityResult::Intact) return;
                if (cancel_ && cancel_->Requested()) return Fail(IntegrityResult::Cancelled);
                const std::uint64_t index = next_.fetch_add(1, std::memory_order_relaxed);
                if (index >= digests_.size()) return;
                const IntegrityResult result = CheckBlock(file, buffer.get(), static_cast<std::size_t>(index));
                if (result != IntegrityResult::Intact) return Fail(result);
                if (onBlock) onBlock();
            }
        } catch (const std::exception&) {
            Fail(IntegrityResult::Unreadable);
        }
    }

    // Bytes read and hashed so far, by all threads.
    std::uint64_t Done() const noexcept { return done_.load(std::memory_order_relaxed); }

    // The first failure met, or Intact.
    IntegrityResult Failure() const noexcept { return failure_.load(std::memory_order_acquire); }
    // The Windows error of a failed read; 0 when none failed.
    std::uint32_t ReadError() const noexcept { return readError_.load(std::memory_order_relaxed); }

    // The digest of the whole, once every thread is done and none failed.
    std::array<std::uint8_t, 16> Digest() const { return CombineBlockDigests(digests_); }

private:
    IntegrityResult CheckBlock(HANDLE file, std::uint8_t* buffer, std::size_t index) {
        const std::uint64_t at = index * kDigestBlockSize;
        // The last block also reads the alignment that may follow the
        // covered content; it must be zeros, or something was added.
        const bool last = index + 1 == digests_.size();
        const auto covered = static_cast<DWORD>(std::min<std::uint64_t>(kDigestBlockSize, coveredLength_ - at));
        const auto size = static_cast<DWORD>(last ? readEnd_ - at : covered);
        // Each thread reads through a handle of its own and moves its
        // position. A read at an offset given with OVERLAPPED would save the
        // move, but under Wine it made the reads a third slower.
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(at);
        if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) || !ReadExactly(file, buffer, size)) {
            // Kept by the thread that met it; read once both threads have ended.
            readError_.store(::GetLastError(), std::memory_order_relaxed);
            return IntegrityResult::Unreadable;
        }
        for (DWORD i = covered; i < size; ++i)
            if (buffer[i] != 0) return IntegrityResult::Distorted;
        digests_[index] = BlockDigest(buffer, covered, at, masks_);
        done_.fetch_add(size, std::memory_order_relaxed);
        return IntegrityResult::Intact;
    }

    void Fail(IntegrityResult result) noexcept {
        IntegrityResult expected = IntegrityResult::Intact;
        failure_.compare_exchange_strong(expected, result, std::memory_order_acq_rel);
    }

    const Cancellation* const cancel_;
    const std::vector<MaskedRange> masks_;
    const std::uint64_t coveredLength_;
    const std::uint64_t readEnd_;
    // Each block's digest is written by the one thread that took the block
    // and read once both threads have ended.
    std::vector<BlockDigestValue> digests_;
    std::atomic<std::uint64_t> next_{0};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<IntegrityResult> failure_{IntegrityResult::Intact};
    std::atomic<std::uint32_t> readError_{0};
};

struct HelperWork {
    BlockCheck* check;
    HANDLE file;
    const std::function<void()>* onBlock;
};

DWORD WINAPI RunHelper(void* parameter) noexcept {
    const auto* work = static_cast<HelperWork*>(parameter);
    work->check->Work(work->file, *work->onBlock);
    return 0;
}

// Waits for a helper thread on every way out, before anything it uses goes.
class ThreadJoiner {
public:
    explicit ThreadJoiner(const UniqueHandle& thread) : thread_(thread) {}
    ThreadJoiner(const ThreadJoiner&) = delete;
    ThreadJoiner& operator=(const ThreadJoiner&) = delete;
    ~ThreadJoiner() {
        if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
    }

private:
    const UniqueHandle& thread_;
};

// The file to check, open for reading, and a second handle to it for the
// helper's reads: the reads through one handle are done one after the other
// on Windows. The second is empty when it cannot be had or cannot be shown
// to be the same file (a file system without file indices, a path that
// leads elsewhere by now): the first handle then does all the reads.
struct FileToCheck {
    UniqueHandle file;
    UniqueHandle second;
    std::uint32_t openError = 0;  // why the file could not be opened
};

UniqueHandle OpenToRead(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

FileToCheck OpenFileToCheck(const std::wstring& path) {
    FileToCheck opened{OpenToRead(path), {}};
    if (!opened.file) {
        opened.openError = ::GetLastError();
        return opened;
    }
    UniqueHandle second = OpenToRead(path);
    if (!second) return opened;
    const std::optional<FileFacts> first = QueryFileFacts(opened.file.get());
    const std::optional<FileFacts> again = QueryFileFacts(second.get());
    if (first && again && first->fileIndex != 0 && first->fileIndex == again->fileIndex)
        opened.second = std::move(second);
    return opened;
}

// The installer's own file, opened at start-up (HoldOwnFileForCheck).
FileToCheck& HeldOwnFile() {
    static FileToCheck held;
    return held;
}

// The blocks are read and hashed by two threads side by side, so that the
// check costs about what reading the file costs (reading and hashing in
// turn cost a third more). Where no second thread or handle can be had, the
// first handle's thread does them all.
std::optional<Failure> CheckOpenFile(const FileToCheck& opened, const DigestSlot& slot,
                                     const ByteProgress& progress, const Cancellation* cancel) {
    const UniqueHandle& file = opened.file;
    if (!file) return Unreadable(opened.openError);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return Unreadable(::GetLastError());
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);

    std::uint8_t head[kHeadSize];
    const DWORD headSize = static_cast<DWORD>(std::min<std::uint64_t>(kHeadSize, fileSize));
    // From the first byte, wherever an earlier check left the held handle.
    if (!::SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        !ReadExactly(file.get(), head, headSize))
        return Unreadable(::GetLastError());
    std::optional<ImageLayout> layout = ParseImageLayout(head, headSize);
    if (!layout) return Distorted();
    std::optional<std::uint64_t> padding = PaddingAfterCoveredContent(fileSize, slot.coveredLength, *layout);
    if (!padding || slot.slotFileOffset + sizeof slot > slot.coveredLength) return Distorted();

    const std::uint64_t readEnd = slot.coveredLength + *padding;
    BlockCheck check(slot, DigestMasks(*layout, slot.slotFileOffset), readEnd, cancel);
    const UniqueHandle& secondFile = opened.second;
    // Both threads report the blocks they finish, one at a time.
    std::mutex reportLock;
    const std::function<void()> report = [&] {
        if (!progress) return;
        const std::lock_guard<std::mutex> guard(reportLock);
        progress(check.Done(), readEnd);
    };
    HelperWork helperWork{&check, secondFile.get(), &report};
    UniqueHandle helper;
    if (secondFile) helper.reset(::CreateThread(nullptr, 0, &RunHelper, &helperWork, 0, nullptr));
    {
        ThreadJoiner joiner(helper);
        check.Work(file.get(), report);
    }
    if (check.Failure() == IntegrityResult::Distorted) return Distorted();
    if (check.Failure() == IntegrityResult::Unreadable) return Unreadable(check.ReadError());
    if (check.Failure() == IntegrityResult::Cancelled)
        return CancelledByUser("self-check", ProgressPercent(check.Done(), readEnd));
    report();
    const std::array<std::uint8_t, 16> actual = check.Digest();
    if (std::memcmp(actual.data(), slot.digest, actual.size()) != 0) return Distorted();
    return std::nullopt;
}

}  // namespace

std::optional<Failure> CheckFileIntegrity(const std::wstring& path, const DigestSlot& slot,
                                          const ByteProgress& progress, const Cancellation* cancel) {
    return CheckOpenFile(OpenFileToCheck(path), slot, progress, cancel);
}

void HoldOwnFileForCheck() noexcept {
    try {
        if (const std::optional<std::wstring> path = OwnExecutablePath()) HeldOwnFile() = OpenFileToCheck(*path);
        else HeldOwnFile().openError = ::GetLastError();
    } catch (const std::exception&) {
        // No memory for the path: the check finds the file unreadable.
    }
}

std::optional<Failure> IntegritySelfCheck(const ByteProgress& progress, const Cancellation* cancel) {
    try {
        return CheckOpenFile(HeldOwnFile(), StampedSlot(), progress, cancel);
    } catch (const std::exception&) {
        return Unreadable(0);
    }
}

std::uint64_t OwnFileBytes() {
    LARGE_INTEGER size{};
    const UniqueHandle& file = HeldOwnFile().file;
    if (!file || !::GetFileSizeEx(file.get(), &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace kavrel
