// The uninstall-command cut and the WOW6432Node key path on any text. The cut
// is the command's path, leading blanks skipped (without its quotes when it
// then begins with one), up to the last backslash before the path's final
// character; nothing when there is no such backslash.
#include <algorithm>
#include <optional>
#include <string>

#include "env/discovery_rules.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view command = kavrel::fuzz::AsText(data, size);
    const std::optional<std::string> folder = kavrel::CutUninstallCommand(command);

    std::string_view path = command;
    const std::size_t blanks = std::min(path.find_first_not_of(" \t"), path.size());
    path.remove_prefix(blanks);
    const bool quoted = path.starts_with("\"");
    if (quoted) {
        path.remove_prefix(1);
        path = path.substr(0, path.find('"'));
    }
    const std::size_t lastBackslash = path.size() < 2 ? std::string_view::npos : path.rfind('\\', path.size() - 2);
    FUZZ_CHECK(folder.has_value() == (lastBackslash != std::string_view::npos));
    if (folder) {
        FUZZ_CHECK(folder->ends_with('\\'));
        FUZZ_CHECK(folder->size() == lastBackslash + 1);
        FUZZ_CHECK(command.substr(blanks + (quoted ? 1 : 0)).starts_with(*folder));
        if (quoted) FUZZ_CHECK(folder->find('"') == std::string::npos);
    }

    // "WOW6432Node\" goes in after the first backslash, or at the front; the
    // path may hold that name itself elsewhere.
    const std::string wow = kavrel::Wow64KeyPath(command);
    const std::size_t slash = command.find('\\');
    const std::size_t at = slash == std::string_view::npos ? 0 : slash + 1;
    FUZZ_CHECK(wow.size() == command.size() + 12);
    FUZZ_CHECK(wow.compare(at, 12, "WOW6432Node\\") == 0);
    FUZZ_CHECK(std::string(wow).erase(at, 12) == command);
    return 0;
}
