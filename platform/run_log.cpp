#include "platform/run_log.h"

#include <windows.h>

#include <aclapi.h>

#include <vector>

#include "base/log_rules.h"
#include "base/text.h"
#include "base/text_decoding.h"
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

// The log is opened as the package is written: its folder as itself, the
// file relative to it without following a link at its name. A log in the
// Temp folder (C:\Windows\Temp for SYSTEM), or any folder that other users
// may write, could otherwise carry an elevated run's writes into a file of
// their choice through a link they planted.
UniqueHandle OpenLogSafely(const std::wstring& path) {
    const FilePathParts parts = SplitFilePath(path);
    if (parts.folder.empty() || parts.name.empty()) return {};
    const HeldFolder folder = HeldFolder::Open(parts.folder, HeldFolder::Purpose::Writing);
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
    } catch (...) {
        // No memory for a line: the line is left out.
    }
}

void StopRunLog() { LogFile().reset(); }

}  // namespace kavrel
