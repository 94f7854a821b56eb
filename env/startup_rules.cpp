#include "env/startup_rules.h"

#include "base/text.h"

namespace kavrel {

bool IsRussianMessageLocale(std::uint32_t lcid) {
    switch (lcid) {
        case 1026:  // Bulgarian
        case 1049:  // Russian
        case 1058:  // Ukrainian
        case 1059:  // Belarusian
        case 1087:  // Kazakh
        case 1092:  // Tatar
        case 2073:  // Russian (Moldova)
            return true;
        default:
            return false;
    }
}

std::uint32_t RegistryAccessMask(bool is64BitWindows) {
    constexpr std::uint32_t kKeyAllAccess = 0xF003F;
    constexpr std::uint32_t kWow64_64Key = 0x0100;
    return is64BitWindows ? kKeyAllAccess | kWow64_64Key : kKeyAllAccess;
}

CommandSwitchFlags ParseCommandSwitch(std::wstring_view firstArgument) {
    CommandSwitchFlags flags;
    flags.commandSwitch = LowerAscii(NarrowAscii(firstArgument));
    flags.isRStartSwitch = flags.commandSwitch == "rstart";
    flags.isStartSwitch =
        flags.isRStartSwitch || flags.commandSwitch == "gstart" || flags.commandSwitch == "ystart";
    return flags;
}

std::wstring CommandLineArgument(std::wstring_view commandLine, int index) {
    std::size_t i = 0;
    auto isSeparator = [](wchar_t c) { return static_cast<std::uint32_t>(c) <= L' '; };
    for (int current = 0;; ++current) {
        while (i < commandLine.size() && isSeparator(commandLine[i])) ++i;
        if (i == commandLine.size()) return {};
        std::wstring argument;
        bool quoted = false;
        for (; i < commandLine.size() && (quoted || !isSeparator(commandLine[i])); ++i) {
            if (commandLine[i] == L'"') quoted = !quoted;
            else argument += commandLine[i];
        }
        if (current == index) return argument;
    }
}

std::wstring CommandLineArgumentBesidesLog(std::wstring_view commandLine, int index) {
    if (index == 0) return CommandLineArgument(commandLine, 0);
    int counted = 0;
    for (int i = 1;; ++i) {
        std::wstring argument = CommandLineArgument(commandLine, i);
        if (argument.empty()) return {};
        if (ParseLogSwitch(argument)) continue;
        if (++counted == index) return argument;
    }
}

std::optional<LogRequest> LogRequestOf(std::wstring_view commandLine) {
    std::optional<LogRequest> request;
    for (int i = 1;; ++i) {
        const std::wstring argument = CommandLineArgument(commandLine, i);
        if (argument.empty()) return request;
        if (auto found = ParseLogSwitch(argument)) request = found;
    }
}

}  // namespace kavrel
