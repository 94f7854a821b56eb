#include "platform/environment.h"

#include <windows.h>

namespace kavrel {

std::wstring EnvironmentText(const wchar_t* name) {
    std::wstring value;
    // The value may change between the calls: asked again while it grows.
    for (DWORD size = MAX_PATH;;) {
        value.resize(size);
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
        if (length < size) {
            value.resize(length);
            return value;
        }
        size = length;
    }
}

std::wstring CommandLineText() { return ::GetCommandLineW(); }

std::optional<std::wstring> OwnExecutablePath() {
    // Paths beyond MAX_PATH exist where long paths are enabled; a truncated
    // answer fills the buffer exactly.
    std::wstring path;
    for (DWORD size = MAX_PATH + 1; size <= 0x8000; size *= 2) {
        path.resize(size);
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) return std::nullopt;
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace kavrel
