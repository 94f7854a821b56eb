#pragma once
// What the process is given when it starts: its environment, its command
// line and its own file's path, all in UTF-16 as Windows keeps them. A
// user's folder (and so the Temp folder, the Downloads folder the installer
// runs from, a log's path) may hold letters that the ANSI code page lacks,
// which the "A" calls would hand out as "?".
#include <optional>
#include <string>

namespace kavrel {

// An environment variable's value; empty when it is not set.
std::wstring EnvironmentText(const wchar_t* name);

// The text with each "%NAME%" of a set variable replaced by its value, as
// ExpandEnvironmentStringsW makes it ("%NAME%" of no variable stays); the
// text as given when it cannot be expanded, or would reach the system's
// limit of 32K characters.
std::wstring ExpandedEnvironmentText(const std::wstring& text);

// The process's command line.
std::wstring CommandLineText();

// The full path of the process's own executable, however long; nullopt
// when the system cannot tell.
std::optional<std::wstring> OwnExecutablePath();

}  // namespace kavrel
