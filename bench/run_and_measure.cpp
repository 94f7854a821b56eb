// Starts a program, waits for it and prints what it cost:
//   ms=<wall time from CreateProcess to its end> exit=<its exit code>
//   peak_private=<bytes> samples=<memory readings taken>
//   bench_run_and_measure.exe <program.exe> [arguments...]
// The arguments are passed on as they stand in this program's command line.
//
// Peak private memory is PeakPagefileUsage from GetProcessMemoryInfo. Windows
// keeps that peak for the process object, but Wine 8 reports the current
// anonymous resident memory of the Unix process in both PagefileUsage and
// PeakPagefileUsage, and nothing once the process has ended. So the program
// is read every 2 ms while it runs, and the largest reading is reported,
// along with the peak read after its end where the system still gives one.
#include <windows.h>
// After windows.h: psapi.h needs its types.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_clock.h"

namespace {

// This program's command line without its own name.
std::string ArgumentsAfterProgramName() {
    const char* line = ::GetCommandLineA();
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line)
        if (*line == '"') quoted = !quoted;
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

// The larger of this reading's current and peak private memory.
SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return std::max(counters.PeakPagefileUsage, counters.PagefileUsage);
}

}  // namespace

int main() {
    std::string commandLine = ArgumentsAfterProgramName();
    if (commandLine.empty()) {
        std::fprintf(stderr, "usage: bench_run_and_measure.exe <program.exe> [arguments...]\n");
        return 2;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    kavrel::bench::Stopwatch clock;
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        std::fprintf(stderr, "bench_run_and_measure: cannot start %s (error %lu)\n", commandLine.c_str(),
                     ::GetLastError());
        return 1;
    }
    SIZE_T peak = 0;
    unsigned samples = 0;
    for (;;) {
        const SIZE_T now = PrivateBytes(started.hProcess);
        if (now) ++samples;
        peak = std::max(peak, now);
        if (::WaitForSingleObject(started.hProcess, 2) == WAIT_OBJECT_0) break;
    }
    const double ms = clock.ElapsedMs();
    peak = std::max(peak, PrivateBytes(started.hProcess));
    DWORD exitCode = 0;
    ::GetExitCodeProcess(started.hProcess, &exitCode);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    std::printf("ms=%.3f exit=%lu peak_private=%lu samples=%u\n", ms, exitCode, static_cast<unsigned long>(peak),
                samples);
    return 0;
}
