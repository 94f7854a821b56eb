#include "platform/failure_details.h"

#include <windows.h>

#include <restartmanager.h>

#include <vector>

#include "base/scope_exit.h"
#include "base/text.h"
#include "base/text_decoding.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kavrel {

std::string SystemErrorText(std::uint32_t error, std::uint16_t languageId) {
    // Freed however this ends, also when the copy below finds no memory.
    UniqueLocalMemory buffer;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    auto format = [&](DWORD language) {
        return ::FormatMessageW(flags, nullptr, error, language, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    };
    DWORD length = format(languageId);
    // A system without that language's texts answers in its own.
    if (length == 0) length = format(0);
    if (length == 0 || !buffer) return {};
    std::wstring text(static_cast<const wchar_t*>(buffer.get()), length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return EncodeText(text, kUtf8CodePage);
}

std::vector<FileHolder> ProgramsHoldingFiles(const std::vector<std::wstring>& paths) {
    using StartFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using RegisterFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    using ListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
    const UniqueModule library = LoadSystemLibrary("rstrtmgr.dll");
    auto start = SystemFunction<StartFn>(library, "RmStartSession");
    auto registerFiles = SystemFunction<RegisterFn>(library, "RmRegisterResources");
    auto list = SystemFunction<ListFn>(library, "RmGetList");
    using EndFn = DWORD(WINAPI*)(DWORD);
    auto end = SystemFunction<EndFn>(library, "RmEndSession");
    if (!start || !registerFiles || !list || !end) return {};
    DWORD handle = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&handle, 0, key) != ERROR_SUCCESS) return {};
    // Ended on every way out.
    const ScopeExit endSession([&] { end(handle); });
    std::vector<LPCWSTR> files;
    for (const std::wstring& path : paths) files.push_back(path.c_str());
    if (registerFiles(handle, static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0, nullptr) != ERROR_SUCCESS)
        return {};
    // The list may grow between the two calls: asked again a few times.
    std::vector<RM_PROCESS_INFO> processes;
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(processes.size());
        DWORD reasons = 0;
        const DWORD result = list(handle, &needed, &count, processes.empty() ? nullptr : processes.data(), &reasons);
        if (result == ERROR_SUCCESS) {
            processes.resize(count);
            break;
        }
        if (result != ERROR_MORE_DATA) return {};
        processes.resize(needed);
        if (attempt == 2) return {};
    }
    std::vector<FileHolder> holders;
    for (const RM_PROCESS_INFO& process : processes) {
        // This installer holds the temporary file itself.
        if (process.Process.dwProcessId == ::GetCurrentProcessId()) continue;
        const std::wstring name(process.strAppName, ::wcsnlen(process.strAppName, CCH_RM_MAX_APP_NAME));
        holders.push_back({EncodeText(name, kUtf8CodePage), process.Process.dwProcessId, process.TSSessionId});
    }
    return holders;
}

std::optional<std::uint64_t> FreeSpaceOf(const std::wstring& folder) {
    // A folder of a network share is named with its trailing backslash.
    std::wstring path = folder.empty() ? std::wstring(L"\\") : folder;
    AddTrailingBackslash(path);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

}  // namespace kavrel
