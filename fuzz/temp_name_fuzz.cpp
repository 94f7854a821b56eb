// MakeTempName on any path: one "~" inserted, after the last backslash that
// stands before the final character, or at the front.
#include <string>

#include "fuzz_support.h"
#include "install/install_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring widePath = kavrel::fuzz::AsWideText(data, size);
    const std::wstring_view path = widePath;
    const std::wstring temp = kavrel::MakeTempName(path);

    FUZZ_CHECK(temp.size() == path.size() + 1);
    const std::size_t lastBackslash = path.size() < 2 ? std::wstring_view::npos : path.rfind(L'\\', path.size() - 2);
    const std::size_t at = lastBackslash == std::wstring_view::npos ? 0 : lastBackslash + 1;
    FUZZ_CHECK(temp[at] == L'~');
    FUZZ_CHECK(temp.compare(0, at, path.substr(0, at)) == 0);
    FUZZ_CHECK(temp.compare(at + 1, std::wstring::npos, path.substr(at)) == 0);
    return 0;
}
