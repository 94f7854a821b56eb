#pragma once
// Names the running Windows in one line and learns from it whether the
// system is 64-bit, which decides the registry view of the whole run.
#include <windows.h>

#include <string>

#include "env/os_description_rules.h"

namespace kavrel {

// The facts that the tables decide from, as this Windows reports them.
OsFacts GatherOsFacts();

// The one-line description; "unknown" when the version cannot be told.
// Sets Is64BitWindows and IsServerWindows unless it is "unknown".
std::string DescribeOperatingSystem(bool includeVersion);

// How long a console command may run before its output is taken as it is:
// a hung interpreter must not hang the installer before any window exists.
constexpr DWORD kConsoleCommandWaitMs = 20000;

// Runs a command through the interpreter named by "ComSpec" with its output
// sent to a new temporary file, and returns that output as CR LF lines in
// the ANSI code page; empty when no interpreter is configured.
std::string RunConsoleCommand(const std::string& command, DWORD waitLimitMs = kConsoleCommandWaitMs);

// The text converted from the OEM to the ANSI code page, character for character.
std::string OemToAnsiText(const std::string& text);

}  // namespace kavrel
