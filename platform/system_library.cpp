#include "platform/system_library.h"

namespace kavrel {

UniqueModule LoadSystemLibrary(const std::string& fileName) {
    char folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return UniqueModule();
    std::string path = std::string(folder, length) + "\\" + fileName;
    // With a full path, the DLL's own dependencies are searched from its folder first.
    return UniqueModule(::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

bool HardenDllSearch() {
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = LoadedSystemFunction<SetDefaultDllDirectoriesFn>("kernel32.dll", "SetDefaultDllDirectories");
    // Where it is missing, at least take the current folder out of the search.
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    auto setDllDirectory = LoadedSystemFunction<SetDllDirectoryFn>("kernel32.dll", "SetDllDirectoryA");
    if (setDllDirectory) setDllDirectory("");
    return setDefault && setDefault(kSearchSystem32);
}

bool RefuseUsersJunctions() {
    constexpr int kProcessRedirectionTrustPolicy = 16;
    constexpr DWORD kEnforceRedirectionTrust = 0x1;
    using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    auto setPolicy = LoadedSystemFunction<SetProcessMitigationPolicyFn>("kernel32.dll", "SetProcessMitigationPolicy");
    DWORD policy = kEnforceRedirectionTrust;
    // Older systems refuse the unknown policy; the run goes on without it.
    return setPolicy && setPolicy(kProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

}  // namespace kavrel
