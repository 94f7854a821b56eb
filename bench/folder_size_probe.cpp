// Times the installer's installed-size walk (MeasureFolderSize) over a folder.
// Prints "ms=<time> kib=<result>".
//   bench_folder_size.exe <folder>
#include <cstdio>

#include "bench_clock.h"
#include "base/text_decoding.h"
#include "install/folder_size.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_folder_size.exe <folder>\n");
        return 2;
    }
    kavrel::bench::Stopwatch clock;
    const auto size = kavrel::MeasureFolderSize(kavrel::DecodeBytes(argv[1], kavrel::kSystemCodePage));
    const std::int32_t kib = size.HasValue() ? size.value().value_or(-1) : -1;
    const double ms = clock.ElapsedMs();
    std::printf("ms=%.3f kib=%ld\n", ms, static_cast<long>(kib));
    return kib < 0 ? 1 : 0;
}
