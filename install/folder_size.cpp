#include "install/folder_size.h"

#include <windows.h>

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

bool IsDotEntry(const char* name) {
    return (name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0');
}

}  // namespace

std::int32_t MeasureFolderSize(const std::string& folder) {
    if (folder.empty() || !IsFolder(folder)) return -1;
    std::uint64_t total = 0;
    std::vector<std::string> pending{folder};
    try {
        for (std::size_t next = 0; next < pending.size(); ++next) {
            std::string current = pending[next];
            AddTrailingBackslash(current);
            WIN32_FIND_DATAA entry{};
            UniqueFindHandle find(::FindFirstFileA((current + "*.*").c_str(), &entry));
            if (!find) continue;
            do {
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    total += (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
                else if (!IsDotEntry(entry.cFileName))
                    pending.push_back(current + entry.cFileName);
            } while (::FindNextFileA(find.get(), &entry));
        }
    } catch (const std::bad_alloc&) {
        // A probe never fails: what was counted stands.
    }
    return SizeInKiB(total);
}

}  // namespace kavrel
