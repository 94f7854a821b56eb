#pragma once
// The run's log, as plain functions: the switch that turns it on, and the
// form of its lines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// What a log switch asks for: the file, or empty for the default one
// ("lexova-update.log" in the Temp folder).
struct LogRequest {
    std::wstring path;
};

// The log switch: "/log" alone, or "/log=" and a path, in any letter case.
// nullopt for any other argument ("/logfoo" included). UTF-16, as the wide
// command line gives it: the path may hold any letter.
std::optional<LogRequest> ParseLogSwitch(std::wstring_view argument);

// The local time of a line.
struct LogTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// One line of the log: "YYYY-MM-DD HH:MM:SS.mmm ", the text with every line
// break turned into a space, and "\r\n".
std::string FormatLogLine(const LogTime& time, std::string_view text);

// The file of a bare "/log": "lexova-update.log" in `tempFolder`.
std::wstring DefaultLogPath(std::wstring_view tempFolder);

}  // namespace kavrel
