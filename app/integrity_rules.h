#pragma once
// How the installer's own file is checked: a 128-bit digest of the file as
// built, stored in a slot inside the file by a build-time tool. The digest
// leaves out what Authenticode signing changes (the PE checksum, the
// certificate-table directory entry and the certificate table appended at
// the end) and the slot's own stamped fields; everything else is covered,
// and nothing may follow the covered content but a certificate table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kavrel {

// The slot compiled into the installer and filled in after linking.
constexpr std::array<char, 16> kDigestSlotMarker = {'K', 'a', 'v', 'r', 'e', 'l', 'D', 'i',
                                                     'g', 'e', 's', 't', 'S', 'l', 'o', 't'};
struct DigestSlot {
    char marker[16];
    std::uint32_t slotFileOffset;  // where this slot lies in the file
    std::uint32_t reserved;
    std::uint64_t coveredLength;   // the file's length when it was stamped
    std::uint8_t digest[16];       // see ContentDigest; low half first, little-endian
};
static_assert(sizeof(DigestSlot) == 48, "the slot layout is fixed");
// The stamped fields, which the digest leaves out: all but the marker.
constexpr std::size_t kSlotStampedOffset = 16;
constexpr std::size_t kSlotStampedSize = 32;

// Where signing writes in a PE image, read from its headers.
struct ImageLayout {
    std::uint64_t checksumOffset = 0;        // the optional header's CheckSum
    std::uint64_t certDirectoryOffset = 0;   // the certificate-table directory entry (8 bytes)
    std::uint32_t certTableOffset = 0;       // file offset of the certificate table; 0 when unsigned
    std::uint32_t certTableSize = 0;
};

// The layout from the first bytes of the file; nullopt when they are not a PE image.
std::optional<ImageLayout> ParseImageLayout(const std::uint8_t* head, std::size_t size);

// A byte range that the digest reads as zeros.
struct MaskedRange {
    std::uint64_t offset;
    std::uint64_t size;
};
// The ranges left out of the digest for an image and its slot.
std::vector<MaskedRange> DigestMasks(const ImageLayout& layout, std::uint64_t slotFileOffset);

// XXH3-128 of a part of a file's covered content fed in order from the
// part's start (`startOffset`), masked ranges read as zeros. The masks, in
// offsets of the file, may come in any order and may overlap.
class DigestBuilder {
public:
    explicit DigestBuilder(std::vector<MaskedRange> masks, std::uint64_t startOffset = 0);
    ~DigestBuilder();
    DigestBuilder(const DigestBuilder&) = delete;
    DigestBuilder& operator=(const DigestBuilder&) = delete;
    // The next bytes of the file.
    void Feed(const std::uint8_t* data, std::size_t size);
    // The digest of everything fed, in the slot's byte order.
    std::array<std::uint8_t, 16> Finish();
    // The file offset up to which bytes were fed.
    std::uint64_t Fed() const { return fed_; }

private:
    std::vector<MaskedRange> masks_;
    std::uint64_t fed_ = 0;
    void* state_;
};

// The covered content is digested in blocks of kDigestBlockSize bytes (the
// last one shorter), each on its own, so that two threads can read and hash
// blocks side by side; the stored digest is XXH3-128 of the blocks'
// digests in order. 1 MiB: a block stays in the processor's cache between
// the read that fills it and the hash that consumes it.
constexpr std::uint64_t kDigestBlockSize = std::uint64_t{1} << 20;
using BlockDigestValue = std::array<std::uint8_t, 16>;

// The digest of one block: `size` bytes at `offset` of the file, masked
// ranges (in offsets of the file) read as zeros.
BlockDigestValue BlockDigest(const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                             const std::vector<MaskedRange>& masks);

// The stored digest from the blocks' digests.
std::array<std::uint8_t, 16> CombineBlockDigests(const std::vector<BlockDigestValue>& blocks);

// The stored digest of covered content held whole in memory.
std::array<std::uint8_t, 16> ContentDigest(const std::uint8_t* content, std::size_t size,
                                           const std::vector<MaskedRange>& masks);

// What may follow the covered content: nothing, or (after at most 7 zero
// bytes of alignment) exactly the certificate table, ending the file.
// Returns how many bytes after the covered content must be read as padding,
// or nullopt when the file's length does not fit the stamp.
std::optional<std::uint64_t> PaddingAfterCoveredContent(std::uint64_t fileSize, std::uint64_t coveredLength,
                                                        const ImageLayout& layout);

}  // namespace kavrel
