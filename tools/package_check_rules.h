#pragma once
// Decisions of the build about a package file before an installer embeds it,
// as plain functions: a wrong path in a release script must stop the build,
// not ship an installer that writes garbage over every user's package.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// The header: four bytes naming the package, two not read, two of version.
constexpr std::uint64_t kPackageHeaderBytes = 8;

// The largest package an installer may carry. The 32-bit installer maps its
// own file, payload included, and a copy of the package goes through memory
// as it is written: 1 GiB leaves room in the 2 to 4 GiB of address space.
constexpr std::uint64_t kLargestPackageBytes = 1ull << 30;

// The first four bytes of a package under a base name: its first three
// letters padded with zero bytes ("zyq" and a zero byte).
std::string PackageMagic(std::string_view baseName);

// What the build found in a package file that it could open and read.
struct PackageFileFacts {
    std::uint64_t size = 0;
    // The file's first bytes: all of them, at most kPackageHeaderBytes.
    std::string head;
};

// The build's decision: the version the header records, or the one sentence
// that says why the file is refused (naming the file and what was found).
struct PackageVerdict {
    bool accepted = false;
    std::uint16_t version = 0;
    std::string problem;
};

// Checks a package file for the base name; a version given to the build must
// equal the header's, one not given is taken from the header.
PackageVerdict CheckPackageFile(std::string_view path, const PackageFileFacts& facts, std::string_view baseName,
                                std::optional<std::uint64_t> givenVersion);

// The refusal of a file that cannot be opened or read, with the system's reason.
std::string UnreadablePackageProblem(std::string_view path, std::string_view reason);

// Bytes as a person can compare them: hexadecimal pairs, then the printable
// ones in quotes ("4D 5A 90 00 ("MZ..")").
std::string DescribeBytes(std::string_view bytes);

// A byte count with thousands grouped: "249,191,962".
std::string GroupedNumber(std::uint64_t value);

// How a package is split between the two resources: the first holds up to
// `split` bytes, the second the rest, possibly nothing.
struct PackageParts {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
};
PackageParts SplitPackage(std::uint64_t size, std::uint64_t split);

}  // namespace kavrel
