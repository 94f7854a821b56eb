// The bare cost of the self-check's reading: one sequential pass over a file
// with ReadFile, in chunks of the self-check's size (4 MiB), opened the same
// way. Prints "ms=<time> bytes=<count>"; exit code 1 when the file cannot be
// read.
//   bench_read_file.exe <file>
#include <windows.h>

#include <cstdio>
#include <memory>

#include "bench_clock.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_read_file.exe <file>\n");
        return 2;
    }
    constexpr DWORD kChunk = 4u << 20;
    kavrel::bench::Stopwatch clock;
    HANDLE file = ::CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    unsigned long long total = 0;
    DWORD got = 0;
    while (::ReadFile(file, buffer.get(), kChunk, &got, nullptr) && got > 0) total += got;
    ::CloseHandle(file);
    const double ms = clock.ElapsedMs();
    std::printf("ms=%.3f bytes=%llu\n", ms, total);
    return 0;
}
