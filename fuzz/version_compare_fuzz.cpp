// IsOlderVersion on any two texts (split at the first line feed). For every
// pair of texts it is irreflexive and asymmetric: a component that fails to
// convert decides against its own text whichever side it stands on. Only for
// well-formed texts (the same count of one to four decimal components) is it
// the order of the numbers; other texts compare by the documented quirks
// (a component never read keeps the value before it), which are no order.
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "install/version_rules.h"

namespace {

// The components of a text of one to four dot-separated decimal numbers of at
// most nine digits each; nullopt for any other text.
std::optional<std::vector<std::int32_t>> WellFormed(std::string_view text) {
    std::vector<std::int32_t> numbers;
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view digits = text.substr(0, dot);
        if (digits.empty() || digits.size() > 9) return std::nullopt;
        std::int32_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        numbers.push_back(value);
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    if (numbers.size() > 4) return std::nullopt;
    return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = kavrel::fuzz::AsText(data, size);
    const std::size_t split = input.find('\n');
    const std::string first(input.substr(0, split));
    const std::string second(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));

    const bool older = kavrel::IsOlderVersion(first, second);
    const bool newer = kavrel::IsOlderVersion(second, first);
    FUZZ_CHECK(!kavrel::IsOlderVersion(first, first));
    FUZZ_CHECK(!kavrel::IsOlderVersion(second, second));
    FUZZ_CHECK(!(older && newer));

    const auto a = WellFormed(first);
    const auto b = WellFormed(second);
    if (a && b && a->size() == b->size()) {
        FUZZ_CHECK(older == (*a < *b));
        FUZZ_CHECK(newer == (*b < *a));
    }
    return 0;
}
