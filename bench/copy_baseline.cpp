// The least a quiet install must do, as one program: read the installer's
// file once (the self-check), copy the package file with CopyFileA and flush
// the copy to disk (the package written and flushed before it replaces the
// installed one). Exit code 0 when all of it worked.
//   bench_copy_baseline.exe <installer.exe> <package file> <copy>
#include <windows.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_copy_baseline.exe <installer.exe> <package file> <copy>\n");
        return 2;
    }
    constexpr DWORD kChunk = 4u << 20;
    HANDLE self = ::CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (self == INVALID_HANDLE_VALUE) return 1;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    DWORD got = 0;
    while (::ReadFile(self, buffer.get(), kChunk, &got, nullptr) && got > 0) {
    }
    ::CloseHandle(self);

    if (!::CopyFileA(argv[2], argv[3], FALSE)) return 1;
    HANDLE copy = ::CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return 1;
    const BOOL flushed = ::FlushFileBuffers(copy);
    ::CloseHandle(copy);
    return flushed ? 0 : 1;
}
