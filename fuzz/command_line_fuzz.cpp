// CommandLineArgument on any command line: arguments never hold a quote;
// without quotes they are the runs between blanks and control characters;
// an index past the last argument (or below 0) gives nothing.
#include <string>
#include <vector>

#include "base/log_rules.h"
#include "base/text.h"
#include "env/startup_rules.h"
#include "fuzz_support.h"

namespace {

bool IsSeparator(wchar_t c) { return static_cast<std::uint32_t>(c) <= L' '; }

std::vector<std::wstring> SplitAtSeparators(std::wstring_view text) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : text) {
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
    const std::wstring wideLine = kavrel::fuzz::AsWideText(data, size);
    const std::wstring_view commandLine = wideLine;
    const bool hasQuotes = commandLine.find(L'"') != std::wstring_view::npos;
    const std::vector<std::wstring> words = SplitAtSeparators(commandLine);

    std::size_t total = 0;
    for (int index = 0; index < 40; ++index) {
        const std::wstring argument = kavrel::CommandLineArgument(commandLine, index);
        FUZZ_CHECK(argument.find(L'"') == std::wstring::npos);
        total += argument.size();
        if (!hasQuotes) {
            const auto at = static_cast<std::size_t>(index);
            FUZZ_CHECK(argument == (at < words.size() ? words[at] : std::wstring()));
        }
    }
    FUZZ_CHECK(total <= commandLine.size());
    FUZZ_CHECK(kavrel::CommandLineArgument(commandLine, -1).empty());
    FUZZ_CHECK(kavrel::CommandLineArgument(commandLine, static_cast<int>(size) + 1).empty());

    const std::wstring first = kavrel::CommandLineArgument(commandLine, 1);
    const kavrel::CommandSwitchFlags flags = kavrel::ParseCommandSwitch(first);
    FUZZ_CHECK(flags.commandSwitch == kavrel::LowerAscii(kavrel::NarrowAscii(first)));
    FUZZ_CHECK(flags.isRStartSwitch == (flags.commandSwitch == "rstart"));
    FUZZ_CHECK(flags.isStartSwitch == (flags.isRStartSwitch || flags.commandSwitch == "gstart" ||
                                       flags.commandSwitch == "ystart"));

    // A log path: a whole one holds no "/" and names its own folder in any
    // form; the slashes folded, nothing else changes.
    const std::wstring folded = kavrel::WithBackslashes(commandLine);
    FUZZ_CHECK(folded.size() == commandLine.size() && folded.find(L'/') == std::wstring::npos);
    if (kavrel::IsWholeFilePath(commandLine)) {
        FUZZ_CHECK(folded == commandLine);
        FUZZ_CHECK(kavrel::FinalPathIsFolder(wideLine + L"\\", commandLine));
        if (commandLine[0] != L'\\') FUZZ_CHECK(kavrel::FinalPathIsFolder(L"\\\\?\\" + wideLine, commandLine));
    }
    return 0;
}
