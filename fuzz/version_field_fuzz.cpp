// The version fields of the data files. Input: the kind (a NUL-ended text), a
// read count (4 bytes) that any read may report, then the file's bytes.
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "install/version_rules.h"

namespace {

using kavrel::VersionField;

std::int32_t LittleEndian(const std::uint8_t* bytes, std::uint32_t width) {
    return width == 2 ? bytes[0] | bytes[1] << 8 : bytes[0];
}

// As the version probe reads it: at most the field's width from its offset,
// into a buffer of exactly that width, so that reading past it is caught.
void CheckFileRead(const std::string& file, const VersionField& field) {
    auto buffer = std::make_unique<std::uint8_t[]>(field.width);
    std::uint32_t read = 0;
    if (field.offset < file.size()) {
        read = static_cast<std::uint32_t>(std::min<std::size_t>(field.width, file.size() - field.offset));
        std::memcpy(buffer.get(), file.data() + field.offset, read);
    }
    const std::int32_t version = kavrel::VersionFromField(buffer.get(), read, field);
    FUZZ_CHECK(version == (read == field.width ? LittleEndian(buffer.get(), field.width) : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::fuzz::ByteReader in(data, size);
    const std::string kind = in.Text();
    const std::uint32_t reportedRead = in.U32();
    const std::string file = in.Rest();

    const std::optional<VersionField> field = kavrel::VersionFieldOfKind(kind);
    FUZZ_CHECK(field.has_value() == (kind == "pak" || kind == "rdw" || kind == "mzv"));
    if (field) {
        FUZZ_CHECK(kavrel::IsVersionedKind(kind));
        FUZZ_CHECK(field->width == 1 || field->width == 2);
        auto buffer = std::make_unique<std::uint8_t[]>(field->width);
        std::memcpy(buffer.get(), file.data(), std::min<std::size_t>(field->width, file.size()));
        const std::int32_t version = kavrel::VersionFromField(buffer.get(), reportedRead, *field);
        FUZZ_CHECK(version == (reportedRead == field->width ? LittleEndian(buffer.get(), field->width) : 0));
        FUZZ_CHECK(version >= 0 && version < 1 << (8 * field->width));
    }
    for (const char* known : {"pak", "rdw", "mzv"}) CheckFileRead(file, *kavrel::VersionFieldOfKind(known));
    return 0;
}
