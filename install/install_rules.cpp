#include "install/install_rules.h"

#include <algorithm>
#include <limits>

namespace kavrel {

namespace {
using win32::kAccessDenied;
constexpr std::uint64_t kMegabyte = 1u << 20;
constexpr std::uint32_t kDirectoryAttribute = 0x10;
constexpr std::uint32_t kReparsePointAttribute = 0x400;
}  // namespace

std::wstring MakeTempName(std::wstring_view path) {
    std::wstring result(path);
    // The last character is never looked at: a path ending in a backslash
    // gets the "~" before its last folder name.
    for (std::size_t i = result.size() > 1 ? result.size() - 1 : 0; i-- > 0;) {
        if (result[i] == L'\\') {
            result.insert(i + 1, 1, L'~');
            return result;
        }
    }
    result.insert(0, 1, L'~');
    return result;
}


std::optional<std::uint32_t> NextHeldFileWait(std::uint32_t lastWaitMs, std::uint32_t waitedMs) {
    constexpr std::uint32_t kFirstWaitMs = 100;
    constexpr std::uint32_t kLongestWaitMs = 1000;
    if (waitedMs >= kHeldFileWaitLimitMs) return std::nullopt;
    const std::uint32_t next = lastWaitMs == 0 ? kFirstWaitMs : std::min(lastWaitMs * 2, kLongestWaitMs);
    return std::min(next, kHeldFileWaitLimitMs - waitedMs);
}

WriteJudgement JudgeWriteFailure(std::uint32_t error, const HolderLook& look, bool lookedAgain) {
    const FailureCause cause = CauseOfWindowsError(error);
    if (cause == FailureCause::FileInUse) return {cause, HeldVerdict::Held};
    if (error != kAccessDenied) return {cause, HeldVerdict::Final};
    // Permissions that refuse the replace stay, whoever holds the file.
    if (look.lastingRefusal) return {FailureCause::InstallFailed, HeldVerdict::Final};
    if (look.heldAgainstReplace || !look.holders.empty()) return {FailureCause::FileInUse, HeldVerdict::Held};
    return {FailureCause::InstallFailed, lookedAgain ? HeldVerdict::Final : HeldVerdict::LookAgain};
}


bool HasRoomFor(std::uint64_t neededBytes, std::uint64_t freeBytes) { return neededBytes <= freeBytes; }

std::uint64_t MegabytesNeeded(std::uint64_t bytes) { return bytes / kMegabyte + (bytes % kMegabyte != 0 ? 1 : 0); }

std::uint64_t MegabytesFree(std::uint64_t bytes) { return bytes / kMegabyte; }

ShownText WriteFailureReasonText(bool russian, const Failure& failure, const ShownText& errorText) {
    if (failure.cause == FailureCause::DiskFull) {
        const ShownText needed = ProgramText(std::to_string(MegabytesNeeded(failure.neededBytes)));
        const ShownText free = ProgramText(std::to_string(MegabytesFree(failure.freeBytes)));
        if (russian) return "Недостаточно места на диске: нужно " + needed + " МБ, свободно " + free + " МБ.";
        return "There is not enough free space on the disk: " + needed + " MB are needed, " + free + " MB are free.";
    }
    if (failure.cause == FailureCause::FileInUse) {
        const ShownText holders = HolderNames(failure.holders);
        if (holders.Empty())
            return russian ? ShownText("Файл занят другой программой. Закройте её и повторите попытку.")
                           : ShownText("The file is in use by another program. Close it and try again.");
        if (russian) return "Файл занят другой программой (" + holders + "). Закройте её и повторите попытку.";
        return "The file is in use by another program (" + holders + "). Close it and try again.";
    }
    if (failure.windowsError == kAccessDenied)
        return russian ? ShownText("Нет доступа к папке.") : ShownText("Access to the folder is denied.");
    const ShownText number = ProgramText(std::to_string(failure.windowsError));
    return (russian ? "Ошибка Windows " : "Windows error ") + number + ": " + errorText;
}

ShownText InstallFailureText(bool russian, const ShownText& target, const ShownText& reason) {
    return (russian ? "Не удается установить файл " : "Can't install file ") + target + "\r\n\r\n" + reason;
}

bool IsFolderToDescend(std::uint32_t attributes, std::u16string_view name) {
    return (attributes & kDirectoryAttribute) != 0 && (attributes & kReparsePointAttribute) == 0 && name != u"." &&
           name != u"..";
}

bool IsMissingFolderError(std::uint32_t error) {
    return error == win32::kFileNotFound || error == win32::kPathNotFound;
}

std::int32_t SizeInKiB(std::uint64_t totalBytes) {
    const std::uint64_t kib = totalBytes >> 10;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(kib > kMax ? kMax : kib);
}

}  // namespace kavrel
