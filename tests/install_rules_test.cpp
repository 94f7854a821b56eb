#include "install/install_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(MakeTempName, PutsATildeBeforeTheFileName) {
    EXPECT_EQ(MakeTempName("C:\\App\\zyq.pak"), "C:\\App\\~zyq.pak");
    EXPECT_EQ(MakeTempName("zyq.pak"), "~zyq.pak");
    // The last character is never looked at.
    EXPECT_EQ(MakeTempName("C:\\App\\Data\\"), "C:\\App\\~Data\\");
    EXPECT_EQ(MakeTempName("\\"), "~\\");
    EXPECT_EQ(MakeTempName(""), "~");
    EXPECT_EQ(MakeTempName("\\x"), "\\~x");
}

TEST(FileInUse, CoversTheErrorsOfAFileHeldOpen) {
    for (std::uint32_t error : {5u, 32u, 33u}) EXPECT_TRUE(IsFileInUseError(error));
    // Not found, disk full, path not found: waiting would not help.
    for (std::uint32_t error : {0u, 2u, 3u, 112u, 39u}) EXPECT_FALSE(IsFileInUseError(error));
    EXPECT_GE(kReplaceRetryAttempts * kReplaceRetryIntervalMs, 9000u);
    EXPECT_LE(kReplaceRetryAttempts * kReplaceRetryIntervalMs, 12000u);
}

TEST(SizeInKiB, CountsWholeKiBOfTheFull64BitTotal) {
    EXPECT_EQ(SizeInKiB(3000), 2);
    EXPECT_EQ(SizeInKiB(1023), 0);
    EXPECT_EQ(SizeInKiB(0), 0);
    // 4 GiB and 2 KiB: no wrap to 2.
    EXPECT_EQ(SizeInKiB((4ull << 30) + 2048), 4194306);
    EXPECT_EQ(SizeInKiB(0x1FFFFFFFFFFull), 2147483647);
    EXPECT_EQ(SizeInKiB(~0ull), 2147483647);
}

}  // namespace
}  // namespace kavrel
