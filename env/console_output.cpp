#include "env/console_output.h"

#include "base/random.h"

namespace kavrel {

std::string MakeRandomFileName() {
    std::string name;
    for (int i = 0; i < 8; ++i) name += static_cast<char>('a' + RandomBelow(26));
    return name;
}

std::string ComposeRedirectedCommandLine(const std::string& interpreter, const std::string& command,
                                         const std::string& outputFile) {
    return interpreter + " /c " + command + " > \"" + outputFile + "\"";
}

std::string ReadAsTextLines(std::string_view fileContent) {
    std::string lines;
    std::size_t start = 0;
    do {
        std::size_t end = fileContent.find('\n', start);
        std::size_t next = end == std::string_view::npos ? fileContent.size() : end + 1;
        if (end == std::string_view::npos) end = fileContent.size();
        std::string_view line = fileContent.substr(start, end - start);
        if (end < fileContent.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.append(line);
        lines += "\r\n";
        start = next;
    } while (start < fileContent.size());
    return lines;
}

}  // namespace kavrel
