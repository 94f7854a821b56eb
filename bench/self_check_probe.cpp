// Times the installer's integrity check, the same code the self-check runs,
// on an installer file given by path. The slot is read from that file, where
// the build stamped it; the installer itself reads the same bytes from its
// loaded image. Prints "ms=<time of the check> result=intact|distorted|unreadable";
// only the check is timed, not finding the slot. With --window the progress
// window is up first and its bar follows the check, as in an interactive run.
//   bench_self_check.exe [--window] <installer.exe>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "app/integrity_check.h"
#include "bench_clock.h"
#include "base/text_decoding.h"
#include "progress_window_shown.h"

namespace {

// The stamped slot, found by its marker in the file's first 16 MiB: the slot
// lies in the program's data, before the package resources.
std::optional<kavrel::DigestSlot> ReadSlot(const char* path) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<char> head(16u << 20);
    DWORD got = 0;
    const BOOL read = ::ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
    ::CloseHandle(file);
    if (!read) return std::nullopt;
    const auto& marker = kavrel::kDigestSlotMarker;
    head.resize(got);
    auto end = head.end();
    auto found = std::search(head.begin(), end, marker.begin(), marker.end());
    if (found == end || end - found < static_cast<std::ptrdiff_t>(sizeof(kavrel::DigestSlot))) return std::nullopt;
    kavrel::DigestSlot slot;
    std::memcpy(&slot, &*found, sizeof slot);
    return slot;
}

}  // namespace

int main(int argc, char** argv) {
    const bool window = argc == 3 && std::strcmp(argv[1], "--window") == 0;
    if (argc != 2 && !window) {
        std::fprintf(stderr, "usage: bench_self_check.exe [--window] <installer.exe>\n");
        return 2;
    }
    const char* installer = argv[argc - 1];
    std::optional<kavrel::DigestSlot> slot = ReadSlot(installer);
    if (!slot) {
        std::fprintf(stderr, "bench_self_check: no digest slot in %s\n", installer);
        return 1;
    }
    auto step = kavrel::bench::ShownProgressStep(window, "Checking the installation package...");
    const kavrel::ByteProgress bar = kavrel::bench::BarFollowingFromNow(window);
    kavrel::bench::Stopwatch clock;
    const std::optional<kavrel::Failure> failure =
        kavrel::CheckFileIntegrity(kavrel::DecodeBytes(installer, kavrel::kSystemCodePage), *slot, bar);
    const double ms = clock.ElapsedMs();
    kavrel::ShutDownProgressWindow();
    const char* name = !failure                                     ? "intact"
                       : failure->code == kavrel::kDistortedFileCode ? "distorted"
                                                                     : "unreadable";
    std::printf("ms=%.3f result=%s\n", ms, name);
    return failure ? 1 : 0;
}
