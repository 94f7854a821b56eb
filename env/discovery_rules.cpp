#include "env/discovery_rules.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/text.h"

namespace kavrel {

std::optional<std::wstring> CutUninstallCommand(std::wstring_view command) {
    std::wstring_view path = command;
    // Blanks before the opening quote would leave the quote in the folder.
    path.remove_prefix(std::min(path.find_first_not_of(L" \t"), path.size()));
    if (!path.empty() && path.front() == L'"') {
        // A folder name never begins with a quote: the quoted part is the program's path.
        path.remove_prefix(1);
        path = path.substr(0, path.find(L'"'));
    }
    if (path.size() < 2) return std::nullopt;
    for (std::size_t i = path.size() - 1; i-- > 0;)
        if (path[i] == L'\\') return std::wstring(path.substr(0, i + 1));
    return std::nullopt;
}

std::wstring WithNativeProgramFolders(std::wstring_view text) {
    static constexpr std::pair<std::string_view, std::wstring_view> kNative[] = {
        {"programfiles", L"%ProgramW6432%"}, {"commonprogramfiles", L"%CommonProgramW6432%"}};
    std::wstring result;
    std::size_t at = 0;
    for (std::size_t open; (open = text.find(L'%', at)) != std::wstring_view::npos;) {
        const std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) break;
        const std::string name = LowerAscii(NarrowAscii(text.substr(open + 1, close - open - 1)));
        const auto native = std::find_if(std::begin(kNative), std::end(kNative),
                                         [&name](const auto& pair) { return name == pair.first; });
        result.append(text.substr(at, open - at));
        if (native != std::end(kNative)) result.append(native->second);
        else result.append(text.substr(open, close + 1 - open));
        at = close + 1;
    }
    return result.append(text.substr(at));
}

std::string Wow64KeyPath(std::string_view keyPath) {
    std::size_t slash = keyPath.find('\\');
    if (slash == std::string_view::npos) return "WOW6432Node\\" + std::string(keyPath);
    return std::string(keyPath.substr(0, slash + 1)) + "WOW6432Node\\" + std::string(keyPath.substr(slash + 1));
}

MenuFolders ComposeMenuFolders(const std::string& commonProgramsDir, const std::string& userProgramsDir,
                               const std::string& titleRu, const std::string& titleEn, bool useRussian) {
    MenuFolders folders;
    folders.commonMenuDirOther = commonProgramsDir + titleRu + "\\";
    folders.commonMenuDir = commonProgramsDir + titleEn + "\\";
    folders.userMenuDirRu = userProgramsDir + titleRu + "\\";
    folders.userMenuDirEn = userProgramsDir + titleEn + "\\";
    if (useRussian) std::swap(folders.commonMenuDir, folders.commonMenuDirOther);
    return folders;
}

std::string EffectiveCommonProgramsDir(const std::string& commonProgramsDir, const std::string& userProgramsDir) {
    return commonProgramsDir.size() < 2 ? userProgramsDir : commonProgramsDir;
}

}  // namespace kavrel
