#include "app/integrity_check.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

#include "app/integrity_rules.h"
#include "lang/messages.h"
#include "platform/unique_handle.h"

namespace kavrel {

// The slot that the build fills in after linking. Its marker occurs nowhere
// else in the file; the stamped fields are read through a volatile copy so
// that the compiler cannot fold in the zeros it was compiled with.
extern "C" __attribute__((used)) const DigestSlot kavrelDigestSlot = {
    {'K', 'a', 'v', 'r', 'e', 'l', 'D', 'i', 'g', 'e', 's', 't', 'S', 'l', 'o', 't'}, 0, 0, 0, {}};

namespace {

// A 1 MiB buffer stays in the processor's cache between the read that fills
// it and the hash that consumes it; with 4 MiB the check ran about a tenth
// slower under Wine.
constexpr DWORD kReadChunk = 1u << 20;
constexpr DWORD kHeadSize = 4096;
// Buffers in flight: one being hashed while the reader fills the other.
constexpr int kReadSlots = 2;

DigestSlot StampedSlot() {
    DigestSlot slot;
    const volatile unsigned char* source = reinterpret_cast<const volatile unsigned char*>(&kavrelDigestSlot);
    auto* target = reinterpret_cast<unsigned char*>(&slot);
    for (std::size_t i = 0; i < sizeof slot; ++i) target[i] = source[i];
    return slot;
}

// Reads exactly `size` bytes; false on a failed or short read.
bool ReadExactly(HANDLE file, std::uint8_t* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The file's bytes from the current position to `end`, chunk by chunk. A
// thread of its own reads the next chunk while the caller hashes the last,
// so the check costs about what the read costs: the two take turns over
// kReadSlots buffers, handed over through two semaphores (whose release and
// wait order every write to a buffer before its reading). Where no thread
// can be started, the chunks are read on the caller's thread.
//
// The reader thread touches only this object, and this object's destructor
// stops it and waits for it before anything is freed.
class ChunkReader {
public:
    struct Chunk {
        const std::uint8_t* data = nullptr;
        DWORD size = 0;
    };

    ChunkReader(HANDLE file, std::uint64_t start, std::uint64_t end) noexcept
        : file_(file), start_(start), end_(end) {}
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;
    ~ChunkReader() { Stop(); }

    // False when the buffers cannot be had.
    bool Allocate() noexcept {
        for (auto& slot : slots_) {
            slot.data.reset(new (std::nothrow) std::uint8_t[kReadChunk]);
            if (!slot.data) return false;
        }
        return true;
    }

    // Starts the reader thread; without one the chunks are read on demand.
    void StartAhead() noexcept {
        free_.reset(::CreateSemaphoreA(nullptr, kReadSlots, kReadSlots + 1, nullptr));
        filled_.reset(::CreateSemaphoreA(nullptr, 0, kReadSlots, nullptr));
        if (!free_ || !filled_) return;
        thread_.reset(::CreateThread(nullptr, 0, &ChunkReader::ThreadEntry, this, 0, nullptr));
    }

    // The next chunk, each at most kReadChunk bytes; nullopt when a read
    // failed. Valid until the next call. Called only while bytes are left.
    std::optional<Chunk> Next() noexcept {
        Slot& slot = slots_[next_ % kReadSlots];
        if (thread_) {
            // The chunk handed out before this one is done with.
            if (next_ > 0) ::ReleaseSemaphore(free_.get(), 1, nullptr);
            // A reader thread that ended without handing over the chunk failed.
            const HANDLE waits[] = {filled_.get(), thread_.get()};
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return std::nullopt;
        } else {
            Fill(slot, next_);
        }
        ++next_;
        if (!slot.ok) return std::nullopt;
        return Chunk{slot.data.get(), slot.size};
    }

private:
    struct Slot {
        std::unique_ptr<std::uint8_t[]> data;
        DWORD size = 0;
        bool ok = false;
    };

    // Reads chunk number `index` of the range into the slot.
    void Fill(Slot& slot, std::uint64_t index) noexcept {
        const std::uint64_t at = start_ + index * kReadChunk;
        slot.size = static_cast<DWORD>(std::min<std::uint64_t>(kReadChunk, end_ - at));
        slot.ok = ReadExactly(file_, slot.data.get(), slot.size);
    }

    static DWORD WINAPI ThreadEntry(void* parameter) noexcept {
        // An exception must not leave a thread's entry, which would end the
        // process. Nothing below throws; should it all the same, the thread
        // ends, and the caller, which waits for its end as well as for a
        // chunk, reports the file unreadable.
        try {
            static_cast<ChunkReader*>(parameter)->ReadAhead();
        } catch (...) {
        }
        return 0;
    }

    // The reader thread: fills each free buffer in turn until the range is
    // read, a read fails or the owner stops it.
    void ReadAhead() {
        for (std::uint64_t at = start_; at < end_; at += kReadChunk) {
            if (::WaitForSingleObject(free_.get(), INFINITE) != WAIT_OBJECT_0 || stop_.load(std::memory_order_acquire))
                return;
            Slot& slot = slots_[filledCount_ % kReadSlots];
            Fill(slot, filledCount_);
            ++filledCount_;
            ::ReleaseSemaphore(filled_.get(), 1, nullptr);
            if (!slot.ok) return;
        }
    }

    // Ends the reader thread: a reader waiting for a free buffer wakes up
    // and sees the stop; one inside a read finishes that read first.
    void Stop() noexcept {
        if (!thread_) return;
        stop_.store(true, std::memory_order_release);
        ::ReleaseSemaphore(free_.get(), 1, nullptr);
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }

    HANDLE file_;
    std::uint64_t start_;
    std::uint64_t end_;
    Slot slots_[kReadSlots];
    std::uint64_t next_ = 0;         // the caller's count of chunks taken
    std::uint64_t filledCount_ = 0;  // the reader thread's count of chunks read
    std::atomic<bool> stop_{false};
    UniqueHandle free_;
    UniqueHandle filled_;
    UniqueHandle thread_;
};

}  // namespace

IntegrityResult CheckFileIntegrity(const std::string& path, const DigestSlot& slot, const ByteProgress& progress) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return IntegrityResult::Unreadable;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return IntegrityResult::Unreadable;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);

    std::uint8_t head[kHeadSize];
    const DWORD headSize = static_cast<DWORD>(std::min<std::uint64_t>(kHeadSize, fileSize));
    if (!ReadExactly(file.get(), head, headSize)) return IntegrityResult::Unreadable;
    std::optional<ImageLayout> layout = ParseImageLayout(head, headSize);
    if (!layout) return IntegrityResult::Distorted;
    std::optional<std::uint64_t> padding = PaddingAfterCoveredContent(fileSize, slot.coveredLength, *layout);
    if (!padding || slot.slotFileOffset + sizeof slot > slot.coveredLength) return IntegrityResult::Distorted;

    DigestBuilder digest(DigestMasks(*layout, slot.slotFileOffset));
    digest.Feed(head, headSize);
    const std::uint64_t readEnd = slot.coveredLength + *padding;
    // Declared after the file: on every way out its thread has ended before
    // the file is closed.
    ChunkReader reader(file.get(), headSize, readEnd);
    if (!reader.Allocate()) return IntegrityResult::Unreadable;
    if (headSize < readEnd) reader.StartAhead();
    for (std::uint64_t at = headSize; at < readEnd;) {
        std::optional<ChunkReader::Chunk> chunk = reader.Next();
        if (!chunk) return IntegrityResult::Unreadable;
        const std::uint8_t* bytes = chunk->data;
        const std::uint64_t covered = std::min<std::uint64_t>(chunk->size, at < slot.coveredLength ? slot.coveredLength - at : 0);
        digest.Feed(bytes, static_cast<std::size_t>(covered));
        // Alignment before a certificate table is zeros, or something was added.
        for (std::size_t i = static_cast<std::size_t>(covered); i < chunk->size; ++i)
            if (bytes[i] != 0) return IntegrityResult::Distorted;
        at += chunk->size;
        if (progress) progress(at, readEnd);
    }
    auto actual = digest.Finish();
    return std::memcmp(actual.data(), slot.digest, actual.size()) == 0 ? IntegrityResult::Intact : IntegrityResult::Distorted;
}

namespace {

IntegrityResult CheckOwnFile(const ByteProgress& progress) {
    char path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return IntegrityResult::Unreadable;
    return CheckFileIntegrity(path, StampedSlot(), progress);
}

}  // namespace

bool IntegritySelfCheck(const ByteProgress& progress) {
    IntegrityResult result = IntegrityResult::Unreadable;
    try {
        result = CheckOwnFile(progress);
    } catch (const std::exception&) {
        result = IntegrityResult::Unreadable;
    }
    switch (result) {
        case IntegrityResult::Intact:
            return true;
        case IntegrityResult::Distorted:
            ShowBilingualMessage("The package file has been distorted!\r\nVirus?", "Файл пакета установки искажён!\r\nВирус?");
            return false;
        case IntegrityResult::Unreadable:
            break;
    }
    ShowBilingualMessage("Failed to check up the package file!", "Не удаётся проверить файл пакета установки!");
    return false;
}

}  // namespace kavrel
