// CommandLineArgument on any command line: arguments never hold a quote;
// without quotes they are the runs between blanks and control characters;
// an index past the last argument (or below 0) gives nothing.
#include <string>
#include <vector>

#include "base/text.h"
#include "env/startup_rules.h"
#include "fuzz_support.h"

namespace {

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::vector<std::string> SplitAtSeparators(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (!IsSeparator(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view commandLine = kavrel::fuzz::AsText(data, size);
    const bool hasQuotes = commandLine.find('"') != std::string_view::npos;
    const std::vector<std::string> words = SplitAtSeparators(commandLine);

    std::size_t total = 0;
    for (int index = 0; index < 40; ++index) {
        const std::string argument = kavrel::CommandLineArgument(commandLine, index);
        FUZZ_CHECK(argument.find('"') == std::string::npos);
        total += argument.size();
        if (!hasQuotes) {
            const auto at = static_cast<std::size_t>(index);
            FUZZ_CHECK(argument == (at < words.size() ? words[at] : std::string()));
        }
    }
    FUZZ_CHECK(total <= commandLine.size());
    FUZZ_CHECK(kavrel::CommandLineArgument(commandLine, -1).empty());
    FUZZ_CHECK(kavrel::CommandLineArgument(commandLine, static_cast<int>(size) + 1).empty());

    const std::string first = kavrel::CommandLineArgument(commandLine, 1);
    const kavrel::CommandSwitchFlags flags = kavrel::ParseCommandSwitch(first);
    FUZZ_CHECK(flags.commandSwitch == kavrel::LowerAscii(first));
    FUZZ_CHECK(flags.isRStartSwitch == (flags.commandSwitch == "rstart"));
    FUZZ_CHECK(flags.isStartSwitch == (flags.isRStartSwitch || flags.commandSwitch == "gstart" ||
                                       flags.commandSwitch == "ystart"));
    return 0;
}
