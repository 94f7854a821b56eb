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

// Writes one part; `done` counts the bytes of all parts written so far.
void WriteAll(HANDLE file, const char* data, DWORD size, std::uint64_t& done, std::uint64_t total,
              const ByteProgress& progress) {
    while (size > 0) {
        DWORD slice = std::min(size, kWriteSlice);
        DWORD written = 0;
        if (!::WriteFile(file, data, slice, &written, nullptr) || written != slice)
            throw std::runtime_error("write failed");
        data += slice;
        size -= slice;
        done += slice;
        // The whole is reported once it is on disk.
        if (progress && done < total) progress(done, total);
    }
}

// Removes the entry at `path` itself: a link goes, what it points to stays
// (DeleteFile does not follow links on Windows). A folder there cannot be
// removed this way and is a failure.
void RemoveEntry(const std::string& path) {
    if (::DeleteFileA(path.c_str())) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        throw std::runtime_error("cannot remove what stands at " + path);
}

// The folder may be writable by any user, who can plant a hard link, a
// symbolic link or a junction at the name: opening an existing entry would
// write through it into a file elsewhere. The file is made anew instead:
// CREATE_NEW fails on whatever was planted again since the removal, a
// dangling link included, and FILE_FLAG_OPEN_REPARSE_POINT keeps the create
// from following one. The handle is then checked for what it really is.
UniqueHandle CreateFreshFile(const std::string& path) {
    RemoveEntry(path);
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) throw std::runtime_error("cannot create " + path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info) ||
        !IsPlainFileWithOneName(info.dwFileAttributes, info.nNumberOfLinks))
        throw std::runtime_error("not a plain new file: " + path);
    return file;
}

}  // namespace

void WriteFileFlushed(const std::string& path, std::initializer_list<ResourceBytes> parts,
                      const ByteProgress& progress) {
    UniqueHandle file = CreateFreshFile(path);
    std::uint64_t total = 0;
    for (const ResourceBytes& part : parts) total += part.size;
    std::uint64_t done = 0;
    for (const ResourceBytes& part : parts) WriteAll(file.get(), part.data, part.size, done, total, progress);
    // On disk before it takes the installed file's place.
    if (!::FlushFileBuffers(file.get())) throw std::runtime_error("flush failed");
    if (progress) progress(total, total);
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

bool InstallSplitResource(const std::string& baseName, const std::string& resourceType, const std::string& target,
                          const ByteProgress& progress) {
    const std::string temporary = MakeTempName(target);
    bool installed = false;
    try {
        ResourceBytes first = FindPayloadResource(baseName + "1", resourceType);
        ResourceBytes second = FindPayloadResource(baseName + "2", resourceType);
        WriteFileFlushed(temporary, {first, second}, progress);
        installed = ReplaceWithTemporary(temporary, target);
    } catch (const std::exception&) {
        ::DeleteFileA(temporary.c_str());
    }
    if (!installed) ShowInstallFailure(target);
    return installed;
}

}  // namespace kavrel
