#include "app/integrity_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kavrel {
namespace {

// A minimal PE32 header block: "MZ", the PE offset, the signature and an
// optional header with 16 data directories.
std::vector<std::uint8_t> FakeImage(std::size_t size, std::uint32_t certOffset = 0, std::uint32_t certSize = 0) {
    std::vector<std::uint8_t> image(size, 0x5A);
    std::memset(image.data(), 0, 512);
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 0x80;
    std::memcpy(image.data() + 0x80, "PE\0\0", 4);
    const std::size_t optional = 0x80 + 24;
    image[optional] = 0x0B;
    image[optional + 1] = 0x01;
    image[optional + 92] = 16;  // NumberOfRvaAndSizes
    std::memcpy(image.data() + optional + 96 + 32, &certOffset, 4);
    std::memcpy(image.data() + optional + 96 + 36, &certSize, 4);
    return image;
}

std::array<std::uint8_t, 16> DigestOf(const std::vector<std::uint8_t>& bytes, const std::vector<MaskedRange>& masks,
                                      std::size_t sliceSize) {
    DigestBuilder builder(masks);
    for (std::size_t at = 0; at < bytes.size(); at += sliceSize)
        builder.Feed(bytes.data() + at, std::min(sliceSize, bytes.size() - at));
    return builder.Finish();
}

TEST(ImageLayout, FindsTheFieldsThatSigningChanges) {
    auto image = FakeImage(4096, 0x2000, 0x300);
    auto layout = ParseImageLayout(image.data(), image.size());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->checksumOffset, 0x80u + 24 + 64);
    EXPECT_EQ(layout->certDirectoryOffset, 0x80u + 24 + 96 + 32);
    EXPECT_EQ(layout->certTableOffset, 0x2000u);
    EXPECT_EQ(layout->certTableSize, 0x300u);
    image[0] = 'X';
    EXPECT_FALSE(ParseImageLayout(image.data(), image.size()));
    EXPECT_FALSE(ParseImageLayout(image.data(), 0x30));
}

// Found by fuzzing: the directory count was read before the head was known
// to reach the certificate-table entry, past the end of a head cut short.
TEST(ImageLayout, RefusesAHeadCutShortWithoutReadingPastIt) {
    const auto image = FakeImage(512, 0x2000, 0x300);
    const std::size_t needed = 0x80 + 24 + 96 + 40;
    for (std::size_t size = 0x40; size <= needed; ++size) {
        // A copy of exactly that size, so that AddressSanitizer sees any read past it.
        const std::vector<std::uint8_t> head(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(ParseImageLayout(head.data(), head.size()).has_value(), size == needed) << size;
    }
}

TEST(Digest, DoesNotDependOnHowTheFileIsSlicedAndIgnoresOnlyTheMasks) {
    auto image = FakeImage(100000);
    for (std::size_t i = 512; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7919u >> 3);
    auto layout = *ParseImageLayout(image.data(), image.size());
    auto masks = DigestMasks(layout, 5000);
    auto reference = DigestOf(image, masks, image.size());
    EXPECT_EQ(DigestOf(image, masks, 1), reference);
    EXPECT_EQ(DigestOf(image, masks, 4093), reference);

    auto changedInMasks = image;
    changedInMasks[layout.checksumOffset + 3] ^= 0xFF;
    changedInMasks[layout.certDirectoryOffset] ^= 0x01;
    changedInMasks[5000 + kSlotStampedOffset + kSlotStampedSize - 1] ^= 0x80;
    EXPECT_EQ(DigestOf(changedInMasks, masks, 777), reference);

    for (std::size_t offset : {std::size_t{0}, std::size_t{0x3C}, layout.checksumOffset - 1, layout.checksumOffset + 4,
                               std::size_t{5000 + 15}, std::size_t{5000 + kSlotStampedOffset + kSlotStampedSize},
                               image.size() - 1}) {
        auto flipped = image;
        flipped[offset] ^= 0x01;
        EXPECT_NE(DigestOf(flipped, masks, 4096), reference) << "offset " << offset;
    }
    auto shorter = image;
    shorter.pop_back();
    EXPECT_NE(DigestOf(shorter, masks, 4096), reference);
}

// Found by fuzzing: masks were walked in the order given, so a mask starting
// before an earlier one was hashed as data when the file came in one piece,
// and a range running past 2^64 wrapped around and masked nothing.
TEST(Digest, TakesMasksInAnyOrderAndRangesRunningPastTheLastOffset) {
    std::vector<std::uint8_t> bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    auto zeroed = bytes;
    std::fill(zeroed.begin() + 10, zeroed.begin() + 20, 0);
    std::fill(zeroed.begin() + 200, zeroed.end(), 0);
    const auto reference = DigestOf(zeroed, {}, zeroed.size());

    const std::vector<MaskedRange> unordered = {{200, 5}, {10, 10}, {203, 200}};
    const std::vector<MaskedRange> pastTheEnd = {{10, 10}, {200, ~std::uint64_t{0}}};
    for (std::size_t slice : {std::size_t{1}, std::size_t{7}, bytes.size()}) {
        EXPECT_EQ(DigestOf(bytes, unordered, slice), reference) << slice;
        EXPECT_EQ(DigestOf(bytes, pastTheEnd, slice), reference) << slice;
    }
}

// The stored digest combines the digests of 1 MiB blocks, which two threads
// compute side by side in any order; each block reads the masks by their
// offsets in the file, also where a mask crosses from one block into the next.
TEST(Digest, OfBlocksDoesNotDependOnWhoHashesWhichBlock) {
    std::vector<std::uint8_t> content(5 * kDigestBlockSize + 12345);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    const std::uint64_t edge = 2 * kDigestBlockSize;
    const std::vector<MaskedRange> masks = {{100, 4}, {edge - 2, 4}, {edge + 4000, 32}};
    const auto reference = ContentDigest(content.data(), content.size(), masks);

    // Blocks computed out of order, as two threads would, each in slices.
    std::vector<BlockDigestValue> blocks(6);
    for (std::size_t i : {5u, 0u, 3u, 1u, 4u, 2u}) {
        const std::uint64_t at = i * kDigestBlockSize;
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kDigestBlockSize, content.size() - at));
        DigestBuilder builder(masks, at);
        for (std::size_t done = 0; done < size; done += 65536)
            builder.Feed(content.data() + at + done, std::min<std::size_t>(65536, size - done));
        blocks[i] = builder.Finish();
        EXPECT_EQ(blocks[i], BlockDigest(content.data() + at, size, at, masks)) << i;
    }
    EXPECT_EQ(CombineBlockDigests(blocks), reference);

    auto masked = content;
    masked[edge - 1] ^= 0xFF;
    masked[edge + 1] ^= 0xFF;
    masked[edge + 4031] ^= 0xFF;
    EXPECT_EQ(ContentDigest(masked.data(), masked.size(), masks), reference);
    for (std::size_t offset : {std::size_t{0}, static_cast<std::size_t>(edge) - 3, static_cast<std::size_t>(edge) + 2,
                               content.size() - 1}) {
        auto flipped = content;
        flipped[offset] ^= 0x01;
        EXPECT_NE(ContentDigest(flipped.data(), flipped.size(), masks), reference) << "offset " << offset;
    }
    // Two blocks swapped, or the last one cut: another digest.
    std::swap(blocks[1], blocks[2]);
    EXPECT_NE(CombineBlockDigests(blocks), reference);
    EXPECT_NE(ContentDigest(content.data(), content.size() - 1, masks), reference);
}

TEST(CoveredContent, AllowsOnlyAnAlignedCertificateTableAfterIt) {
    ImageLayout unsigned_{};
    EXPECT_EQ(PaddingAfterCoveredContent(1000, 1000, unsigned_), 0u);
    EXPECT_EQ(PaddingAfterCoveredContent(1001, 1000, unsigned_), std::nullopt);
    EXPECT_EQ(PaddingAfterCoveredContent(999, 1000, unsigned_), std::nullopt);
    EXPECT_EQ(PaddingAfterCoveredContent(1000, 0, unsigned_), std::nullopt);

    ImageLayout signed_{};
    signed_.certTableOffset = 1000;
    signed_.certTableSize = 500;
    EXPECT_EQ(PaddingAfterCoveredContent(1500, 1000, signed_), 0u);
    EXPECT_EQ(PaddingAfterCoveredContent(1501, 1000, signed_), std::nullopt);
    EXPECT_EQ(PaddingAfterCoveredContent(1500, 1001, signed_), std::nullopt);
    EXPECT_EQ(PaddingAfterCoveredContent(1500, 993, signed_), 7u);
    EXPECT_EQ(PaddingAfterCoveredContent(1500, 992, signed_), std::nullopt);
}

}  // namespace
}  // namespace kavrel
