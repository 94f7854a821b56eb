#include "install/version_probe.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "install/version_rules.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

bool IsFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::int32_t ReadVersionField(const std::string& path, const char* kind) {
    const VersionField field = *VersionFieldOfKind(kind);
    if (!IsFile(path)) return 0;
    // No sharing: a file that another process has open reads as version 0.
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    if (::SetFilePointer(file.get(), static_cast<LONG>(field.offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return 0;
    std::uint8_t bytes[2] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes, field.width, &read, nullptr)) return 0;
    return VersionFromField(bytes, read, field);
}

}  // namespace

std::int32_t ReadPakVersion(const std::string& path) { return ReadVersionField(path, "pak"); }
std::int32_t ReadRdwVersion(const std::string& path) { return ReadVersionField(path, "rdw"); }
std::int32_t ReadMzvVersion(const std::string& path) { return ReadVersionField(path, "mzv"); }

std::string ReadFileVersionText(const std::string& path) {
    SHFILEINFOA info{};
    if (::SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_EXETYPE) == 0) return {};

    UniqueModule versionDll = LoadSystemLibrary("version.dll");
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    auto getSize = SystemFunction<SizeFn>(versionDll, "GetFileVersionInfoSizeA");
    auto getInfo = SystemFunction<InfoFn>(versionDll, "GetFileVersionInfoA");
    auto query = SystemFunction<QueryFn>(versionDll, "VerQueryValueA");
    if (!getSize || !getInfo || !query) return {};

    DWORD handle = 0;
    DWORD size = getSize(path.c_str(), &handle);
    if (size == 0) return {};
    std::vector<char> block(size, '\0');
    if (!getInfo(path.c_str(), handle, size, block.data())) return {};
    void* translation = nullptr;
    UINT length = 0;
    if (!query(block.data(), "\\VarFileInfo\\Translation", &translation, &length) || !translation ||
        length < sizeof(DWORD))
        return {};
    DWORD entry = *static_cast<const DWORD*>(translation);
    char subBlock[64];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04X%04X\\%s", static_cast<unsigned>(LOWORD(entry)),
                  static_cast<unsigned>(HIWORD(entry)), "FileVersion");
    void* text = nullptr;
    if (!query(block.data(), subBlock, &text, &length) || !text) return {};
    // Bounded by the block: a text without its NUL must not be read past it.
    const char* begin = static_cast<const char*>(text);
    const char* end = block.data() + block.size();
    if (begin < block.data() || begin >= end) return {};
    return std::string(begin, strnlen(begin, static_cast<std::size_t>(end - begin)));
}

}  // namespace kavrel
