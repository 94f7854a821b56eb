#include "platform/console_command_rules.h"

#include "base/text.h"

namespace kavrel {

std::wstring SystemInterpreterPath(std::wstring_view systemFolder) {
    if (systemFolder.empty()) return {};
    std::wstring path(systemFolder);
    AddTrailingBackslash(path);
    return path + L"cmd.exe";
}

std::wstring ComposeInterpreterCommandLine(std::wstring_view interpreter, std::wstring_view command) {
    std::wstring line = L"\"";
    line.append(interpreter);
    line += L'"';
    line.append(kInterpreterSwitches);
    line.append(command);
    return line;
}

std::string ReadAsTextLines(std::string_view output) {
    std::string lines;
    std::size_t start = 0;
    do {
        std::size_t end = output.find('\n', start);
        std::size_t next = end == std::string_view::npos ? output.size() : end + 1;
        if (end == std::string_view::npos) end = output.size();
        std::string_view line = output.substr(start, end - start);
        if (end < output.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.append(line);
        lines += "\r\n";
        start = next;
    } while (start < output.size());
    return lines;
}

}  // namespace kavrel
