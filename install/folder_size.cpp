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

// The identity of the folder at `path`, read from a handle on the folder
// itself (FILE_FLAG_BACKUP_SEMANTICS opens folders). A folder below the
// measured one is opened without following a link, so that a link put in its
// place since it was listed is seen as one; nullopt then, and when it cannot
// be opened. The measured folder itself may be reached through a link.
std::optional<FolderIdentity> IdentifyFolder(const std::string& path, bool followLink) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    UniqueHandle folder(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      flags, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info)) return std::nullopt;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::nullopt;
    if (!followLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return std::nullopt;
    return FolderIdentity{info.dwVolumeSerialNumber,
                          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::int32_t MeasureFolderSize(const std::string& folder) {
    if (folder.empty() || !IsFolder(folder)) return -1;
    std::uint64_t total = 0;
    std::vector<std::string> pending{folder};
    std::set<FolderIdentity> entered;
    try {
        for (std::size_t next = 0; next < pending.size(); ++next) {
            std::string current = pending[next];
            const std::optional<FolderIdentity> identity = IdentifyFolder(current, next == 0);
            // Below the measured folder, one that cannot be identified counts
            // as empty, like one that cannot be read.
            if (next > 0 && !identity) continue;
            // Some network file systems give every file the index 0: there
            // the path alone tells folders apart.
            if (identity && identity->fileIndex != 0 && !entered.insert(*identity).second) continue;
            AddTrailingBackslash(current);
            WIN32_FIND_DATAA entry{};
            UniqueFindHandle find(::FindFirstFileA((current + "*.*").c_str(), &entry));
            if (!find) continue;
            do {
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    total += (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
                else if (IsFolderToDescend(entry.dwFileAttributes, entry.cFileName))
                    pending.push_back(current + entry.cFileName);
            } while (::FindNextFileA(find.get(), &entry));
        }
    } catch (const std::bad_alloc&) {
        // A probe never fails: what was counted stands.
    }
    return SizeInKiB(total);
}

}  // namespace kavrel
