// TextToInt on any text: it agrees with a reading of the documented grammar
// built on std::from_chars, and every value it gives reads back from the
// decimal text of that value.
#include <charconv>
#include <limits>
#include <optional>
#include <string>

#include "base/text.h"
#include "fuzz_support.h"

namespace {

bool IsDigitOfBase(char c, int base) {
    if (c >= '0' && c <= '9') return true;
    return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// Blanks, a sign, "$" or "0x"/"0X", digits of the base, in the int32 range.
std::optional<std::int32_t> Reference(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text.remove_prefix(first);
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    for (char c : text)
        if (!IsDigitOfBase(c, base)) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
    if (magnitude > kMaxPositive + (negative ? 1 : 0)) return std::nullopt;
    const auto value = static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(negative ? -value : value);
}

// "0", or an optional "-" and digits without a leading zero: the form that
// std::to_string gives.
bool IsPlainDecimal(std::string_view text) {
    if (text == "0") return true;
    if (text.starts_with("-")) text.remove_prefix(1);
    if (text.empty() || text.front() == '0') return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kavrel::fuzz::AsText(data, size);
    const std::optional<std::int32_t> value = kavrel::TextToInt(text);
    FUZZ_CHECK(value == Reference(text));
    if (value) {
        const std::string decimal = std::to_string(*value);
        FUZZ_CHECK(kavrel::TextToInt(decimal) == value);
        if (IsPlainDecimal(text)) FUZZ_CHECK(decimal == text);
    }
    return 0;
}
