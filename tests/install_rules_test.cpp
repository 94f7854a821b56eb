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

TEST(FolderPaths, KeepTheRootsBackslashOnly) {
    EXPECT_EQ(FolderToOpen("C:\\Program Files\\Lexova\\"), "C:\\Program Files\\Lexova");
    EXPECT_EQ(FolderToOpen("C:\\Lexova\\\\"), "C:\\Lexova");
    EXPECT_EQ(FolderToOpen("C:\\Lexova"), "C:\\Lexova");
    EXPECT_EQ(FolderToOpen("C:\\"), "C:\\");
    EXPECT_EQ(FolderToOpen("C:"), "C:");
    EXPECT_EQ(FolderToOpen("\\\\server\\share\\Lexova\\"), "\\\\server\\share\\Lexova");
    EXPECT_EQ(FolderToOpen(""), "");

    const FilePathParts inFolder = SplitFilePath("C:\\Lexova\\zyq.pak");
    EXPECT_EQ(inFolder.folder, "C:\\Lexova");
    EXPECT_EQ(inFolder.name, "zyq.pak");
    const FilePathParts atRoot = SplitFilePath("D:\\zyq.pak");
    EXPECT_EQ(atRoot.folder, "D:\\");
    EXPECT_EQ(atRoot.name, "zyq.pak");
    const FilePathParts bare = SplitFilePath("zyq.pak");
    EXPECT_EQ(bare.folder, "");
    EXPECT_EQ(bare.name, "zyq.pak");
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
    EXPECT_TRUE(IsFolderToDescend(0x10, u"data"));
    EXPECT_TRUE(IsFolderToDescend(0x16, u".hidden"));  // hidden, system
    EXPECT_TRUE(IsFolderToDescend(0x10, u"..."));
    // Fullwidth full stops: a name of its own, not the parent.
    EXPECT_TRUE(IsFolderToDescend(0x10, u"\uFF0E\uFF0E"));
    EXPECT_TRUE(IsFolderToDescend(0x10, std::u16string_view(u".\0.", 3)));
    EXPECT_FALSE(IsFolderToDescend(0x410, u"data"));  // junction, symbolic link, mount point
    EXPECT_FALSE(IsFolderToDescend(0x20, u"data"));
    EXPECT_FALSE(IsFolderToDescend(0x10, u"."));
    EXPECT_FALSE(IsFolderToDescend(0x10, u".."));
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
