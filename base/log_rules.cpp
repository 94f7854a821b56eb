#include "base/log_rules.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace kavrel {

namespace {

// A path without the long form's prefix: "\\?\C:\x" as "C:\x",
// "\\?\UNC\server\share" as "\\server\share".
std::wstring WithoutLongPrefix(std::wstring_view path) {
    std::wstring plain(path);
    if (LowerAscii(NarrowAscii(path.substr(0, 8))) == "\\\\?\\unc\\") plain.erase(2, 6);
    else if (path.substr(0, 4) == L"\\\\?\\") plain.erase(0, 4);
    return plain;
}

}  // namespace

std::optional<LogRequest> ParseLogSwitch(std::wstring_view argument) {
    const std::string lowered = LowerAscii(NarrowAscii(argument.substr(0, 5)));
    if (lowered == "/log" && argument.size() == 4) return LogRequest{};
    if (lowered == "/log=") return LogRequest{std::wstring(argument.substr(5))};
    return std::nullopt;
}

std::wstring WithBackslashes(std::wstring_view path) {
    std::wstring folded(path);
    for (wchar_t& c : folded)
        if (c == L'/') c = L'\\';
    return folded;
}

bool IsWholeFilePath(std::wstring_view path) {
    const std::wstring plain = WithoutLongPrefix(path);
    const bool onDrive = plain.size() > 3 && plain[1] == L':' && plain[2] == L'\\' &&
                         ((plain[0] >= L'A' && plain[0] <= L'Z') || (plain[0] >= L'a' && plain[0] <= L'z'));
    const bool onShare = plain.size() > 2 && plain.compare(0, 2, L"\\\\") == 0;
    if (!onDrive && !onShare) return false;
    // Names from the first after the root: on a share the server's and the
    // share's ("\\.\" is a device's, "\\?\" one more prefix), then
    // the file's, at least.
    std::size_t names = 0;
    for (std::size_t at = onDrive ? 3 : 2; at <= plain.size(); ++names) {
        const std::size_t end = std::min(plain.find(L'\\', at), plain.size());
        const std::wstring_view name = std::wstring_view(plain).substr(at, end - at);
        // A ":" in a name would name a stream of a file, not the file; a "/"
        // stays in the long form, which the system takes as it stands.
        if (name.empty() || name == L"." || name == L".." || name == L"?" || name.find_first_of(L":/") != name.npos)
            return false;
        at = end + 1;
    }
    return names >= (onDrive ? 1u : 3u);
}

bool FinalPathIsFolder(std::wstring_view finalPath, std::wstring_view requestedFolder) {
    const auto comparable = [](std::wstring_view path) {
        std::wstring plain = WithoutLongPrefix(path);
        while (!plain.empty() && plain.back() == L'\\') plain.pop_back();
        for (wchar_t& c : plain)
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        return plain;
    };
    const std::wstring folder = comparable(requestedFolder);
    return !folder.empty() && comparable(finalPath) == folder;
}

std::string FormatLogLine(const LogTime& time, std::string_view text) {
    char stamp[128];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.millisecond);
    std::string line = stamp;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            // "\r\n" is one line break, and one space.
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            line += ' ';
        } else {
            line += text[i];
        }
    }
    return line + "\r\n";
}

LogPlace LogPlaceOf(const std::optional<LogRequest>& request, bool seen) {
    if (request) return request->path.empty() ? LogPlace::TempFolder : LogPlace::GivenPath;
    return seen ? LogPlace::None : LogPlace::SystemLogFolder;
}

std::wstring SystemLogFolder(std::wstring_view windowsFolder) {
    std::wstring folder(windowsFolder);
    AddTrailingBackslash(folder);
    return folder + L"Logs\\Software";
}

std::wstring SystemLogPath(std::wstring_view windowsFolder) {
    return SystemLogFolder(windowsFolder) + L"\\lexova-update.log";
}

std::wstring DefaultLogPath(std::wstring_view tempFolder) {
    std::wstring path(tempFolder);
    AddTrailingBackslash(path);
    return path + L"lexova-update.log";
}

}  // namespace kavrel
