#pragma once
// What start-up settles, as plain functions: the message language, the
// registry view, the command-line switch.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/log_rules.h"

namespace kavrel {

// True for the seven locales whose users get Russian messages.
bool IsRussianMessageLocale(std::uint32_t lcid);

// KEY_ALL_ACCESS, with the 64-bit registry view on a 64-bit Windows.
std::uint32_t RegistryAccessMask(bool is64BitWindows);

// The first argument in lower case and what it switches on.
struct CommandSwitchFlags {
    std::string commandSwitch;
    bool isStartSwitch = false;   // "rstart", "gstart" or "ystart"
    bool isRStartSwitch = false;  // "rstart"
};
CommandSwitchFlags ParseCommandSwitch(std::string_view firstArgument);

// Argument `index` of a command line (0 is the program), split at blanks and
// control characters with double quotes removed; empty when there is none.
std::string CommandLineArgument(std::string_view commandLine, int index);

// Argument `index` as CommandLineArgument counts it, with every log switch
// ("/log", "/log=<path>") left out: the switch may stand anywhere.
std::string CommandLineArgumentBesidesLog(std::string_view commandLine, int index);

// What the last log switch of a command line asks for; nullopt without one.
std::optional<LogRequest> LogRequestOf(std::string_view commandLine);

}  // namespace kavrel
