#pragma once
// The text side of running a console command: the interpreter's path and
// command line, and the output read back as lines.
#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

// The most output kept of a command; the rest is read and dropped, so that
// a talkative command never blocks on a full pipe.
constexpr std::size_t kMaxConsoleOutput = 64 * 1024;

// The system's command interpreter in the system folder that
// GetSystemDirectoryW reports; never the one that "ComSpec" names, which
// the user's environment sets for an elevated process too. Empty without a
// folder.
std::wstring SystemInterpreterPath(std::wstring_view systemFolder);

// "\"" + interpreter + "\" /c " + command: the path quoted, so that a folder
// with blanks is never cut into a program and its arguments.
std::wstring ComposeInterpreterCommandLine(std::wstring_view interpreter, std::wstring_view command);

// The output read as text lines, each followed by CR LF. A line ends at
// CR LF or LF; at least one line is read, so an empty output gives CR LF.
std::string ReadAsTextLines(std::string_view output);

}  // namespace kavrel
