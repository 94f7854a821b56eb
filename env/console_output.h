#pragma once
// The text side of running a console command: the command line that sends
// its output to a file, the file's name, and the output read back as lines.
#include <string>
#include <string_view>

namespace kavrel {

// Eight lower-case letters drawn from the process's generator.
std::string MakeRandomFileName();

// interpreter + " /c " + command + " > \"" + outputFile + "\"": the
// interpreter path itself is not quoted.
std::string ComposeRedirectedCommandLine(const std::string& interpreter, const std::string& command,
                                         const std::string& outputFile);

// The file's content read as text lines, each followed by CR LF. A line ends
// at CR LF or LF; at least one line is read, so an empty file gives CR LF.
std::string ReadAsTextLines(std::string_view fileContent);

}  // namespace kavrel
