#include "base/log_rules.h"

#include <cstdio>

#include "base/text.h"

namespace kavrel {

std::optional<LogRequest> ParseLogSwitch(std::string_view argument) {
    const std::string lowered = LowerAscii(argument.substr(0, 5));
    if (lowered == "/log" && argument.size() == 4) return LogRequest{};
    if (lowered == "/log=") return LogRequest{std::string(argument.substr(5))};
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

std::string DefaultLogPath(std::string_view tempFolder) {
    std::string path(tempFolder);
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path + "lexova-update.log";
}

}  // namespace kavrel
