// Plays a DLL that someone dropped beside the installer: loading it is
// enough to run code, so on attach it leaves a marker file, named by the
// environment variable KAVREL_PLANTED_MARKER, that the test looks for.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA("KAVREL_PLANTED_MARKER", marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    HANDLE file = ::CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    const char text[] = "planted DLL ran";
    DWORD written = 0;
    ::WriteFile(file, text, sizeof text - 1, &written, nullptr);
    ::CloseHandle(file);
    return TRUE;
}
