// The PE layout parser on any bytes (the image starts at the first byte), and
// the check of what may follow the covered content. The DOS header's bytes
// 2 to 17, which the parser ignores, give a file size and a covered length.
#include <cstring>
#include <optional>
#include <vector>

#include "app/integrity_rules.h"
#include "fuzz_support.h"

namespace {

using kavrel::ImageLayout;

std::uint64_t ReadLe(const std::uint8_t* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

void CheckPadding(std::uint64_t fileSize, std::uint64_t covered, const ImageLayout& layout) {
    const std::optional<std::uint64_t> padding = kavrel::PaddingAfterCoveredContent(fileSize, covered, layout);
    if (!padding) return;
    FUZZ_CHECK(covered != 0 && *padding < 8);
    if (layout.certTableOffset == 0 && layout.certTableSize == 0) {
        FUZZ_CHECK(*padding == 0 && fileSize == covered);
    } else {
        FUZZ_CHECK(covered + *padding == layout.certTableOffset);
        FUZZ_CHECK(std::uint64_t{layout.certTableOffset} + layout.certTableSize == fileSize);
    }
}

void CheckLayout(const std::uint8_t* head, std::size_t size, const ImageLayout& layout) {
    FUZZ_CHECK(size >= 0x40 && head[0] == 'M' && head[1] == 'Z');
    const std::uint64_t pe = ReadLe(head + 0x3C, 4);
    FUZZ_CHECK(std::memcmp(head + pe, "PE\0\0", 4) == 0);
    FUZZ_CHECK(layout.checksumOffset == pe + 24 + 64);
    FUZZ_CHECK(layout.checksumOffset + 4 <= layout.certDirectoryOffset);
    FUZZ_CHECK(layout.certDirectoryOffset + 8 <= size);
    FUZZ_CHECK(layout.certTableOffset == ReadLe(head + layout.certDirectoryOffset, 4));
    FUZZ_CHECK(layout.certTableSize == ReadLe(head + layout.certDirectoryOffset + 4, 4));

    for (std::uint64_t slot : {std::uint64_t{0}, std::uint64_t{size}, layout.checksumOffset}) {
        const std::vector<kavrel::MaskedRange> masks = kavrel::DigestMasks(layout, slot);
        FUZZ_CHECK(masks.size() == 3);
        for (std::size_t i = 1; i < masks.size(); ++i) FUZZ_CHECK(masks[i - 1].offset <= masks[i].offset);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so that reading past it is caught.
    const std::vector<std::uint8_t> head(data, data + size);
    const std::optional<ImageLayout> layout = kavrel::ParseImageLayout(head.data(), head.size());
    if (layout) CheckLayout(head.data(), head.size(), *layout);

    ImageLayout probe = layout.value_or(ImageLayout{});
    const std::uint64_t fileSize = size >= 18 ? ReadLe(data + 2, 8) : size;
    const std::uint64_t covered = size >= 18 ? ReadLe(data + 10, 8) : size;
    CheckPadding(fileSize, covered, probe);
    const std::uint64_t tableEnd = std::uint64_t{probe.certTableOffset} + probe.certTableSize;
    for (std::uint64_t gap = 0; gap <= 8; ++gap)
        CheckPadding(tableEnd, probe.certTableOffset >= gap ? probe.certTableOffset - gap : 0, probe);
    CheckPadding(size, size, probe);
    return 0;
}
