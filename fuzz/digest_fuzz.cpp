// The file digest on any bytes, masks and slicing: it is XXH3-128 of the
// bytes with every masked range read as zeros, however the bytes are fed.
//
// Input: the mask count (0 to 4); each mask a mode byte, then its offset and
// size as 2 bytes each (mode bit 0: 8 bytes each); the slice count (0 to 8)
// and the slice sizes (2 bytes each); the rest is the file.
#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "app/integrity_rules.h"
#include "fuzz_support.h"

namespace {

using kavrel::MaskedRange;

std::array<std::uint8_t, 16> Reference(std::string bytes, const std::vector<MaskedRange>& masks) {
    for (const MaskedRange& mask : masks) {
        if (mask.offset >= bytes.size()) continue;
        // A range that would run past 2^64 covers everything after its start.
        const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - mask.offset;
        const std::uint64_t end = std::min<std::uint64_t>(mask.size > room ? bytes.size() : mask.offset + mask.size,
                                                          bytes.size());
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(mask.offset),
                  bytes.begin() + static_cast<std::ptrdiff_t>(end), '\0');
    }
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
    std::array<std::uint8_t, 16> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
        digest[i] = static_cast<std::uint8_t>(hash.low64 >> (8 * i));
        digest[8 + i] = static_cast<std::uint8_t>(hash.high64 >> (8 * i));
    }
    return digest;
}

std::array<std::uint8_t, 16> Digest(const std::string& bytes, const std::vector<MaskedRange>& masks,
                                    const std::vector<std::size_t>& slices) {
    kavrel::DigestBuilder builder(masks);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        // Slices of 0 bytes are fed too; a run of them ends with the rest at once.
        const std::size_t slice = i < 4 * slices.size() ? slices[i % slices.size()] : bytes.size();
        const std::size_t count = std::min(slice, bytes.size() - at);
        builder.Feed(data + at, count);
        at += count;
        FUZZ_CHECK(builder.Fed() == at);
    }
    return builder.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::fuzz::ByteReader in(data, size);
    std::vector<MaskedRange> masks(in.Byte() % 5u);
    for (MaskedRange& mask : masks) {
        const bool wide = (in.Byte() & 1) != 0;
        mask.offset = wide ? in.U64() : in.U16();
        mask.size = wide ? in.U64() : in.U16();
    }
    std::vector<std::size_t> slices(in.Byte() % 9u);
    for (std::size_t& slice : slices) slice = in.U16();
    const std::string bytes = in.Rest();

    const std::array<std::uint8_t, 16> expected = Reference(bytes, masks);
    FUZZ_CHECK(Digest(bytes, masks, {}) == expected);
    if (!slices.empty()) FUZZ_CHECK(Digest(bytes, masks, slices) == expected);
    FUZZ_CHECK(Digest(bytes, masks, {1}) == expected);
    return 0;
}
