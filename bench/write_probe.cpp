// Times the installer's write of a package, the same code the update runs
// (StagedFile: 1 MiB slices, then the flush), from a file mapped into
// memory as the package resources are. With --window the progress window is
// up first and its bar follows the write, as in an interactive run. Prints
// "ms=<time of the write> bytes=<size written>"; the copy, written beside
// the target under the temporary name, is deleted.
//   bench_write.exe [--window] <source file> <target>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "bench_clock.h"
#include "base/text_decoding.h"
#include "install/extraction.h"
#include "platform/unique_handle.h"
#include "progress_window_shown.h"

int main(int argc, char** argv) {
    const bool window = argc == 4 && std::strcmp(argv[1], "--window") == 0;
    if (argc != 3 && !window) {
        std::fprintf(stderr, "usage: bench_write.exe [--window] <source file> <target>\n");
        return 2;
    }
    const char* source = argv[argc - 2];
    const char* target = argv[argc - 1];
    kavrel::UniqueHandle file(::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.HighPart != 0) return 1;
    kavrel::UniqueHandle mapping(::CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const void* view = mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!view) return 1;
    const kavrel::ResourceBytes package{static_cast<const char*>(view), size.LowPart};

    auto step = kavrel::bench::ShownProgressStep(window, "Installing the update...");
    double ms = 0;
    try {
        const kavrel::ByteProgress bar = kavrel::bench::BarFollowingFromNow(window);
        kavrel::bench::Stopwatch clock;
        kavrel::StagedFile staged(kavrel::DecodeBytes(target, kavrel::kSystemCodePage), {package}, bar);
        ms = clock.ElapsedMs();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_write: %s\n", error.what());
        return 1;
    }
    kavrel::ShutDownProgressWindow();
    ::UnmapViewOfFile(view);
    std::printf("ms=%.3f bytes=%lu\n", ms, static_cast<unsigned long>(size.LowPart));
    return 0;
}
