#pragma once
// What a file that an elevated run writes must be, as its handle reports it,
// and what the system's answers to the file calls mean.
#include <cstdint>

#include "base/windows_codes.h"

namespace kavrel {

// True for a file that the installer may write, as the handle it created or
// opened reports it: neither a folder nor a reparse point (symbolic link,
// junction, mount point), and no second name anywhere (one hard link), so
// that no byte lands outside its folder through it.
constexpr bool IsPlainFileWithOneName(std::uint32_t attributes, std::uint32_t linkCount) {
    constexpr std::uint32_t kDirectoryAttribute = 0x10;
    constexpr std::uint32_t kReparsePointAttribute = 0x400;
    return (attributes & (kDirectoryAttribute | kReparsePointAttribute)) == 0 && linkCount == 1;
}

// True for an NTSTATUS that says an information class or one of its flags is
// not available here, so that the older form of the request is to be taken:
// systems before the rename and disposition classes of Windows 10 1709 and
// 1809 (1607 and Server 2016 answer "invalid device request"), file systems
// other than NTFS, Wine before 10. Never one that says the file is held or
// refused (sharing violation, access denied, delete pending, lock
// conflict): the older form would meet the same, or do what the newer one
// was told not to.
constexpr bool IsUnavailableFileRequest(std::uint32_t status) {
    using namespace ntstatus;
    return status == kNotImplemented || status == kInvalidInfoClass || status == kInvalidParameter ||
           status == kInvalidDeviceRequest || status == kNotSupported;
}

}  // namespace kavrel
