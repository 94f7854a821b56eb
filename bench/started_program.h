#pragma once
// A program that a bench harness starts, times and waits for.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "bench_clock.h"
#include "platform/unique_handle.h"

namespace kavrel::bench {

// What follows the first word of a command line (a quoted first word
// included) and the blanks after it: this program's arguments as they stand.
inline const char* AfterFirstWord(const char* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
        if (*line == '"') quoted = !quoted;
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

// A started program, with a stopwatch that ran from just before its start.
struct StartedProgram {
    UniqueHandle process;
    UniqueHandle thread;
    DWORD processId = 0;
    Stopwatch clock;
};

// Starts `commandLine` with this program's environment; on failure says so
// on the error output, in the name of `tool`.
inline std::optional<StartedProgram> StartProgram(const char* tool, std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    StartedProgram started;
    started.clock = Stopwatch();
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::fprintf(stderr, "%s: cannot start %s (error %lu)\n", tool, commandLine.c_str(), ::GetLastError());
        return std::nullopt;
    }
    started.process.reset(process.hProcess);
    started.thread.reset(process.hThread);
    started.processId = process.dwProcessId;
    return started;
}

}  // namespace kavrel::bench
