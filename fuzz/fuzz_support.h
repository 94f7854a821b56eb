#pragma once
// What every harness shares: a reader that takes typed fields off the
// fuzzer's bytes, and a check that turns a broken property into a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kavrel::fuzz {

// A broken property aborts, so that libFuzzer keeps the input as a finding.
[[noreturn]] inline void PropertyBroken(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

// Fields taken in order from the front of the input. Bytes past the end read
// as zero and texts as empty, so that every input means something.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : std::uint8_t{0}; }
    std::uint16_t U16() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | static_cast<std::uint32_t>(U16()) << 16;
    }
    std::uint64_t U64() {
        const std::uint64_t low = U32();
        return low | static_cast<std::uint64_t>(U32()) << 32;
    }
    // Up to the next NUL, which is dropped, or to the end.
    std::string Text() {
        std::string text;
        while (at_ < size_ && data_[at_] != 0) text += static_cast<char>(data_[at_++]);
        if (at_ < size_) ++at_;
        return text;
    }
    // Whatever is left.
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
        at_ = size_;
        return rest;
    }
    bool AtEnd() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input as UTF-16 code units, two bytes each (low byte first), as
// Windows hands out paths and command lines: any unit, lone surrogates and
// NUL included.
inline std::wstring AsWideText(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    return text;
}

}  // namespace kavrel::fuzz

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::kavrel::fuzz::PropertyBroken(__FILE__, __LINE__, #condition))
