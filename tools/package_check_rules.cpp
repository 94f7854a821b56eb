#include "tools/package_check_rules.h"

#include <algorithm>
#include <cstdio>

namespace kavrel {

std::string PackageMagic(std::string_view baseName) {
    std::string magic(4, '\0');
    std::copy_n(baseName.begin(), std::min<std::size_t>(3, baseName.size()), magic.begin());
    return magic;
}

std::string GroupedNumber(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string DescribeBytes(std::string_view bytes) {
    std::string hex, text;
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", c);
        if (!hex.empty()) hex += ' ';
        hex += pair;
        text += (c >= 0x20 && c < 0x7F) ? byte : '.';
    }
    return hex + " (\"" + text + "\")";
}

std::string UnreadablePackageProblem(std::string_view path, std::string_view reason) {
    return "cannot read the package file " + std::string(path) + ": " + std::string(reason);
}

PackageVerdict CheckPackageFile(std::string_view path, const PackageFileFacts& facts, std::string_view baseName,
                                std::optional<std::uint64_t> givenVersion) {
    const std::string file = "the package file " + std::string(path);
    PackageVerdict verdict;
    if (facts.size < kPackageHeaderBytes || facts.head.size() < kPackageHeaderBytes) {
        verdict.problem = file + " is " + GroupedNumber(facts.size) + " bytes long, shorter than the " +
                          std::to_string(kPackageHeaderBytes) + "-byte package header";
        return verdict;
    }
    if (facts.size > kLargestPackageBytes) {
        verdict.problem = file + " is " + GroupedNumber(facts.size) + " bytes, larger than 1 GiB (" +
                          GroupedNumber(kLargestPackageBytes) +
                          " bytes), which a 32-bit installer cannot map with room to spare";
        return verdict;
    }
    const std::string magic = PackageMagic(baseName);
    if (facts.head.compare(0, magic.size(), magic) != 0) {
        verdict.problem = file + " is not a \"" + std::string(baseName) + "\" package: it begins with " +
                          DescribeBytes(facts.head.substr(0, magic.size())) + ", not " + DescribeBytes(magic);
        return verdict;
    }
    const auto version = static_cast<std::uint16_t>(static_cast<unsigned char>(facts.head[6]) |
                                                    static_cast<unsigned>(static_cast<unsigned char>(facts.head[7])) << 8);
    if (givenVersion && *givenVersion != version) {
        verdict.problem = file + " records version " + std::to_string(version) +
                          " in its header, but the build was given version " + std::to_string(*givenVersion) +
                          " (KAVREL_PACKAGE_VERSION; leave it empty to take the header's)";
        return verdict;
    }
    verdict.accepted = true;
    verdict.version = version;
    return verdict;
}

PackageParts SplitPackage(std::uint64_t size, std::uint64_t split) {
    const std::uint64_t first = std::min(size, split);
    return {first, size - first};
}

}  // namespace kavrel
