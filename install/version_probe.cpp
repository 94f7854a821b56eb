#include "install/version_probe.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "base/text.h"
#include "install/version_rules.h"
#include "platform/folder_handle.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

std::int32_t ReadVersionField(const std::wstring& path, const char* kind) {
    const VersionField field = *VersionFieldOfKind(kind);
    if (!IsExistingFile(path)) return 0;
    // No sharing: a file that another process has open reads as version 0.
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    if (::SetFilePointer(file.get(), static_cast<LONG>(field.offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return 0;
    std::uint8_t bytes[2] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes, field.width, &read, nullptr)) return 0;
    return VersionFromField(bytes, read, field);
}

}  // namespace

std::int32_t ReadPakVersion(const std::wstring& path) { return ReadVersionField(path, "pak"); }
std::int32_t ReadRdwVersion(const std::wstring& path) { return ReadVersionField(path, "rdw"); }
std::int32_t ReadMzvVersion(const std::wstring& path) { return ReadVersionField(path, "mzv"); }

std::string ReadFileVersionText(const std::wstring& path) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_EXETYPE) == 0) return {};

    UniqueModule versionDll = LoadSystemLibrary("version.dll");
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    auto getSize = SystemFunction<SizeFn>(versionDll, "GetFileVersionInfoSizeW");
    auto getInfo = SystemFunction<InfoFn>(versionDll, "GetFileVersionInfoW");
    auto query = SystemFunction<QueryFn>(versionDll, "VerQueryValueW");
    if (!getSize || !getInfo || !query) return {};

    DWORD handle = 0;
    DWORD size = getSize(path.c_str(), &handle);
    if (size == 0) return {};
    std::vector<char> block(size, '\0');
    if (!getInfo(path.c_str(), handle, size, block.data())) return {};
    void* translation = nullptr;
    UINT length = 0;
    if (!query(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) || !translation ||
        length < sizeof(DWORD))
        return {};
    DWORD entry = *static_cast<const DWORD*>(translation);
    wchar_t subBlock[64];
    std::swprintf(subBlock, sizeof subBlock / sizeof subBlock[0], L"\\StringFileInfo\\%04X%04X\\FileVersion",
                  static_cast<unsigned>(LOWORD(entry)), static_cast<unsigned>(HIWORD(entry)));
    void* text = nullptr;
    if (!query(block.data(), subBlock, &text, &length) || !text) return {};
    // Bounded by the block: a text without its NUL must not be read past it.
    const auto* begin = static_cast<const wchar_t*>(text);
    const auto* end = reinterpret_cast<const wchar_t*>(block.data() + block.size() - block.size() % sizeof(wchar_t));
    if (reinterpret_cast<const char*>(begin) < block.data() || begin >= end) return {};
    // A version text is digits and dots.
    return NarrowAscii(std::wstring_view(begin, wcsnlen(begin, static_cast<std::size_t>(end - begin))));
}

}  // namespace kavrel
