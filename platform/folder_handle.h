#pragma once
// Work inside one folder through a handle on it. The installer runs elevated
// in a folder that other users may be able to write to: files there are
// created, renamed, removed and listed relative to the folder's handle,
// never by a path rebuilt from names, so that nothing put at a name or above
// the folder after it was checked can lead the work elsewhere. Names stay in
// the system's UTF-16, as it gives and takes them. The system's own file
// functions (ntdll) are looked up at run time.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "platform/unique_handle.h"

namespace kavrel {

// What a folder is on its volume: the same folder whatever path led to it.
struct FolderFacts {
    std::uint32_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;
};

// A folder held open while the work inside it lasts. It is opened as itself
// (a link, junction or mount point at its name is not followed, and is
// refused). Held for writing it shares reading and writing but not deletion:
// on Windows nobody can rename or remove the folder while it is held. Held
// for listing it shares deletion too, so that a program holding the folder
// with delete access does not keep it from being measured.
class HeldFolder {
public:
    enum class Purpose { Listing, Writing };

    // Opens the folder at `path`. Raises FailureRaised when it cannot be opened or
    // is no plain folder.
    static HeldFolder Open(const std::wstring& path, Purpose purpose);

    // The folder's handle, still owned by this object.
    HANDLE get() const noexcept { return handle_.get(); }
    const std::wstring& path() const noexcept { return path_; }
    const FolderFacts& facts() const noexcept { return facts_; }

    // Raises FailureRaised unless the folder's path still leads to the held
    // folder. Wine renames and deletes by the path that a file was opened
    // with, and a Unix rename of the folder ignores sharing: before a name is
    // removed or replaced, the path must still be this folder's.
    void ConfirmPath() const;

    // Removes whatever stands at `name` in the folder: a link itself, never
    // what it points to. Nothing there is fine; a folder there raises
    // FailureRaised, as does a path that no longer leads here.
    void RemoveEntry(std::wstring_view name) const;

    // A new file at `name`, opened for writing with others allowed to read
    // only; it fails on anything already there, a dangling link included.
    // Raises FailureRaised.
    UniqueHandle CreateNewFile(std::wstring_view name) const;

    // Opens the file at `name` itself (a link is not followed) for writing
    // and deletion, others allowed to read only. Raises FailureRaised.
    UniqueHandle OpenFileToReplace(std::wstring_view name) const;

    // Opens the file at `name` itself, or makes it, for appending; others may
    // read it and append to it too. A link at the name is opened as the link,
    // never followed. Raises FailureRaised.
    UniqueHandle OpenFileToAppend(std::wstring_view name) const;

    // True when `file`, as the system resolves its path now, lies in this
    // very folder (volume serial and file index). Wine opens a Unix link at a
    // name as the file it points to, whatever the flags say: that file lies
    // elsewhere. True where the system cannot tell the path of a handle
    // (before Windows Vista), where reparse points are never followed.
    bool HoldsFile(HANDLE file) const;

    // Gives `file`, open in this folder with delete access, the name `name`,
    // replacing a file of that name in one step, a read-only one too; where
    // the attribute had to be cleared for it and the replace fails, the
    // file at `name` is read-only again. Raises FailureRaised with the
    // system's NTSTATUS and `whatFails`, the caller's words for it.
    void MoveInto(HANDLE file, std::wstring_view name, std::string whatFails) const;

    // Removes the open `file` of this folder, at `name`, its name at once where the
    // system can (POSIX deletion, Windows 10 1709 and later), else once the
    // last handle to it closes. Raises FailureRaised with the system's
    // NTSTATUS and `whatFails`.
    void DeleteOpenFile(HANDLE file, std::wstring_view name, std::string whatFails) const;

    // What keeps the file at `name` from being replaced, as opening it
    // (as itself) with delete access, the access a replace needs, shows;
    // closed again at once. None where it opens, or is not there.
    enum class ReplaceObstacle {
        None,
        HeldByAnother,   // another program holds it without sharing deletion
        DeletionDenied,  // its permissions refuse deletion
        NotAFile,        // a folder stands at the name
    };
    ReplaceObstacle ObstacleToReplacing(std::wstring_view name) const;

private:
    HeldFolder(UniqueHandle handle, std::wstring path, FolderFacts facts)
        : handle_(std::move(handle)), path_(std::move(path)), facts_(facts) {}

    UniqueHandle handle_;
    std::wstring path_;
    FolderFacts facts_;
};

// What an open file is, as its handle tells: attributes, number of names
// and file index.
struct FileFacts {
    std::uint32_t attributes = 0;
    std::uint32_t links = 0;
    std::uint64_t fileIndex = 0;
};
// nullopt when the handle cannot tell.
std::optional<FileFacts> QueryFileFacts(HANDLE file);

// The path the system resolves an open file or folder to now, as
// GetFinalPathNameByHandleW gives it ("\\?\C:\...", "\\?\UNC\..."): links,
// junctions and mount points on the way resolved. `supported` is false
// where the system lacks the call (before Windows Vista); `path` is empty
// when the call fails.
struct FinalPath {
    bool supported = false;
    std::wstring path;
};
FinalPath FinalPathOf(HANDLE handle);

// True when a file, not a folder, is at `path` (a link to one counts).
bool IsExistingFile(const std::wstring& path);

// A folder inside `parent`, opened as itself for listing; empty when it
// cannot be opened.
UniqueHandle OpenSubfolder(HANDLE parent, std::wstring_view name);

// The file index of an open folder; nullopt when it cannot be told or the
// handle shows no plain folder (a reparse point opened as itself).
std::optional<std::uint64_t> PlainFolderIndex(HANDLE folder);

// Fills `buffer` with the next entries of an open folder's listing, in the
// system's FILE_DIRECTORY_INFORMATION form; false when there are no more
// or the listing fails. `restart` starts from the first entry.
bool ReadFolderEntries(HANDLE folder, void* buffer, std::uint32_t bytes, bool restart);

// FILE_DIRECTORY_INFORMATION: one entry of a folder listing.
struct FolderEntry {
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

}  // namespace kavrel
