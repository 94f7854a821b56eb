#pragma once
// A console command run by the system's command interpreter, its output
// read through an anonymous pipe: nothing is taken from the environment
// ("ComSpec") or the user's "AutoRun", nothing is written by name into a
// folder that others may write (the Temp folder), no console window shows,
// and nothing the interpreter starts outlives the command.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace kavrel {

// How long a console command may run, with its output read, before the
// output is taken as it is: a hung interpreter must not hang the installer.
constexpr DWORD kConsoleCommandWaitMs = 10000;

// A started command. Finish reads its output and waits for it; one never
// finished is finished when it goes.
class ConsoleCommand {
public:
    // Nothing started: finishes with an empty output.
    ConsoleCommand() = default;
    // Starts the command through the system's interpreter; without a system
    // folder nothing starts.
    static ConsoleCommand Start(const std::wstring& command);
    // Starts `commandLine` with that program, without a console window, its
    // standard output going to the pipe (the one handle it inherits, where
    // Windows can say so), in a job that ends it and all it started when the
    // command is finished.
    static ConsoleCommand StartProgram(const std::wstring& program, const std::wstring& commandLine);

    ConsoleCommand(ConsoleCommand&& other) noexcept;
    ConsoleCommand& operator=(ConsoleCommand&& other) noexcept;
    ConsoleCommand(const ConsoleCommand&) = delete;
    ConsoleCommand& operator=(const ConsoleCommand&) = delete;
    ~ConsoleCommand();

    // Reads the output until the interpreter has ended (not waiting for
    // another holder of the pipe, such as Wine's console host), at most
    // waitLimitMs in all (then ends the interpreter and what it started),
    // and returns it as CR LF lines in the ANSI code page: CR LF alone when
    // the interpreter did not start, empty when nothing was started. Only
    // the first call waits; later ones return empty.
    std::string Finish(DWORD waitLimitMs = kConsoleCommandWaitMs);

private:
    bool started_ = false;
    UniqueHandle job_;  // empty where the process could not be put in one
    UniqueHandle process_;
    UniqueHandle output_;  // the pipe's read end
};

// Starts a command and waits for its output (ConsoleCommand::Finish).
std::string RunConsoleCommand(const std::wstring& command, DWORD waitLimitMs = kConsoleCommandWaitMs);

// The text converted from the OEM to the ANSI code page, character for character.
std::string OemToAnsiText(const std::string& text);

}  // namespace kavrel
