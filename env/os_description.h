#pragma once
// Names the running Windows in one line and learns from it whether the
// system is 64-bit, which decides the registry view of the whole run.
#include <windows.h>

#include <string>

#include "env/os_description_rules.h"
#include "platform/unique_handle.h"

namespace kavrel {

// How long a console command may run before its output is taken as it is:
// a hung interpreter must not hang the installer.
constexpr DWORD kConsoleCommandWaitMs = 20000;

// A command started through the interpreter named by "ComSpec", its output
// going to a new temporary file. Finish waits for it and takes the output;
// one never finished is waited for, and its file deleted, when it goes.
class ConsoleCommand {
public:
    // Nothing started: finishes with an empty output.
    ConsoleCommand() = default;
    // Starts the command; with no interpreter configured nothing starts.
    static ConsoleCommand Start(const std::string& command);

    ConsoleCommand(ConsoleCommand&& other) noexcept;
    ConsoleCommand& operator=(ConsoleCommand&& other) noexcept;
    ConsoleCommand(const ConsoleCommand&) = delete;
    ConsoleCommand& operator=(const ConsoleCommand&) = delete;
    ~ConsoleCommand();

    // Waits for the command at most waitLimitMs (then ends the interpreter)
    // and returns its output as CR LF lines in the ANSI code page, deleting
    // the file: CR LF alone when the interpreter did not start, empty when
    // none is configured. Only the first call waits; later ones return empty.
    std::string Finish(DWORD waitLimitMs = kConsoleCommandWaitMs);

private:
    bool interpreterFound_ = false;
    UniqueHandle process_;
    std::string outputFile_;
};

// Starts a command and waits for its output (ConsoleCommand::Finish).
std::string RunConsoleCommand(const std::string& command, DWORD waitLimitMs = kConsoleCommandWaitMs);

// The facts that the tables decide from, as this Windows reports them.
OsFacts GatherOsFacts();

// The one-line description; "unknown" when the version cannot be told.
// Sets Is64BitWindows and IsServerWindows unless it is "unknown".
std::string DescribeOperatingSystem(bool includeVersion);

// A description, with the "ver" command that it started but did not wait
// for because its output could not change the description.
struct OsDescription {
    std::string text;
    ConsoleCommand unfinishedVer;
};

// As DescribeOperatingSystem, but where "ver" has to run and its output
// cannot change the description (Windows 8 and later, as this program is
// told, name themselves by "ProductName"), the interpreter is left running
// for the caller to finish: under Wine a console process takes longer to
// start than the whole install from the page cache.
OsDescription DescribeOperatingSystemLeavingVer(bool includeVersion);

// The text converted from the OEM to the ANSI code page, character for character.
std::string OemToAnsiText(const std::string& text);

}  // namespace kavrel
