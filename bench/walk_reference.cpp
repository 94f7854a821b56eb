// The plain way to add up the sizes below a folder: a recursive
// FindFirstFileA / FindNextFileA walk, nothing else. The yardstick of the
// installer's walk. Prints "ms=<time> kib=<total in whole KiB>".
//   bench_walk_reference.exe <folder>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_clock.h"

namespace {

unsigned long long Walk(const std::string& folder) {
    unsigned long long total = 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            total += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        } else if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
            total += Walk(folder + "\\" + entry.cFileName);
        }
    } while (::FindNextFileA(find, &entry));
    ::FindClose(find);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_walk_reference.exe <folder>\n");
        return 2;
    }
    kavrel::bench::Stopwatch clock;
    const unsigned long long total = Walk(argv[1]);
    const double ms = clock.ElapsedMs();
    std::printf("ms=%.3f kib=%llu\n", ms, total >> 10);
    return 0;
}
