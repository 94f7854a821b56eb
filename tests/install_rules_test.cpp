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

TEST(IsPlainFileWithOneName, RefusesFoldersLinksAndSecondNames) {
    EXPECT_TRUE(IsPlainFileWithOneName(0x80, 1));  // normal
    EXPECT_TRUE(IsPlainFileWithOneName(0x20, 1));  // archive
    EXPECT_TRUE(IsPlainFileWithOneName(0x120, 1));  // archive, temporary
    EXPECT_FALSE(IsPlainFileWithOneName(0x20, 2));  // a hard link elsewhere
    EXPECT_FALSE(IsPlainFileWithOneName(0x20, 0));
    EXPECT_FALSE(IsPlainFileWithOneName(0x420, 1));  // a symbolic link
    EXPECT_FALSE(IsPlainFileWithOneName(0x10, 1));  // a folder
    EXPECT_FALSE(IsPlainFileWithOneName(0x410, 1));  // a junction
}

TEST(IsFolderToDescend, SkipsLinksAndTheDotEntries) {
    EXPECT_TRUE(IsFolderToDescend(0x10, "data"));
    EXPECT_TRUE(IsFolderToDescend(0x16, ".hidden"));  // hidden, system
    EXPECT_TRUE(IsFolderToDescend(0x10, "..."));
    EXPECT_FALSE(IsFolderToDescend(0x410, "data"));  // junction, symbolic link, mount point
    EXPECT_FALSE(IsFolderToDescend(0x20, "data"));
    EXPECT_FALSE(IsFolderToDescend(0x10, "."));
    EXPECT_FALSE(IsFolderToDescend(0x10, ".."));
}

TEST(FolderIdentity, TellsFoldersApartBySerialAndIndex) {
    const FolderIdentity folder{0x43000000u, 0x5268e5u};
    EXPECT_EQ(folder, (FolderIdentity{0x43000000u, 0x5268e5u}));
    EXPECT_NE(folder, (FolderIdentity{0x5a000000u, 0x5268e5u}));
    EXPECT_NE(folder, (FolderIdentity{0x43000000u, 0x1000005268e5u}));
    EXPECT_LT(folder, (FolderIdentity{0x43000000u, 0x5268e6u}));
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
