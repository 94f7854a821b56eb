#include "app/integrity_rules.h"

#include <algorithm>
#include <cstring>
#include <limits>

// On x86 the AVX2 kernels of XXH3 are compiled as well, beside those the
// build targets (SSE2 for the installer), and chosen at run time: where the
// processor has AVX2 they hash about three times as fast, and hashing is
// most of what the self-check costs beyond reading the file. Both give the
// same digest.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
#define KAVREL_XXH3_AVX2 1
#include <immintrin.h>
#define XXH_DISPATCH_AVX2 1
#define XXH_TARGET_AVX2 __attribute__((target("avx2")))
// The AVX2 kernels load the accumulators 32 bytes at a time from aligned
// addresses, also from the copy on the stack that an update works on; as
// built for SSE2 that copy would be aligned to 16 bytes only.
#define XXH_ACC_ALIGN 64
#endif
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace kavrel {

namespace {

using UpdateFunction = void (*)(XXH3_state_t*, const void*, std::size_t);

void UpdateAsBuilt(XXH3_state_t* state, const void* data, std::size_t size) {
    XXH3_128bits_update(state, data, size);
}

#ifdef KAVREL_XXH3_AVX2
// XXH3_128bits_update with the AVX2 kernels.
XXH_TARGET_AVX2 void UpdateAvx2(XXH3_state_t* state, const void* data, std::size_t size) {
    XXH3_update(state, static_cast<const xxh_u8*>(data), size, XXH3_accumulate_512_avx2, XXH3_scrambleAcc_avx2);
}
#endif

UpdateFunction ChooseUpdate() {
#ifdef KAVREL_XXH3_AVX2
    // Also false where the system does not save the AVX registers (Windows
    // XP): libgcc asks XGETBV as well as CPUID.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return UpdateAvx2;
#endif
    return UpdateAsBuilt;
}

void Update(XXH3_state_t* state, const void* data, std::size_t size) {
    static const UpdateFunction chosen = ChooseUpdate();
    chosen(state, data, size);
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kSecurityDirectoryIndex = 4;

}  // namespace

std::optional<ImageLayout> ParseImageLayout(const std::uint8_t* head, std::size_t size) {
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    std::uint64_t pe = ReadLe32(head + 0x3C);
    if (pe + 24 + 2 > size || std::memcmp(head + pe, "PE\0\0", 4) != 0) return std::nullopt;
    std::uint64_t optional = pe + 24;
    std::uint16_t magic = ReadLe16(head + optional);
    std::uint64_t directories;
    if (magic == kPe32Magic) directories = optional + 96;
    else if (magic == kPe32PlusMagic) directories = optional + 112;
    else return std::nullopt;
    ImageLayout layout;
    layout.checksumOffset = optional + 64;
    layout.certDirectoryOffset = directories + 8 * kSecurityDirectoryIndex;
    // The directory count lies just before the directories, so this bound
    // covers it too: a head cut short within the optional header is no image.
    if (layout.certDirectoryOffset + 8 > size) return std::nullopt;
    std::uint64_t numberOfDirectories = ReadLe32(head + directories - 4);
    if (numberOfDirectories <= kSecurityDirectoryIndex) return std::nullopt;
    layout.certTableOffset = ReadLe32(head + layout.certDirectoryOffset);
    layout.certTableSize = ReadLe32(head + layout.certDirectoryOffset + 4);
    return layout;
}

std::vector<MaskedRange> DigestMasks(const ImageLayout& layout, std::uint64_t slotFileOffset) {
    std::vector<MaskedRange> masks = {{layout.checksumOffset, 4},
                                      {layout.certDirectoryOffset, 8},
                                      {slotFileOffset + kSlotStampedOffset, kSlotStampedSize}};
    std::sort(masks.begin(), masks.end(), [](const MaskedRange& a, const MaskedRange& b) { return a.offset < b.offset; });
    return masks;
}

DigestBuilder::DigestBuilder(std::vector<MaskedRange> masks, std::uint64_t startOffset)
    : masks_(std::move(masks)), fed_(startOffset), state_(XXH3_createState()) {
    // Feed walks the masks once, in order of their starts: a mask starting
    // before one already passed would be skipped.
    std::sort(masks_.begin(), masks_.end(), [](const MaskedRange& a, const MaskedRange& b) { return a.offset < b.offset; });
    XXH3_128bits_reset(static_cast<XXH3_state_t*>(state_));
}

DigestBuilder::~DigestBuilder() { XXH3_freeState(static_cast<XXH3_state_t*>(state_)); }

void DigestBuilder::Feed(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t zeros[64] = {};
    auto* state = static_cast<XXH3_state_t*>(state_);
    const std::uint64_t end = fed_ + size;
    std::uint64_t at = fed_;
    for (const MaskedRange& mask : masks_) {
        // A range that would run past 2^64 covers everything after its start.
        const std::uint64_t maskEnd = mask.size > std::numeric_limits<std::uint64_t>::max() - mask.offset
                                          ? std::numeric_limits<std::uint64_t>::max()
                                          : mask.offset + mask.size;
        if (maskEnd <= at || mask.offset >= end) continue;
        if (mask.offset > at) {
            Update(state, data + (at - fed_), static_cast<std::size_t>(mask.offset - at));
            at = mask.offset;
        }
        const std::uint64_t zeroEnd = std::min(maskEnd, end);
        while (at < zeroEnd) {
            std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(zeroEnd - at, sizeof zeros));
            Update(state, zeros, chunk);
            at += chunk;
        }
    }
    if (at < end) Update(state, data + (at - fed_), static_cast<std::size_t>(end - at));
    fed_ = end;
}

std::array<std::uint8_t, 16> DigestBuilder::Finish() {
    XXH128_hash_t hash = XXH3_128bits_digest(static_cast<XXH3_state_t*>(state_));
    std::array<std::uint8_t, 16> bytes{};
    for (int i = 0; i < 8; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hash.low64 >> (8 * i));
        bytes[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(hash.high64 >> (8 * i));
    }
    return bytes;
}

BlockDigestValue BlockDigest(const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                             const std::vector<MaskedRange>& masks) {
    DigestBuilder block(masks, offset);
    block.Feed(data, size);
    return block.Finish();
}

std::array<std::uint8_t, 16> CombineBlockDigests(const std::vector<BlockDigestValue>& blocks) {
    DigestBuilder whole({});
    for (const BlockDigestValue& block : blocks) whole.Feed(block.data(), block.size());
    return whole.Finish();
}

std::array<std::uint8_t, 16> ContentDigest(const std::uint8_t* content, std::size_t size,
                                           const std::vector<MaskedRange>& masks) {
    std::vector<BlockDigestValue> blocks;
    for (std::size_t at = 0; at < size; at += kDigestBlockSize) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kDigestBlockSize, size - at));
        blocks.push_back(BlockDigest(content + at, length, at, masks));
    }
    return CombineBlockDigests(blocks);
}

std::optional<std::uint64_t> PaddingAfterCoveredContent(std::uint64_t fileSize, std::uint64_t coveredLength,
                                                        const ImageLayout& layout) {
    if (coveredLength == 0) return std::nullopt;
    if (layout.certTableOffset == 0 && layout.certTableSize == 0)
        return fileSize == coveredLength ? std::optional<std::uint64_t>(0) : std::nullopt;
    const std::uint64_t tableStart = layout.certTableOffset;
    if (tableStart < coveredLength || tableStart - coveredLength >= 8) return std::nullopt;
    if (tableStart + layout.certTableSize != fileSize) return std::nullopt;
    return tableStart - coveredLength;
}

}  // namespace kavrel
