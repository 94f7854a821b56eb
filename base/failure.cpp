#include "base/failure.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/windows_codes.h"

namespace kavrel {

namespace {

// Windows Installer's codes for what an installer meets, which deployment
// tools already know, and plain Win32 codes where the cause is one.
constexpr ReturnCode kReturnCodes[] = {
    {std::nullopt, 0, "ERROR_SUCCESS", "", "Success", "Success",
     "the package installed and recorded (whatever the answer to the final question)"},
    {FailureCause::Declined, 1602, "ERROR_INSTALL_USEREXIT", "cancelledByUser", "Failed", "Failure",
     "the person declined the confirmation, or chose Cancel; nothing was written", FailureCause::Cancelled},
    {FailureCause::AnotherCopyRunning, 1618, "ERROR_INSTALL_ALREADY_RUNNING", "installInProgress", "Retry",
     "Fast Retry", "another copy of the installer is running; nothing was written"},
    {FailureCause::NotInstalled, 1605, "ERROR_UNKNOWN_PRODUCT", "missingDependency", "Failed", "Failure",
     "the application is not installed (no registration and no folder, or no folder at the registered place); "
     "nothing was written"},
    {FailureCause::NotAdministrator, 740, "ERROR_ELEVATION_REQUIRED", "", "Failed", "Failure",
     "the user is not an administrator; nothing was written"},
    {FailureCause::RegistryUnreadable, 1012, "ERROR_CANTREAD", "", "Failed", "Failure",
     "the registry could not be read; nothing was written"},
    {FailureCause::InstallerDamaged, 1620, "ERROR_INSTALL_PACKAGE_INVALID", "contactSupport", "Failed", "Failure",
     "the installer's own file is damaged or cannot be read; nothing was written"},
    {FailureCause::NobodyToAnswer, 1639, "ERROR_INVALID_COMMAND_LINE", "invalidParameter", "Failed", "Failure",
     "a question was needed where nobody can answer it (run it there as modest); nothing was written"},
    {FailureCause::DiskFull, 112, "ERROR_DISK_FULL", "diskFull", "Failed", "Failure",
     "too little free space for the package; the installed one is as it was"},
    {FailureCause::FileInUse, 32, "ERROR_SHARING_VIOLATION", "fileInUse", "Retry", "Fast Retry",
     "the package or its temporary file was still held by another program after 30 s; the installed one is as it "
     "was"},
    {FailureCause::InstallFailed, 1603, "ERROR_INSTALL_FAILURE", "", "Failed", "Failure",
     "any other failure of a writing step (the installed package is as it was), the size or the package's version "
     "not recorded, or a failure nobody foresaw"},
};

ShownText Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return ProgramText(text);
}

// Who gave the code, and the code: ", Windows error 32: <text>",
// ", NTSTATUS 0xC0000043 (Windows error 32: <text>)".
ShownText CodeText(const Failure& failure, const ShownText& systemText) {
    const auto windowsError = [&] {
        ShownText text = "Windows error " + ProgramText(std::to_string(failure.windowsError));
        if (!systemText.Empty()) text += ": " + systemText;
        return text;
    };
    switch (failure.origin) {
        case FailureOrigin::Windows:
            return ", " + windowsError();
        case FailureOrigin::NtStatus:
        case FailureOrigin::HResult: {
            ShownText text = (failure.origin == FailureOrigin::NtStatus ? ", NTSTATUS " : ", HRESULT ") + Hex(failure.code);
            if (failure.windowsError != 0) text += " (" + windowsError() + ")";
            return text;
        }
        case FailureOrigin::Installer:
            return {};
    }
    return {};
}

}  // namespace

bool IsFileInUseError(std::uint32_t windowsError) {
    using namespace win32;
    return windowsError == kSharingViolation || windowsError == kLockViolation || windowsError == kDeletePending ||
           windowsError == kUserMappedFile;
}

FailureCause CauseOfWindowsError(std::uint32_t windowsError) {
    using namespace win32;
    if (windowsError == kDiskFull || windowsError == kHandleDiskFull) return FailureCause::DiskFull;
    if (IsFileInUseError(windowsError)) return FailureCause::FileInUse;
    return FailureCause::InstallFailed;
}

Failure WindowsFailure(std::string what, std::uint32_t error, ShownText subject, CodeLocation where) {
    Failure failure;
    failure.cause = CauseOfWindowsError(error);
    failure.what = std::move(what);
    failure.subject = std::move(subject);
    failure.code = error;
    failure.origin = FailureOrigin::Windows;
    failure.windowsError = error;
    failure.where = where;
    return failure;
}

Failure NtStatusFailure(std::string what, std::uint32_t status, std::uint32_t windowsError, ShownText subject,
                        CodeLocation where) {
    Failure failure = WindowsFailure(std::move(what), status, std::move(subject), where);
    failure.origin = FailureOrigin::NtStatus;
    failure.windowsError = windowsError;
    failure.cause = CauseOfWindowsError(windowsError);
    return failure;
}

Failure HResultFailure(std::string what, std::uint32_t result, ShownText subject, CodeLocation where) {
    constexpr std::uint32_t kFacilityWin32 = 7;
    Failure failure = WindowsFailure(std::move(what), result, std::move(subject), where);
    failure.origin = FailureOrigin::HResult;
    failure.windowsError = ((result >> 16) & 0x1FFF) == kFacilityWin32 ? (result & 0xFFFF) : 0;
    failure.cause = CauseOfWindowsError(failure.windowsError);
    return failure;
}

Failure Refusal(std::string what, std::uint32_t toldAs, ShownText subject, CodeLocation where) {
    Failure failure = WindowsFailure(std::move(what), toldAs, std::move(subject), where);
    failure.origin = FailureOrigin::Installer;
    return failure;
}

Failure Finding(FailureCause cause, std::string step, std::string what, ShownText subject,
                CodeLocation where) {
    Failure failure;
    failure.cause = cause;
    failure.step = std::move(step);
    failure.what = std::move(what);
    failure.subject = std::move(subject);
    failure.code = ExitCodeOf(failure);
    failure.windowsError = failure.code;
    failure.where = where;
    return failure;
}

std::string CodePlace(const CodeLocation& where) {
    // The folder and the file, whatever path the compiler was given: every
    // source file of the installer lies one folder below the project's.
    const std::string_view path = where.file ? where.file : "";
    if (path.empty()) return {};
    std::size_t start = path.find_last_of("/\\");
    if (start != std::string_view::npos && start > 0) start = path.find_last_of("/\\", start - 1);
    const std::string_view place = start == std::string_view::npos ? path : path.substr(start + 1);
    return std::string(place) + ":" + std::to_string(where.line);
}

void Raise(Failure failure) { throw FailureRaised(std::move(failure)); }

std::span<const ReturnCode> ReturnCodeTable() { return kReturnCodes; }

std::uint32_t ExitCodeOf(const std::optional<Failure>& failure) {
    if (!failure) return 0;
    const auto row = std::find_if(std::begin(kReturnCodes), std::end(kReturnCodes),
                                  [&](const ReturnCode& code) {
                                      return code.cause == failure->cause || code.alsoCause == failure->cause;
                                  });
    // A cause outside the table (memory gone wrong) is never success.
    return row != std::end(kReturnCodes) ? row->code : 1603;
}

ShownText FailureLogText(const Failure& failure, const ShownText& systemText) {
    const bool refused = failure.origin == FailureOrigin::Installer;
    ShownText line = ProgramText(failure.step) + (refused ? " refused: " : " failed: ") + ProgramText(failure.what);
    if (!failure.subject.Empty()) line += ", path " + failure.subject;
    if (failure.code != 0) line += CodeText(failure, systemText);
    for (std::size_t i = 0; i < failure.holders.size(); ++i) {
        const FileHolder& holder = failure.holders[i];
        line += (i == 0 ? ", held by " : ", ") + UnicodeText(holder.name) + " (process " +
                ProgramText(std::to_string(holder.processId)) + ", session " +
                ProgramText(std::to_string(holder.sessionId)) + ")";
    }
    const std::string place = CodePlace(failure.where);
    if (!place.empty()) line += " [" + ProgramText(place) + "]";
    return line;
}

ShownText HolderNames(const std::vector<FileHolder>& holders) {
    ShownText names;
    for (const FileHolder& holder : holders) {
        if (!names.Empty()) names += ", ";
        names += UnicodeText(holder.name);
    }
    return names;
}

void KeepFirst(std::optional<Failure>& first, const Failure& failure) {
    if (!first) first = failure;
}

}  // namespace kavrel
