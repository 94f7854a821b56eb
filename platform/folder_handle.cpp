#include "platform/folder_handle.h"

#include <winternl.h>

#include "base/text.h"
#include "base/windows_codes.h"
#include "platform/file_rules.h"
#include "platform/system_library.h"

#include <vector>

namespace kavrel {

namespace {

constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(ntstatus::kObjectNameNotFound);
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(ntstatus::kNoMoreFiles);
constexpr int kFileDirectoryInformation = 1;
constexpr int kFileBasicInformation = 4;
constexpr int kFileStandardInformation = 5;
constexpr int kFileInternalInformation = 6;
constexpr int kFileDispositionInformation = 13;
constexpr int kFileRenameInformation = 10;
constexpr int kFileDispositionInformationEx = 64;
constexpr int kFileRenameInformationEx = 65;
constexpr ULONG kFileDispositionDelete = 0x1;
constexpr ULONG kFileDispositionPosixSemantics = 0x2;
constexpr ULONG kFileDispositionIgnoreReadOnly = 0x10;
constexpr ULONG kFileRenameReplaceIfExists = 0x1;
constexpr ULONG kFileRenameIgnoreReadOnly = 0x40;

using QueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, void*, void*, IO_STATUS_BLOCK*, void*, ULONG, int,
                                              BOOLEAN, UNICODE_STRING*, BOOLEAN);
using QueryInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, int);
using SetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, int);
using CreateFileFn = decltype(&::NtCreateFile);
using StatusToErrorFn = decltype(&::RtlNtStatusToDosError);

// The system's own file functions. Every Windows NT and Wine has them; the
// installer's imports stay with the documented DLLs.
struct NativeFiles {
    CreateFileFn createFile = nullptr;
    QueryInformationFileFn queryInformation = nullptr;
    SetInformationFileFn setInformation = nullptr;
    QueryDirectoryFileFn queryDirectory = nullptr;
    StatusToErrorFn statusToError = nullptr;

    bool Complete() const {
        return createFile && queryInformation && setInformation && queryDirectory && statusToError;
    }
};

const NativeFiles& Native() {
    static const NativeFiles files = [] {
        NativeFiles found;
        if (HMODULE ntdll = ::GetModuleHandleA("ntdll.dll")) {
            found.createFile = ModuleFunction<CreateFileFn>(ntdll, "NtCreateFile");
            found.queryInformation = ModuleFunction<QueryInformationFileFn>(ntdll, "NtQueryInformationFile");
            found.setInformation = ModuleFunction<SetInformationFileFn>(ntdll, "NtSetInformationFile");
            found.queryDirectory = ModuleFunction<QueryDirectoryFileFn>(ntdll, "NtQueryDirectoryFile");
            found.statusToError = ModuleFunction<StatusToErrorFn>(ntdll, "RtlNtStatusToDosError");
        }
        return found;
    }();
    return files;
}

// The system maps a name whose file is being removed to "access denied";
// its own error for it says what it is: the name is still in use.
std::uint32_t ErrorOf(NTSTATUS status) {
    if (static_cast<std::uint32_t>(status) == ntstatus::kDeletePending) return ERROR_DELETE_PENDING;
    return static_cast<std::uint32_t>(Native().statusToError(status));
}

// A failed native call as it answered: its NTSTATUS, with the Win32 error
// that the person is told and the installer's rules read.
Failure NativeFailure(std::string what, NTSTATUS status, const std::wstring& path,
                      CodeLocation where = CodeLocation::Here()) {
    return NtStatusFailure(std::move(what), static_cast<std::uint32_t>(status), ErrorOf(status), WideText(path), where);
}

// Opens `name` inside `root`, never following a link at the name itself.
NTSTATUS OpenRelative(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, UniqueHandle& opened) {
    if (!Native().Complete()) return static_cast<NTSTATUS>(ntstatus::kNotImplemented);
    UNICODE_STRING text{};
    text.Buffer = const_cast<wchar_t*>(name.data());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = root;
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS result =
        Native().createFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                            disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(result)) opened.reset(handle);
    return result;
}

struct BasicInformation {
    LARGE_INTEGER times[4];
    ULONG attributes;
};

struct StandardInformation {
    LARGE_INTEGER allocationSize;
    LARGE_INTEGER endOfFile;
    ULONG numberOfLinks;
    BOOLEAN deletePending;
    BOOLEAN directory;
};

// The attributes of an open file, or the status of the failed query.
struct AttributesAnswer {
    NTSTATUS status = 0;
    ULONG attributes = 0;
    bool Known() const { return NT_SUCCESS(status); }
};

AttributesAnswer QueryAttributes(HANDLE file) {
    BasicInformation basic{};
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = Native().queryInformation(file, &status, &basic, sizeof basic, kFileBasicInformation);
    return {result, NT_SUCCESS(result) ? basic.attributes : 0};
}

// Clears the read-only attribute of an open file (opened with
// FILE_WRITE_ATTRIBUTES), where it is set: a file copied from a disc has it,
// and Windows refuses to delete it or to rename another file over it.
// Returns the status of the change, or success when there was none to make;
// `cleared` says whether it made one.
NTSTATUS ClearReadOnly(HANDLE file, bool* cleared = nullptr) {
    BasicInformation basic{};
    IO_STATUS_BLOCK status{};
    NTSTATUS result = Native().queryInformation(file, &status, &basic, sizeof basic, kFileBasicInformation);
    if (!NT_SUCCESS(result) || (basic.attributes & FILE_ATTRIBUTE_READONLY) == 0) return result;
    // Times of 0 are left as they are.
    BasicInformation changed{};
    changed.attributes = basic.attributes & ~static_cast<ULONG>(FILE_ATTRIBUTE_READONLY);
    if (changed.attributes == 0) changed.attributes = FILE_ATTRIBUTE_NORMAL;
    result = Native().setInformation(file, &status, &changed, sizeof changed, kFileBasicInformation);
    if (cleared) *cleared = NT_SUCCESS(result);
    return result;
}

bool IsUnavailable(NTSTATUS status) { return IsUnavailableFileRequest(static_cast<std::uint32_t>(status)); }

// Sets the read-only attribute of the file at `name` in `folder` again,
// where it is still the file `fileIndex` whose attribute was cleared.
void RestoreReadOnly(HANDLE folder, std::wstring_view name, std::uint64_t fileIndex) {
    UniqueHandle target;
    if (!NT_SUCCESS(OpenRelative(folder, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                 FILE_NON_DIRECTORY_FILE, target)))
        return;
    const std::optional<FileFacts> facts = QueryFileFacts(target.get());
    if (!facts || facts->fileIndex != fileIndex) return;
    BasicInformation changed{};
    changed.attributes = (facts->attributes & ~static_cast<ULONG>(FILE_ATTRIBUTE_NORMAL)) | FILE_ATTRIBUTE_READONLY;
    IO_STATUS_BLOCK status{};
    Native().setInformation(target.get(), &status, &changed, sizeof changed, kFileBasicInformation);
}

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::uint64_t FileIndex(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

std::wstring Joined(const std::wstring& folder, std::wstring_view name) {
    std::wstring path = folder;
    AddTrailingBackslash(path);
    return path.append(name);
}

// A folder opened as itself: a link, junction or mount point at its name is
// opened, never followed, and then refused by its attributes.
constexpr DWORD kFolderAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
static_assert((kFolderAsItself & FILE_FLAG_OPEN_REPARSE_POINT) != 0 && (kFolderAsItself & FILE_FLAG_BACKUP_SEMANTICS) != 0,
              "the application folder is opened as itself, never through a link in its place");

}  // namespace

HeldFolder HeldFolder::Open(const std::wstring& path, Purpose purpose) {
    DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (purpose == Purpose::Writing) {
        access |= FILE_ADD_FILE;
        // No delete sharing: the folder cannot be renamed or removed while held.
        share &= ~static_cast<DWORD>(FILE_SHARE_DELETE);
    }
    UniqueHandle handle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                      kFolderAsItself, nullptr));
    if (!handle) Raise(WindowsFailure("cannot open the folder", ::GetLastError(), WideText(path)));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle.get(), &info))
        Raise(WindowsFailure("cannot tell what the folder is", ::GetLastError(), WideText(path)));
    // A link, junction or mount point in the folder's place could lead
    // anywhere. Wine opens a Unix link to a folder as the folder it points
    // to, whatever the flags say, and shows the link only by its path.
    if (!IsPlainFolder(info.dwFileAttributes) || !IsPlainFolder(::GetFileAttributesW(path.c_str())))
        Raise(Refusal("no plain folder", ERROR_ACCESS_DENIED, WideText(path)));
    if (!Native().Complete()) Raise(Refusal("no native file functions", ERROR_CALL_NOT_IMPLEMENTED, WideText(path)));
    return HeldFolder(std::move(handle), path, FolderFacts{info.dwVolumeSerialNumber, FileIndex(info)});
}

void HeldFolder::ConfirmPath() const {
    UniqueHandle again(::CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     kFolderAsItself, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!again || !::GetFileInformationByHandle(again.get(), &info) || !IsPlainFolder(info.dwFileAttributes) ||
        !IsPlainFolder(::GetFileAttributesW(path_.c_str())) ||
        info.dwVolumeSerialNumber != facts_.volumeSerial || FileIndex(info) != facts_.fileIndex)
        Raise(Refusal("the folder's path leads elsewhere now", ERROR_PATH_NOT_FOUND, WideText(path_)));
}

void HeldFolder::RemoveEntry(std::wstring_view name) const {
    UniqueHandle entry;
    const NTSTATUS opened = OpenRelative(handle_.get(), name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, entry);
    if (opened == kStatusObjectNameNotFound) return;
    const std::wstring path = Joined(path_, name);
    if (!NT_SUCCESS(opened)) Raise(NativeFailure("cannot open what stands at the name", opened, path));
    const AttributesAnswer answer = QueryAttributes(entry.get());
    if (!answer.Known()) Raise(NativeFailure("cannot tell what stands at the name", answer.status, path));
    if (IsPlainFolder(answer.attributes)) Raise(Refusal("a folder stands at the name", ERROR_ACCESS_DENIED, WideText(path)));
    ConfirmPath();
    DeleteOpenFile(entry.get(), name, "cannot remove what stands at the name");
}

UniqueHandle HeldFolder::CreateNewFile(std::wstring_view name) const {
    UniqueHandle file;
    const NTSTATUS status = OpenRelative(handle_.get(), name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                         FILE_CREATE, FILE_NON_DIRECTORY_FILE, file);
    if (!NT_SUCCESS(status)) Raise(NativeFailure("cannot create the file", status, Joined(path_, name)));
    return file;
}

UniqueHandle HeldFolder::OpenFileToReplace(std::wstring_view name) const {
    UniqueHandle file;
    const NTSTATUS status = OpenRelative(handle_.get(), name, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ, FILE_OPEN, FILE_NON_DIRECTORY_FILE, file);
    if (!NT_SUCCESS(status)) Raise(NativeFailure("cannot open the file", status, Joined(path_, name)));
    return file;
}

UniqueHandle HeldFolder::OpenFileToAppend(std::wstring_view name) const {
    UniqueHandle file;
    const NTSTATUS status = OpenRelative(handle_.get(), name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF, FILE_NON_DIRECTORY_FILE, file);
    if (!NT_SUCCESS(status)) Raise(NativeFailure("cannot open the file", status, Joined(path_, name)));
    return file;
}

bool HeldFolder::HoldsFile(HANDLE file) const {
    const FinalPath resolved = FinalPathOf(file);
    if (!resolved.supported) return true;
    const std::wstring& path = resolved.path;
    if (path.empty()) return false;
    // Up to the last backslash, kept: "\\?\C:" alone would name the volume, not its root.
    const std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
    UniqueHandle parent(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return parent && ::GetFileInformationByHandle(parent.get(), &info) &&
           info.dwVolumeSerialNumber == facts_.volumeSerial && FileIndex(info) == facts_.fileIndex;
}

void HeldFolder::MoveInto(HANDLE file, std::wstring_view name, std::string whatFails) const {
    // FILE_RENAME_INFORMATION(_EX), the new name relative to the folder's
    // handle. The first field is ReplaceIfExists (a BOOLEAN) in the old form
    // and Flags (a ULONG) in the new one, in the same place.
    struct RenameHeader {
        ULONG flags;
        HANDLE rootDirectory;
        ULONG fileNameLength;
    };
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<char> buffer(offsetof(RenameHeader, fileNameLength) + sizeof(ULONG) + nameBytes + sizeof(wchar_t));
    auto* header = reinterpret_cast<RenameHeader*>(buffer.data());
    header->rootDirectory = handle_.get();
    header->fileNameLength = static_cast<ULONG>(nameBytes);
    std::copy(reinterpret_cast<const char*>(name.data()), reinterpret_cast<const char*>(name.data()) + nameBytes,
              buffer.data() + offsetof(RenameHeader, fileNameLength) + sizeof(ULONG));
    auto rename = [&](int informationClass, ULONG flags) {
        header->flags = flags;
        IO_STATUS_BLOCK status{};
        return Native().setInformation(file, &status, buffer.data(), static_cast<ULONG>(buffer.size()),
                                       informationClass);
    };
    // A read-only package (copied from a disc) is replaced too: Windows 10
    // 1809 and later are told to ignore the attribute.
    NTSTATUS result = rename(kFileRenameInformationEx, kFileRenameReplaceIfExists | kFileRenameIgnoreReadOnly);
    if (IsUnavailable(result)) {
        // Elsewhere the attribute is cleared first, through the installed
        // file opened as itself in this folder, never by its path, and
        // closed again: a file open here cannot be replaced. Should the
        // replace then fail, the installed file gets it back.
        bool cleared = false;
        std::uint64_t clearedIndex = 0;
        {
            UniqueHandle target;
            if (NT_SUCCESS(OpenRelative(handle_.get(), name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                        FILE_NON_DIRECTORY_FILE, target))) {
                const std::optional<FileFacts> facts = QueryFileFacts(target.get());
                if (facts) clearedIndex = facts->fileIndex;
                ClearReadOnly(target.get(), &cleared);
                cleared = cleared && facts;
            }
        }
        result = rename(kFileRenameInformation, TRUE);
        if (!NT_SUCCESS(result) && cleared) RestoreReadOnly(handle_.get(), name, clearedIndex);
    }
    if (!NT_SUCCESS(result)) Raise(NativeFailure(std::move(whatFails), result, Joined(path_, name)));
}

void HeldFolder::DeleteOpenFile(HANDLE file, std::wstring_view name, std::string whatFails) const {
    IO_STATUS_BLOCK status{};
    // The name goes at once, even while another program still holds the
    // file open: a new file can then be made at it. Windows 10 1809 and
    // later also ignore a read-only attribute.
    ULONG flags = kFileDispositionDelete | kFileDispositionPosixSemantics | kFileDispositionIgnoreReadOnly;
    NTSTATUS result = Native().setInformation(file, &status, &flags, sizeof flags, kFileDispositionInformationEx);
    if (IsUnavailable(result)) {
        // 1709 and 1803 know POSIX deletion without that flag; a file that
        // goes needs no attribute, and older systems refuse to delete a
        // read-only one (where the handle may change it).
        ClearReadOnly(file);
        flags = kFileDispositionDelete | kFileDispositionPosixSemantics;
        result = Native().setInformation(file, &status, &flags, sizeof flags, kFileDispositionInformationEx);
    }
    if (IsUnavailable(result)) {
        // Older systems: the name stays until the last handle closes.
        BOOLEAN deleteFile = TRUE;
        result = Native().setInformation(file, &status, &deleteFile, sizeof deleteFile, kFileDispositionInformation);
    }
    if (!NT_SUCCESS(result)) Raise(NativeFailure(std::move(whatFails), result, Joined(path_, name)));
}

HeldFolder::ReplaceObstacle HeldFolder::ObstacleToReplacing(std::wstring_view name) const {
    UniqueHandle entry;
    const NTSTATUS opened = OpenRelative(handle_.get(), name, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                         FILE_NON_DIRECTORY_FILE, entry);
    const auto status = static_cast<std::uint32_t>(opened);
    if (status == ntstatus::kSharingViolation) return ReplaceObstacle::HeldByAnother;
    if (status == ntstatus::kAccessDenied) return ReplaceObstacle::DeletionDenied;
    if (status == ntstatus::kFileIsADirectory) return ReplaceObstacle::NotAFile;
    if (!NT_SUCCESS(opened)) return ReplaceObstacle::None;
    const AttributesAnswer answer = QueryAttributes(entry.get());
    return answer.Known() && IsPlainFolder(answer.attributes) ? ReplaceObstacle::NotAFile : ReplaceObstacle::None;
}

std::optional<FileFacts> QueryFileFacts(HANDLE file) {
    FileFacts facts;
    const AttributesAnswer answer = QueryAttributes(file);
    StandardInformation standard{};
    LARGE_INTEGER index{};
    IO_STATUS_BLOCK status{};
    if (!answer.Known() ||
        !NT_SUCCESS(Native().queryInformation(file, &status, &standard, sizeof standard, kFileStandardInformation)) ||
        !NT_SUCCESS(Native().queryInformation(file, &status, &index, sizeof index, kFileInternalInformation)))
        return std::nullopt;
    facts.attributes = answer.attributes;
    facts.links = standard.numberOfLinks;
    facts.fileIndex = static_cast<std::uint64_t>(index.QuadPart);
    return facts;
}

FinalPath FinalPathOf(HANDLE handle) {
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto finalPath = LoadedSystemFunction<FinalPathFn>("kernel32.dll", "GetFinalPathNameByHandleW");
    if (!finalPath) return {};
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = finalPath(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = finalPath(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (length == 0 || length >= path.size()) return {true, {}};
    path.resize(length);
    return {true, path};
}

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

UniqueHandle OpenSubfolder(HANDLE parent, std::wstring_view name) {
    UniqueHandle folder;
    OpenRelative(parent, name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                 FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, folder);
    return folder;
}

std::optional<std::uint64_t> PlainFolderIndex(HANDLE folder) {
    const AttributesAnswer answer = QueryAttributes(folder);
    LARGE_INTEGER index{};
    IO_STATUS_BLOCK status{};
    if (!answer.Known() ||
        !NT_SUCCESS(Native().queryInformation(folder, &status, &index, sizeof index, kFileInternalInformation)) ||
        !IsPlainFolder(answer.attributes))
        return std::nullopt;
    return static_cast<std::uint64_t>(index.QuadPart);
}

bool ReadFolderEntries(HANDLE folder, void* buffer, std::uint32_t bytes, bool restart) {
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = Native().queryDirectory(folder, nullptr, nullptr, nullptr, &status, buffer, bytes,
                                                    kFileDirectoryInformation, FALSE, nullptr, restart);
    return NT_SUCCESS(result) && result != kStatusNoMoreFiles && status.Information > 0;
}

}  // namespace kavrel
