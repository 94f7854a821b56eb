// Asks the loader for kavrel_planted.dll by name, the way a DLL planted in a
// downloads folder would be reached, and prints one "key=value" line each:
//   (no switch)        plain LoadLibraryA, the system's default search
//   --harden           the installer's HardenDllSearch first
//   --system-loader    the installer's LoadSystemLibrary instead of LoadLibraryA
// With --harden it also reports whether the system DLLs that the installer
// loads on demand (COM's ole32.dll and oleaut32.dll among them) still load,
// so that hardening cannot silently break them.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com_runtime.h"
#include "platform/system_library.h"

int main(int argc, char** argv) {
    using namespace kavrel;
    bool harden = false;
    bool systemLoader = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--harden") == 0) harden = true;
        else if (std::strcmp(argv[i], "--system-loader") == 0) systemLoader = true;
        else {
            std::fprintf(stderr, "usage: dll_search_probe [--harden] [--system-loader]\n");
            return 2;
        }
    }
    if (harden) std::printf("hardened=%d\n", HardenDllSearch() ? 1 : 0);

    UniqueModule planted = systemLoader ? LoadSystemLibrary("kavrel_planted.dll")
                                        : UniqueModule(::LoadLibraryA("kavrel_planted.dll"));
    std::printf("loaded=%d\n", planted ? 1 : 0);
    if (planted) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(planted.get(), path, MAX_PATH);
        std::printf("from=%s\n", path);
    }
    if (harden) {
        bool systemDlls = LoadSystemLibrary("version.dll") && LoadSystemLibrary("comctl32.dll") &&
                          LoadComRuntime().HasValue() && UniqueModule(::LoadLibraryA("version.dll"));
        std::printf("systemdlls=%d\n", systemDlls ? 1 : 0);
    }
    return 0;
}
