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
// A letter outside ASCII matches no switch.
CommandSwitchFlags ParseCommandSwitch(std::wstring_view firstArgument);

// Argument `index` of a command line (0 is the program), split at blanks and
// control characters with double quotes removed; empty when there is none.
// The command line is UTF-16, as Windows keeps it: a path in it (the log's)
// may hold letters that no ANSI code page has.
std::wstring CommandLineArgument(std::wstring_view commandLine, int index);

// Argument `index` as CommandLineArgument counts it, with every log switch
// ("/log", "/log=<path>") left out: the switch may stand anywhere.
std::wstring CommandLineArgumentBesidesLog(std::wstring_view commandLine, int index);

// What the last log switch of a command line asks for; nullopt without one.
std::optional<LogRequest> LogRequestOf(std::wstring_view commandLine);

}  // namespace kavrel
