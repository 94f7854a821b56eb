#include "tools/package_check_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel {
namespace {

using namespace std::string_literals;

const std::string kHeader6670 = "zyq\0\x22\x02\x0E\x1A"s;  // version 0x1A0E = 6670

PackageVerdict Check(std::uint64_t size, const std::string& head, std::optional<std::uint64_t> given = {},
                     std::string_view baseName = "zyq") {
    return CheckPackageFile("/releases/zyq.pak", {size, head}, baseName, given);
}

TEST(PackageCheck, TakesTheVersionFromTheHeaderWhenNoneIsGiven) {
    PackageVerdict verdict = Check(249191962, kHeader6670);
    EXPECT_TRUE(verdict.accepted) << verdict.problem;
    EXPECT_EQ(verdict.version, 6670);
    EXPECT_EQ(Check(8, "zyq\0\x22\x02\x04\x1A"s).version, 6660);
    // Both bytes count: 0xFFFF, and the high byte alone.
    EXPECT_EQ(Check(8, "zyq\0\0\0\xFF\xFF"s).version, 65535);
    EXPECT_EQ(Check(8, "zyq\0\0\0\0\x01"s).version, 256);
}

TEST(PackageCheck, AGivenVersionMustBeTheHeaders) {
    EXPECT_TRUE(Check(1000, kHeader6670, 6670).accepted);
    PackageVerdict verdict = Check(1000, kHeader6670, 6660);
    EXPECT_FALSE(verdict.accepted);
    EXPECT_EQ(verdict.problem,
              "the package file /releases/zyq.pak records version 6670 in its header, but the build was given "
              "version 6660 (KAVREL_PACKAGE_VERSION; leave it empty to take the header's)");
    // A number beyond 16 bits never matches by wrapping round.
    EXPECT_FALSE(Check(1000, kHeader6670, 6670 + 65536).accepted);
}

TEST(PackageCheck, RefusesWhatIsShorterThanTheHeader) {
    PackageVerdict empty = Check(0, "");
    EXPECT_FALSE(empty.accepted);
    EXPECT_EQ(empty.problem, "the package file /releases/zyq.pak is 0 bytes long, shorter than the 8-byte package header");
    EXPECT_FALSE(Check(7, "zyq\0\x22\x02\x04"s).accepted);
    // A file that shrank between its size and its reading.
    EXPECT_FALSE(Check(100, "zyq\0"s).accepted);
}

TEST(PackageCheck, RefusesWhatDoesNotBeginWithTheBaseNameAndAZeroByte) {
    PackageVerdict program = Check(1000, "MZ\x90\0\x03\0\0\0"s);
    EXPECT_FALSE(program.accepted);
    EXPECT_EQ(program.problem,
              "the package file /releases/zyq.pak is not a \"zyq\" package: it begins with 4D 5A 90 00 (\"MZ..\"), "
              "not 7A 79 71 00 (\"zyq.\")");
    EXPECT_FALSE(Check(1000, "ZYQ\0\x22\x02\x04\x1A"s).accepted) << "the letters are the base name's, lower case";
    EXPECT_FALSE(Check(1000, "zyqx\x22\x02\x04\x1A"s).accepted) << "the fourth byte is zero";
    EXPECT_FALSE(Check(1000, "voc\0\x22\x02\x04\x1A"s).accepted);
    EXPECT_TRUE(Check(1000, "voc\0\x22\x02\x05\0"s, {}, "voc").accepted);
}

TEST(PackageCheck, RefusesMoreThanOneGiB) {
    EXPECT_TRUE(Check(kLargestPackageBytes, kHeader6670).accepted);
    PackageVerdict verdict = Check(kLargestPackageBytes + 1, kHeader6670);
    EXPECT_FALSE(verdict.accepted);
    EXPECT_EQ(verdict.problem,
              "the package file /releases/zyq.pak is 1,073,741,825 bytes, larger than 1 GiB (1,073,741,824 bytes), "
              "which a 32-bit installer cannot map with room to spare");
    EXPECT_FALSE(Check(~0ull, kHeader6670).accepted);
}

TEST(PackageCheck, NamesTheFileThatCannotBeRead) {
    EXPECT_EQ(UnreadablePackageProblem("/releases/zyq.pak", "No such file or directory"),
              "cannot read the package file /releases/zyq.pak: No such file or directory");
}

TEST(PackageCheck, MagicAndNumbersAsTheMessagesShowThem) {
    EXPECT_EQ(PackageMagic("zyq"), "zyq\0"s);
    EXPECT_EQ(PackageMagic("ab"), "ab\0\0"s);
    EXPECT_EQ(PackageMagic("long"), "lon\0"s);
    EXPECT_EQ(DescribeBytes(""), " (\"\")");
    EXPECT_EQ(DescribeBytes("\x7F\xFF a"s), "7F FF 20 61 (\".. a\")");
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(249191962), "249,191,962");
    EXPECT_EQ(GroupedNumber(18446744073709551615ull), "18,446,744,073,709,551,615");
}

TEST(PackageSplit, TheFirstPartTakesUpToTheSplitAndTheSecondTheRest) {
    EXPECT_EQ(SplitPackage(249191962, 106444448).first, 106444448u);
    EXPECT_EQ(SplitPackage(249191962, 106444448).second, 142747514u);
    // Smaller than the first part: all of it there, the second empty.
    EXPECT_EQ(SplitPackage(70000, 106444448).first, 70000u);
    EXPECT_EQ(SplitPackage(70000, 106444448).second, 0u);
    EXPECT_EQ(SplitPackage(106444448, 106444448).second, 0u);
    EXPECT_EQ(SplitPackage(0, 106444448).first, 0u);
    EXPECT_EQ(SplitPackage(300000, 0).second, 300000u);
}

}  // namespace
}  // namespace kavrel
