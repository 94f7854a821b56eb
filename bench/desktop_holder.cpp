// Keeps Wine's desktop up while the bench runs. Wine starts its desktop
// process (explorer.exe /desktop) when a program first needs a window and
// ends it a second after the last such program; a program measured while
// none is up pays for that start-up, one measured right after another does
// not, and the timings split in two. On Windows the desktop is always there,
// so the bench holds it open: this program owns a hidden window until the
// file it is given disappears.
//   bench_desktop_holder.exe <file>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND window = ::CreateWindowExA(0, "STATIC", "bench desktop holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    while (::GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
        ::Sleep(100);
    }
    ::DestroyWindow(window);
    return 0;
}
