// ReadAsTextLines on any file content: the lines of the content, each ended
// by CR LF. A line ends at LF, a CR right before that LF belongs to the line
// end, and a final LF opens no line of its own; an empty file is one line.
#include <string>

#include "platform/console_command_rules.h"
#include "fuzz_support.h"

namespace {

std::string Reference(std::string_view content) {
    std::string lines;
    do {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        lines.append(line);
        lines += "\r\n";
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    } while (!content.empty());
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content = kavrel::fuzz::AsText(data, size);
    const std::string lines = kavrel::ReadAsTextLines(content);
    FUZZ_CHECK(lines.ends_with("\r\n"));
    FUZZ_CHECK(lines == Reference(content));
    // Lines already ended by CR LF come back as they were.
    FUZZ_CHECK(kavrel::ReadAsTextLines(lines) == lines);
    return 0;
}
