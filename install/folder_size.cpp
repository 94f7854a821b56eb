#include "install/folder_size.h"

#include <windows.h>

#include <set>
#include <vector>

#include "install/install_rules.h"
#include "platform/folder_handle.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

// A folder being walked: its handle and the names of the folders in it
// that are still to be entered.
struct OpenFolder {
    UniqueHandle owned;
    HANDLE handle = nullptr;
    std::vector<std::wstring> subfolders;
};

std::u16string_view NameOf(const FolderEntry& entry) {
    return {reinterpret_cast<const char16_t*>(entry.fileName), entry.fileNameLength / sizeof(WCHAR)};
}

// Adds the sizes of the folder's files to `total` and keeps the names of its
// folders to go into, as the system gives them: a name is never turned into
// another code page (where Windows maps a character it cannot hold to a
// look-alike, "．．＼" would become "..\"), never joined into a path. A
// listing that fails on the way keeps what it gave. `buffer` is aligned for
// the entries' 64-bit fields.
void ListFolder(OpenFolder& folder, std::vector<LONGLONG>& buffer, std::uint64_t& total) {
    const auto bufferBytes = static_cast<std::uint32_t>(buffer.size() * sizeof(LONGLONG));
    for (bool restart = true; ReadFolderEntries(folder.handle, buffer.data(), bufferBytes, restart); restart = false) {
        const auto* bytes = reinterpret_cast<const char*>(buffer.data());
        for (ULONG offset = 0;;) {
            const auto& entry = *reinterpret_cast<const FolderEntry*>(bytes + offset);
            if ((entry.fileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                total += static_cast<std::uint64_t>(entry.endOfFile.QuadPart);
            } else if (IsFolderToDescend(entry.fileAttributes, NameOf(entry))) {
                folder.subfolders.emplace_back(entry.fileName, entry.fileNameLength / sizeof(WCHAR));
            }
            if (entry.nextEntryOffset == 0) break;
            offset += entry.nextEntryOffset;
        }
    }
}

}  // namespace

Result<std::optional<std::int32_t>> MeasureFolderSize(const std::wstring& folder) {
    if (folder.empty()) return std::optional<std::int32_t>();
    std::uint64_t total = 0;
    try {
        const HeldFolder root = HeldFolder::Open(FolderToOpen(folder), HeldFolder::Purpose::Listing);
        const std::uint32_t volumeSerial = root.facts().volumeSerial;
        std::set<FolderIdentity> entered{FolderIdentity{volumeSerial, root.facts().fileIndex}};
        std::vector<LONGLONG> listing(8192);
        // Depth first: each folder is opened relative to its parent's handle,
        // which stays open while its folders are walked.
        std::vector<OpenFolder> open(1);
        open.back().handle = root.get();
        ListFolder(open.back(), listing, total);
        while (!open.empty()) {
            if (open.back().subfolders.empty()) {
                open.pop_back();
                continue;
            }
            const std::wstring name = std::move(open.back().subfolders.back());
            open.back().subfolders.pop_back();
            // One that cannot be opened counts as empty, like one that cannot be read.
            OpenFolder next;
            next.owned = OpenSubfolder(open.back().handle, name);
            if (!next.owned) continue;
            const std::optional<std::uint64_t> index = PlainFolderIndex(next.owned.get());
            if (!index) continue;
            // Some network file systems give every file the index 0: there
            // the walk, which never enters a link, ends all the same.
            if (*index != 0 && !entered.insert(FolderIdentity{volumeSerial, *index}).second) continue;
            next.handle = next.owned.get();
            ListFolder(next, listing, total);
            open.push_back(std::move(next));
        }
    } catch (const FailureRaised& raised) {
        // No folder to measure, or none that may be measured: a refusal
        // stays a refusal, never a Windows error that Windows did not give.
        const Failure& failure = raised.failure();
        if (failure.origin == FailureOrigin::Installer || !IsMissingFolderError(failure.windowsError))
            return failure;
        return std::optional<std::int32_t>();
    } catch (const std::bad_alloc&) {
        // A probe never fails: what was counted stands.
    }
    return std::optional<std::int32_t>(SizeInKiB(total));
}

}  // namespace kavrel
