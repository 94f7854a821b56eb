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
    // The command as the registry's wide call gives it, in UTF-16.
    const std::wstring wideCommand = kavrel::fuzz::AsWideText(data, size);
    const std::wstring_view command = wideCommand;
    const std::optional<std::wstring> folder = kavrel::CutUninstallCommand(command);

    std::wstring_view path = command;
    const std::size_t blanks = std::min(path.find_first_not_of(L" \t"), path.size());
    path.remove_prefix(blanks);
    const bool quoted = path.starts_with(L"\"");
    if (quoted) {
        path.remove_prefix(1);
        path = path.substr(0, path.find(L'"'));
    }
    const std::size_t lastBackslash = path.size() < 2 ? std::wstring_view::npos : path.rfind(L'\\', path.size() - 2);
    FUZZ_CHECK(folder.has_value() == (lastBackslash != std::wstring_view::npos));
    if (folder) {
        FUZZ_CHECK(folder->ends_with(L'\\'));
        FUZZ_CHECK(folder->size() == lastBackslash + 1);
        FUZZ_CHECK(command.substr(blanks + (quoted ? 1 : 0)).starts_with(*folder));
        if (quoted) FUZZ_CHECK(folder->find(L'"') == std::wstring::npos);
    }

    // The 64-bit folders' names replace only whole names between "%"s.
    const std::wstring native = kavrel::WithNativeProgramFolders(command);
    FUZZ_CHECK(std::count(native.begin(), native.end(), L'%') == std::count(command.begin(), command.end(), L'%'));
    if (std::count(command.begin(), command.end(), L'%') < 2) FUZZ_CHECK(native == command);

    // "WOW6432Node\" goes in after the first backslash, or at the front; the
    // path may hold that name itself elsewhere.
    const std::string_view key = kavrel::fuzz::AsText(data, size);
    const std::string wow = kavrel::Wow64KeyPath(key);
    const std::size_t slash = key.find('\\');
    const std::size_t at = slash == std::string_view::npos ? 0 : slash + 1;
    FUZZ_CHECK(wow.size() == key.size() + 12);
    FUZZ_CHECK(wow.compare(at, 12, "WOW6432Node\\") == 0);
    FUZZ_CHECK(std::string(wow).erase(at, 12) == key);
    return 0;
}
