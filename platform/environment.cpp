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

std::wstring ExpandedEnvironmentText(const std::wstring& text) {
    // The system expands at most 32K characters, and cuts longer texts (Wine
    // without a word): a text that reaches the limit stays as given.
    constexpr std::size_t kLimit = 32767;
    if (text.find(L'%') == std::wstring::npos || text.size() >= kLimit) return text;
    std::wstring expanded;
    // The answer counts the terminating NUL; one too large for the buffer is
    // the size needed, which a variable changed meanwhile may outgrow again.
    DWORD size = static_cast<DWORD>(text.size()) + MAX_PATH;
    for (int attempt = 0; attempt < 4; ++attempt) {
        expanded.resize(size);
        const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
        if (length == 0 || length >= kLimit) return text;
        if (length <= size) {
            expanded.resize(length - 1);
            return expanded;
        }
        size = length;
    }
    return text;
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
