#include "install/folder_size.h"

#include <windows.h>

#include <optional>
#include <set>
#include <vector>

#include "base/text.h"
#include "install/install_rules.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

bool IsFolder(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The system's own queries on an open folder, looked up at run time like
// every ntdll function. The walk lists a folder through the very handle on
// which it checked what the folder is, so no link put at its name meanwhile
// can send it elsewhere; and a folder is opened once, as a plain
// FindFirstFile walk opens it. (GetFileInformationByHandle on each folder
// also asks for the volume's serial number, which under Wine is a round trip
// to its mount manager: a walk three times slower than a plain one.)
struct IoStatusBlock {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryInformationFileFn = LONG(WINAPI*)(HANDLE, IoStatusBlock*, void*, ULONG, int);
using QueryDirectoryFileFn = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, IoStatusBlock*, void*, ULONG, int, BOOLEAN,
                                           void*, BOOLEAN);
constexpr int kFileDirectoryInformation = 1;
constexpr int kFileBasicInformation = 4;
constexpr int kFileInternalInformation = 6;

struct NativeQueries {
    QueryInformationFileFn queryInformation = nullptr;
    QueryDirectoryFileFn queryDirectory = nullptr;
};

const NativeQueries& Native() {
    static const NativeQueries queries = [] {
        NativeQueries found;
        if (HMODULE ntdll = ::GetModuleHandleA("ntdll.dll")) {
            found.queryInformation = reinterpret_cast<QueryInformationFileFn>(
                reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationFile")));
            found.queryDirectory = reinterpret_cast<QueryDirectoryFileFn>(
                reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryDirectoryFile")));
        }
        return found;
    }();
    return queries;
}

// FILE_DIRECTORY_INFORMATION: one entry of a folder listing.
struct DirectoryEntry {
    ULONG nextEntryOffset;
    ULONG fileIndex;
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    LARGE_INTEGER endOfFile;
    LARGE_INTEGER allocationSize;
    ULONG fileAttributes;
    ULONG fileNameLength;  // in bytes
    WCHAR fileName[1];
};

// Opens a folder itself for listing (FILE_FLAG_BACKUP_SEMANTICS opens
// folders). The measured folder may be reached through a link; one below it
// is opened without following one, so that a link put at its name since it
// was listed is seen as one.
UniqueHandle OpenFolder(const std::string& path, bool followLink) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return UniqueHandle(::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      flags, nullptr));
}

// What an open folder is: nullopt when it cannot be told, or it is no plain
// folder (a reparse point opened as itself).
std::optional<std::uint64_t> PlainFolderIndex(HANDLE folder) {
    struct BasicInformation {
        LARGE_INTEGER times[4];
        ULONG attributes;
    } basic{};
    LARGE_INTEGER index{};
    IoStatusBlock status{};
    const NativeQueries& native = Native();
    if (native.queryInformation(folder, &status, &basic, sizeof basic, kFileBasicInformation) < 0 ||
        native.queryInformation(folder, &status, &index, sizeof index, kFileInternalInformation) < 0)
        return std::nullopt;
    if ((basic.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (basic.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(index.QuadPart);
}

// The name of a listed entry in the ANSI code page, as FindFirstFileA gives it.
std::string AnsiName(const DirectoryEntry& entry) {
    const int wideLength = static_cast<int>(entry.fileNameLength / sizeof(WCHAR));
    const int length = ::WideCharToMultiByte(CP_ACP, 0, entry.fileName, wideLength, nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) ::WideCharToMultiByte(CP_ACP, 0, entry.fileName, wideLength, name.data(), length, nullptr, nullptr);
    return name;
}

// Adds the sizes of the folder's files to `total` and its folders to go into
// to `pending`. A listing that fails on the way keeps what it gave.
// `buffer` is aligned for the entries' 64-bit fields.
void ListFolder(HANDLE folder, const std::string& path, std::vector<LONGLONG>& buffer, std::uint64_t& total,
                std::vector<std::string>& pending) {
    const ULONG bufferBytes = static_cast<ULONG>(buffer.size() * sizeof(LONGLONG));
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IoStatusBlock status{};
        if (Native().queryDirectory(folder, nullptr, nullptr, nullptr, &status, buffer.data(), bufferBytes,
                                    kFileDirectoryInformation, FALSE, nullptr, restart) < 0)
            return;
        const auto* bytes = reinterpret_cast<const char*>(buffer.data());
        for (ULONG offset = 0;;) {
            const auto& entry = *reinterpret_cast<const DirectoryEntry*>(bytes + offset);
            if ((entry.fileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                total += static_cast<std::uint64_t>(entry.endOfFile.QuadPart);
            } else {
                const std::string name = AnsiName(entry);
                if (!name.empty() && IsFolderToDescend(entry.fileAttributes, name)) pending.push_back(path + name);
            }
            if (entry.nextEntryOffset == 0) break;
            offset += entry.nextEntryOffset;
        }
    }
}

// The listing by name, for a system without the native queries (never seen
// on Windows NT or Wine): links are still not entered.
void ListFolderByName(const std::string& path, std::uint64_t& total, std::vector<std::string>& pending) {
    WIN32_FIND_DATAA entry{};
    UniqueFindHandle find(::FindFirstFileA((path + "*.*").c_str(), &entry));
    if (!find) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            total += (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        else if (IsFolderToDescend(entry.dwFileAttributes, entry.cFileName))
            pending.push_back(path + entry.cFileName);
    } while (::FindNextFileA(find.get(), &entry));
}

}  // namespace

std::int32_t MeasureFolderSize(const std::string& folder) {
    if (folder.empty() || !IsFolder(folder)) return -1;
    std::uint64_t total = 0;
    std::vector<std::string> pending{folder};
    std::set<FolderIdentity> entered;
    const bool byHandle = Native().queryInformation && Native().queryDirectory;
    std::uint32_t volumeSerial = 0;
    try {
        std::vector<LONGLONG> listing(8192);
        for (std::size_t next = 0; next < pending.size(); ++next) {
            std::string current = pending[next];
            AddTrailingBackslash(current);
            if (!byHandle) {
                ListFolderByName(current, total, pending);
                continue;
            }
            // One that cannot be opened counts as empty, like one that cannot be read.
            UniqueHandle handle = OpenFolder(pending[next], next == 0);
            if (!handle) continue;
            if (next == 0) {
                // Every folder entered lies on this volume: a mount point is a
                // reparse point, never entered.
                BY_HANDLE_FILE_INFORMATION info{};
                if (::GetFileInformationByHandle(handle.get(), &info)) volumeSerial = info.dwVolumeSerialNumber;
            }
            const std::optional<std::uint64_t> index = PlainFolderIndex(handle.get());
            if (next > 0 && !index) continue;
            // Some network file systems give every file the index 0: there
            // the path alone tells folders apart.
            if (index && *index != 0 && !entered.insert(FolderIdentity{volumeSerial, *index}).second) continue;
            ListFolder(handle.get(), current, listing, total, pending);
        }
    } catch (const std::bad_alloc&) {
        // A probe never fails: what was counted stands.
    }
    return SizeInKiB(total);
}

}  // namespace kavrel
