#include "platform/run_log.h"

#include <windows.h>

#include <aclapi.h>

#include <exception>
#include <vector>

#include "base/log_rules.h"
#include "base/text.h"
#include "base/text_decoding.h"
#include "platform/environment.h"
#include "platform/file_rules.h"
#include "platform/folder_handle.h"
#include "platform/process_account.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

UniqueHandle& LogFile() {
    static UniqueHandle file;
    return file;
}

// Whether the file's owner is one that could have written anywhere this
// process may: LocalSystem, the Administrators group or this process's own
// account. A file that another user made and left for an elevated run to
// append to is not written.
bool OwnedByTrustedAccount(HANDLE file) {
    PSID owner = nullptr;
    UniqueLocalMemory descriptor;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put())) != ERROR_SUCCESS ||
        owner == nullptr)
        return false;
    if (IsWellKnownAccount(owner, WinLocalSystemSid) || IsWellKnownAccount(owner, WinBuiltinAdministratorsSid))
        return true;
    std::vector<BYTE> user = ProcessUserSid();
    return !user.empty() && ::EqualSid(owner, user.data());
}

// The text of a call that fills a buffer with a path (GetFullPathNameW,
// GetLongPathNameW): its length when it fits, the size needed when not (a
// path may grow between the calls), 0 on failure. Empty on failure.
template <typename Fill>
std::wstring FilledPath(Fill fill) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = fill(path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(length);
    }
    return {};
}

// The log's path made whole, as a script or an administrator may write it:
// "%ProgramData%" and the like expanded, "/" as "\", a relative path taken
// from the current folder. Empty when that gives no whole path of a file.
std::wstring WholeLogPath(const std::wstring& requested) {
    const std::wstring path = WithBackslashes(ExpandedEnvironmentText(requested));
    const std::wstring whole = FilledPath(
        [&path](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
    return IsWholeFilePath(whole) ? whole : std::wstring();
}

// A path in the system's upper case, which the file system's comparison of
// names follows (the invariant one: a Turkish user's "i" is no other letter).
std::wstring UpperPath(const std::wstring& path) {
    std::wstring upper(path);
    const int length = static_cast<int>(path.size());
    if (length > 0 &&
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), length, upper.data(), length) != length)
        return path;
    return upper;
}

// Whether the held log folder is the one asked for. Only the last name of
// its path is opened as itself: a junction or link in the middle would lead
// the log elsewhere. The requested folder in its long names, since "Temp"
// often names a user's folder by its short one ("ADMINIS~1"), which the
// final path never does. True where the system cannot tell (before Windows
// Vista).
bool IsRequestedFolder(const HeldFolder& folder) {
    const FinalPath resolved = FinalPathOf(folder.get());
    if (!resolved.supported) return true;
    std::wstring requested = FilledPath(
        [&folder](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(folder.path().c_str(), buffer, size); });
    if (requested.empty()) requested = folder.path();
    return !resolved.path.empty() && FinalPathIsFolder(UpperPath(resolved.path), UpperPath(requested));
}

// The log is opened as the package is written: its folder as itself, the
// file relative to it without following a link at its name. A log in the
// Temp folder (C:\Windows\Temp for SYSTEM), or any folder that other users
// may write, could otherwise carry an elevated run's writes into a file of
// their choice through a link they planted.
UniqueHandle OpenLogSafely(const std::wstring& requested) {
    const FilePathParts parts = SplitFilePath(WholeLogPath(requested));
    if (parts.folder.empty() || parts.name.empty()) return {};
    const HeldFolder folder = HeldFolder::Open(parts.folder, HeldFolder::Purpose::Writing);
    if (!IsRequestedFolder(folder)) return {};
    UniqueHandle file = folder.OpenFileToAppend(parts.name);
    const std::optional<FileFacts> facts = QueryFileFacts(file.get());
    if (!facts || !IsPlainFileWithOneName(facts->attributes, facts->links) || !OwnedByTrustedAccount(file.get()) ||
        !folder.HoldsFile(file.get()))
        return {};
    return file;
}

}  // namespace

bool StartRunLog(const std::wstring& path) {
    // Appended to, so that several runs share one file; open to readers (and
    // to another run's appends) while this run writes. A log that cannot be
    // opened safely is no log: the run goes on without one.
    try {
        LogFile() = OpenLogSafely(path);
    } catch (const std::exception&) {
        LogFile().reset();
    }
    return RunLogOn();
}
bool RunLogOn() { return static_cast<bool>(LogFile()); }

void LogLine(const ShownText& text) {
    if (!RunLogOn()) return;
    try {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        const std::string line =
            FormatLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds},
                          EncodeText(DecodeShownText(text, kSystemCodePage), kUtf8CodePage));
        DWORD written = 0;
        // A log that cannot be written is given up, never the run.
        if (!::WriteFile(LogFile().get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size())
            LogFile().reset();
    } catch (const std::exception&) {
        // No memory for a line: the line is left out.
    }
}

void StopRunLog() { LogFile().reset(); }

}  // namespace kavrel
