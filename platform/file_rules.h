#pragma once
// What a file that an elevated run writes must be, as its handle reports it.
#include <cstdint>

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

}  // namespace kavrel
