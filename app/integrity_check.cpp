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

Failure SelfCheckFailure(Failure failure) {
    failure.cause = FailureCause::InstallerDamaged;
    failure.step = "self-check";
    return failure;
}

// A file that differs from its digest: the installer's own finding.
Failure Distorted(CodeLocation where = CodeLocation::Here()) {
    return SelfCheckFailure(Refusal("the file differs from its digest", kDistortedFileCode, {}, where));
}

// A file that cannot be read, with the Windows error where there is one.
Failure Unreadable(std::uint32_t error, CodeLocation where = CodeLocation::Here()) {
    return SelfCheckFailure(error != 0 ? WindowsFailure("the file cannot be read", error, {}, where)
                                       : Refusal("the file cannot be read", ERROR_READ_FAULT, {}, where));
}

// Reads exactly `size` bytes: nothing when they were read, else why not. A
// short read sets no error: the file ended early, which Windows does not
// call a failure, so none of its errors is named.
std::optional<Failure> ReadExactly(HANDLE file, std::uint8_t* buffer, DWORD size,
                                   CodeLocation where = CodeLocation::Here()) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer, size, &read, nullptr)) return Unreadable(::GetLastError(), where);
    if (read != size) return Unreadable(0, where);
    return std::nullopt;
}

// Reads exactly `size` bytes from `at`.
std::optional<Failure> ReadAt(HANDLE file, std::uint64_t at, std::uint8_t* buffer, DWORD size) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(at);
    if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return Unreadable(::GetLastError());
    return ReadExactly(file, buffer, size);
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

    // Reads and hashes blocks through `file` until none is left, either
    // thread met a failure or the person cancelled; `onBlock` hears of every
    // block done (on this thread). Returns the failure this thread met.
    std::optional<Failure> Work(HANDLE file, const std::function<void()>& onBlock = {}) noexcept {
        try {
            std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kDigestBlockSize]);
            if (!buffer) return Stop(Unreadable(0));
            for (;;) {
                if (stopped_.load(std::memory_order_acquire)) return std::nullopt;
                if (cancel_ && cancel_->Requested())
                    return Stop(CancelledByUser("self-check", ProgressPercent(Done(), readEnd_)));
                const std::uint64_t index = next_.fetch_add(1, std::memory_order_relaxed);
                if (index >= digests_.size()) return std::nullopt;
                if (std::optional<Failure> failure = CheckBlock(file, buffer.get(), static_cast<std::size_t>(index)))
                    return Stop(std::move(*failure));
                if (onBlock) onBlock();
            }
        } catch (const std::exception&) {
            // No memory even for the record: said at the end.
            brokeDown_.store(true, std::memory_order_release);
            stopped_.store(true, std::memory_order_release);
        }
        return std::nullopt;
    }

    // Bytes read and hashed so far, by all threads.
    std::uint64_t Done() const noexcept { return done_.load(std::memory_order_relaxed); }
    // True when a thread ran out of memory before it could say what it met.
    bool BrokeDown() const noexcept { return brokeDown_.load(std::memory_order_acquire); }

    // The digest of the whole, once every thread is done and none failed.
    std::array<std::uint8_t, 16> Digest() const { return CombineBlockDigests(digests_); }

private:
    std::optional<Failure> CheckBlock(HANDLE file, std::uint8_t* buffer, std::size_t index) {
        const std::uint64_t at = index * kDigestBlockSize;
        // The last block also reads the alignment that may follow the
        // covered content; it must be zeros, or something was added.
        const bool last = index + 1 == digests_.size();
        const auto covered = static_cast<DWORD>(std::min<std::uint64_t>(kDigestBlockSize, coveredLength_ - at));
        const auto size = static_cast<DWORD>(last ? readEnd_ - at : covered);
        // Each thread reads through a handle of its own and moves its
        // position. A read at an offset given with OVERLAPPED would save the
        // move, but under Wine it made the reads a third slower.
        if (std::optional<Failure> unread = ReadAt(file, at, buffer, size)) return unread;
        for (DWORD i = covered; i < size; ++i)
            if (buffer[i] != 0) return Distorted();
        digests_[index] = BlockDigest(buffer, covered, at, masks_);
        done_.fetch_add(size, std::memory_order_relaxed);
        return std::nullopt;
    }

    // The other thread stops at its next block.
    std::optional<Failure> Stop(Failure failure) noexcept {
        stopped_.store(true, std::memory_order_release);
        return failure;
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
    std::atomic<bool> stopped_{false};
    std::atomic<bool> brokeDown_{false};
};

struct HelperWork {
    BlockCheck* check;
    HANDLE file;
    const std::function<void()>* onBlock;
    // What the helper met; read once it has ended.
    std::optional<Failure> failure;
};

DWORD WINAPI RunHelper(void* parameter) noexcept {
    auto* work = static_cast<HelperWork*>(parameter);
    work->failure = work->check->Work(work->file, *work->onBlock);
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
    // Why the file could not be opened.
    std::optional<Failure> unopened;
};

UniqueHandle OpenToRead(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

FileToCheck OpenFileToCheck(const std::wstring& path) {
    FileToCheck opened{OpenToRead(path), {}, {}};
    if (!opened.file) {
        opened.unopened = Unreadable(::GetLastError());
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
    if (!file) return opened.unopened ? *opened.unopened : Unreadable(0);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return Unreadable(::GetLastError());
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);

    std::uint8_t head[kHeadSize];
    const DWORD headSize = static_cast<DWORD>(std::min<std::uint64_t>(kHeadSize, fileSize));
    // From the first byte, wherever an earlier check left the held handle.
    if (std::optional<Failure> unread = ReadAt(file.get(), 0, head, headSize)) return unread;
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
    HelperWork helperWork{&check, secondFile.get(), &report, {}};
    UniqueHandle helper;
    if (secondFile) helper.reset(::CreateThread(nullptr, 0, &RunHelper, &helperWork, 0, nullptr));
    std::optional<Failure> met;
    {
        ThreadJoiner joiner(helper);
        met = check.Work(file.get(), report);
    }
    if (met) return met;
    if (helperWork.failure) return helperWork.failure;
    if (check.BrokeDown()) return Unreadable(0);
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
        else HeldOwnFile().unopened = Unreadable(::GetLastError());
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
