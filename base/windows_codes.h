#pragma once
// The Windows codes the installer names, once: the Win32 errors its rules
// read and the NTSTATUS values of the native file calls. The rules are plain
// functions tested without Windows, so the values are written out here
// rather than taken from the system's headers.
#include <cstdint>

namespace kavrel {

// Win32 errors (GetLastError's kind).
namespace win32 {
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidData = 13;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kHandleDiskFull = 39;
constexpr std::uint32_t kDiskFull = 112;
constexpr std::uint32_t kAlreadyExists = 183;
constexpr std::uint32_t kDeletePending = 303;
constexpr std::uint32_t kUserMappedFile = 1224;
constexpr std::uint32_t kFileCorrupt = 1392;
}  // namespace win32

// NTSTATUS values of the system's native calls.
namespace ntstatus {
constexpr std::uint32_t kNoMoreFiles = 0x80000006;
constexpr std::uint32_t kNotImplemented = 0xC0000002;
constexpr std::uint32_t kInvalidInfoClass = 0xC0000003;
constexpr std::uint32_t kInvalidParameter = 0xC000000D;
constexpr std::uint32_t kInvalidDeviceRequest = 0xC0000010;
constexpr std::uint32_t kAccessDenied = 0xC0000022;
constexpr std::uint32_t kObjectNameNotFound = 0xC0000034;
constexpr std::uint32_t kSharingViolation = 0xC0000043;
constexpr std::uint32_t kFileLockConflict = 0xC0000054;
constexpr std::uint32_t kDeletePending = 0xC0000056;
constexpr std::uint32_t kFileIsADirectory = 0xC00000BA;
constexpr std::uint32_t kNotSupported = 0xC00000BB;
}  // namespace ntstatus

}  // namespace kavrel
