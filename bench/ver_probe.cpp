// Times what the start-up spends on "ver": the installer's own
// RunConsoleCommand("ver"), which starts the command interpreter and reads
// its output. Prints "ms=<time> output=<the first non-empty line>".
//   bench_ver.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_clock.h"
#include "platform/console_command.h"

int main() {
    kavrel::bench::Stopwatch clock;
    const std::string output = kavrel::RunConsoleCommand(L"ver");
    const double ms = clock.ElapsedMs();
    std::string line;
    for (char c : output) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) break;
        } else {
            line += c;
        }
    }
    std::printf("ms=%.3f output=%s\n", ms, line.c_str());
    return 0;
}
