#include "base/log_rules.h"

#include <cstdio>

#include "base/text.h"

namespace kavrel {

std::optional<LogRequest> ParseLogSwitch(std::wstring_view argument) {
    const std::string lowered = LowerAscii(NarrowAscii(argument.substr(0, 5)));
    if (lowered == "/log" && argument.size() == 4) return LogRequest{};
    if (lowered == "/log=") return LogRequest{std::wstring(argument.substr(5))};
    return std::nullopt;
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
