#include "install/extraction.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "install/install_rules.h"
#include "lang/messages.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

// Writes in slices: one huge WriteFile asks the system for a huge kernel
// buffer. 1 MiB, because under Wine writes of 8 MiB from the mapped resources
// ran now at full speed, now at a fraction of it (scripts/bench), while
// slices of 1 to 4 MiB kept an even pace.
constexpr DWORD kWriteSlice = 1u << 20;

}  // namespace

ResourceBytes FindPayloadResource(const std::string& name, const std::string& type) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(self, name.c_str(), type.c_str());
    if (!found) throw std::runtime_error("no resource " + name);
    HGLOBAL loaded = ::LoadResource(self, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) throw std::runtime_error("cannot load resource " + name);
    return {static_cast<const char*>(data), ::SizeofResource(self, found)};
}

namespace {

void WriteAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD slice = std::min(size, kWriteSlice);
        DWORD written = 0;
        if (!::WriteFile(file, data, slice, &written, nullptr) || written != slice)
            throw std::runtime_error("write failed");
        data += slice;
        size -= slice;
    }
}

}  // namespace

void WriteFileFlushed(const std::string& path, std::initializer_list<ResourceBytes> parts) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + path);
    for (const ResourceBytes& part : parts) WriteAll(file.get(), part.data, part.size);
    // On disk before it takes the installed file's place.
    if (!::FlushFileBuffers(file.get())) throw std::runtime_error("flush failed");
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) {
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        // The application asked to quit may still be closing its package.
        if (!IsFileInUseError(::GetLastError()) || attempt >= kReplaceRetryAttempts) break;
        ::Sleep(kReplaceRetryIntervalMs);
    }
    ::DeleteFileA(temporary.c_str());
    return false;
}

void ShowInstallFailure(const std::string& target) {
    const ShownText path = SystemText(target);
    ShowBilingualMessage("Can't install file " + path, "Не удается установить файл " + path);
}

bool InstallSplitResource(const std::string& baseName, const std::string& resourceType, const std::string& target) {
    const std::string temporary = MakeTempName(target);
    bool installed = false;
    try {
        ResourceBytes first = FindPayloadResource(baseName + "1", resourceType);
        ResourceBytes second = FindPayloadResource(baseName + "2", resourceType);
        WriteFileFlushed(temporary, {first, second});
        installed = ReplaceWithTemporary(temporary, target);
    } catch (const std::exception&) {
        ::DeleteFileA(temporary.c_str());
    }
    if (!installed) ShowInstallFailure(target);
    return installed;
}

}  // namespace kavrel
