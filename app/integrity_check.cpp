#include "app/integrity_check.h"

#include <windows.h>

#include <cstring>
#include <memory>

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

}  // namespace

IntegrityResult CheckFileIntegrity(const std::string& path, const DigestSlot& slot, const ByteProgress& progress) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return IntegrityResult::Unreadable;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return IntegrityResult::Unreadable;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kReadChunk]);
    if (!buffer) return IntegrityResult::Unreadable;
    const DWORD headSize = static_cast<DWORD>(std::min<std::uint64_t>(kHeadSize, fileSize));
    if (!ReadExactly(file.get(), buffer.get(), headSize)) return IntegrityResult::Unreadable;
    std::optional<ImageLayout> layout = ParseImageLayout(buffer.get(), headSize);
    if (!layout) return IntegrityResult::Distorted;
    std::optional<std::uint64_t> padding = PaddingAfterCoveredContent(fileSize, slot.coveredLength, *layout);
    if (!padding || slot.slotFileOffset + sizeof slot > slot.coveredLength) return IntegrityResult::Distorted;

    DigestBuilder digest(DigestMasks(*layout, slot.slotFileOffset));
    digest.Feed(buffer.get(), headSize);
    const std::uint64_t readEnd = slot.coveredLength + *padding;
    for (std::uint64_t at = headSize; at < readEnd;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(kReadChunk, readEnd - at));
        if (!ReadExactly(file.get(), buffer.get(), chunk)) return IntegrityResult::Unreadable;
        const std::uint64_t covered = std::min<std::uint64_t>(chunk, at < slot.coveredLength ? slot.coveredLength - at : 0);
        digest.Feed(buffer.get(), static_cast<std::size_t>(covered));
        // Alignment before a certificate table is zeros, or something was added.
        for (std::size_t i = static_cast<std::size_t>(covered); i < chunk; ++i)
            if (buffer[i] != 0) return IntegrityResult::Distorted;
        at += chunk;
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
