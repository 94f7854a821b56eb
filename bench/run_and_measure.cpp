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
#include <optional>
#include <string>

#include "started_program.h"

namespace {

// The larger of this reading's current and peak private memory.
SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
    return std::max(counters.PeakPagefileUsage, counters.PagefileUsage);
}

}  // namespace

int main() {
    std::string commandLine = kavrel::bench::AfterFirstWord(::GetCommandLineA());
    if (commandLine.empty()) {
        std::fprintf(stderr, "usage: bench_run_and_measure.exe <program.exe> [arguments...]\n");
        return 2;
    }
    std::optional<kavrel::bench::StartedProgram> started =
        kavrel::bench::StartProgram("bench_run_and_measure", commandLine);
    if (!started) return 1;
    const HANDLE process = started->process.get();
    SIZE_T peak = 0;
    unsigned samples = 0;
    for (;;) {
        const SIZE_T now = PrivateBytes(process);
        if (now) ++samples;
        peak = std::max(peak, now);
        if (::WaitForSingleObject(process, 2) == WAIT_OBJECT_0) break;
    }
    const double ms = started->clock.ElapsedMs();
    peak = std::max(peak, PrivateBytes(process));
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process, &exitCode);
    std::printf("ms=%.3f exit=%lu peak_private=%lu samples=%u\n", ms, exitCode, static_cast<unsigned long>(peak),
                samples);
    return 0;
}
