#include "install/install_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavrel {
namespace {

TEST(MakeTempName, PutsATildeBeforeTheFileName) {
    EXPECT_EQ(MakeTempName(L"C:\\App\\zyq.pak"), L"C:\\App\\~zyq.pak");
    EXPECT_EQ(MakeTempName(L"zyq.pak"), L"~zyq.pak");
    // The last character is never looked at.
    EXPECT_EQ(MakeTempName(L"C:\\App\\Data\\"), L"C:\\App\\~Data\\");
    EXPECT_EQ(MakeTempName(L"\\"), L"~\\");
    EXPECT_EQ(MakeTempName(L""), L"~");
    EXPECT_EQ(MakeTempName(L"\\x"), L"\\~x");
}

TEST(SizeWalk, OnlyAMissingFolderIsNoFailure) {
    for (std::uint32_t error : {2u, 3u}) EXPECT_TRUE(IsMissingFolderError(error));
    // Access denied, a sharing violation, a folder that is a link: the size cannot be recorded.
    for (std::uint32_t error : {0u, 5u, 32u, 123u, 1920u}) EXPECT_FALSE(IsMissingFolderError(error));
}

TEST(FileInUse, CoversTheErrorsOfAFileHeldOpen) {
    for (std::uint32_t error : {32u, 33u, 303u, 1224u}) {
        EXPECT_TRUE(IsFileInUseError(error));
        EXPECT_TRUE(IsWorthWaiting(error, false));
    }
    // Access denied shows no holder by itself (a folder at the name, the
    // folder's permissions): waited on only while one is shown.
    EXPECT_FALSE(IsFileInUseError(5));
    EXPECT_FALSE(IsWorthWaiting(5, false));
    EXPECT_TRUE(IsWorthWaiting(5, true));
    // Not found, disk full, path not found: waiting would not help, holder or not.
    for (std::uint32_t error : {0u, 2u, 3u, 112u, 39u}) EXPECT_FALSE(IsWorthWaiting(error, true));
    // 100 ms, doubling to 1 s, then every second until 30 s in all have been waited.
    std::vector<std::uint32_t> waits;
    std::uint32_t waited = 0;
    for (std::optional<std::uint32_t> wait = NextHeldFileWait(0, 0); wait; wait = NextHeldFileWait(*wait, waited)) {
        waits.push_back(*wait);
        waited += *wait;
        ASSERT_LT(waits.size(), 100u);
    }
    ASSERT_GE(waits.size(), 6u);
    EXPECT_EQ(std::vector<std::uint32_t>(waits.begin(), waits.begin() + 6),
              (std::vector<std::uint32_t>{100, 200, 400, 800, 1000, 1000}));
    EXPECT_EQ(waited, 30000u);
}

// The held-file wait as its clock sees it: which failures are waited on,
// for how long in all, and what ends it.
TEST(FileInUse, OnlyWindowsInUseErrorsAreWaitedOnFor30Seconds) {
    struct Case {
        Failure failure;
        int failuresBeforeSuccess;  // -1: never succeeds
        bool holderShown;
        bool succeeds;
        std::uint32_t waitedMs;
    };
    const Case cases[] = {
        {WindowsFailure("held", 32, {}), 3, false, true, 100 + 200 + 400},
        {WindowsFailure("held", 5, {}), 1, true, true, 100},
        {WindowsFailure("held", 32, {}), -1, false, false, 30000},
        {WindowsFailure("held", 5, {}), -1, true, false, 30000},
        // Denied with no holder shown: a folder at the name, or the folder's permissions.
        {WindowsFailure("denied", 5, {}), 1, false, false, 0},
        // A refusal of the installer's own is never waited on, whatever code it is told as.
        {Refusal("a folder stands at the name", 5, {}), -1, true, false, 0},
        {WindowsFailure("not found", 3, {}), -1, true, false, 0},
    };
    for (const Case& c : cases) {
        std::uint32_t waited = 0;
        int attempts = 0;
        bool succeeded = false;
        try {
            RetryWhileHeld([&] { if (c.failuresBeforeSuccess < 0 || attempts++ < c.failuresBeforeSuccess) Raise(c.failure); },
                           [&](std::uint32_t ms) { waited += ms; }, [&] { return c.holderShown; });
            succeeded = true;
        } catch (const FailureRaised& raised) {
            EXPECT_EQ(raised.failure().code, c.failure.code);
        }
        EXPECT_EQ(succeeded, c.succeeds) << c.failure.what << " " << c.failure.code;
        EXPECT_EQ(waited, c.waitedMs) << c.failure.what << " " << c.failure.code;
    }
}

TEST(WriteFailures, TheCauseFollowsTheWindowsError) {
    for (std::uint32_t error : {112u, 39u}) EXPECT_EQ(CauseOfWriteError(error, false), FailureCause::DiskFull);
    for (std::uint32_t error : {32u, 33u, 303u, 1224u}) EXPECT_EQ(CauseOfWriteError(error, false), FailureCause::FileInUse);
    EXPECT_EQ(CauseOfWriteError(5, true), FailureCause::FileInUse);
    EXPECT_EQ(CauseOfWriteError(5, false), FailureCause::InstallFailed);
    for (std::uint32_t error : {0u, 2u, 3u, 87u, 1117u}) EXPECT_EQ(CauseOfWriteError(error, true), FailureCause::InstallFailed);
}

TEST(WriteFailures, MegabytesNeededRoundUpAndFreeOnesDown) {
    constexpr std::uint64_t kMiB = 1 << 20;
    EXPECT_EQ(MegabytesNeeded(249191962), 238u);  // 237.6
    EXPECT_EQ(MegabytesNeeded(60 * kMiB), 60u);
    EXPECT_EQ(MegabytesNeeded(60 * kMiB + 1), 61u);
    EXPECT_EQ(MegabytesNeeded(0), 0u);
    EXPECT_EQ(MegabytesFree(4 * kMiB - 1), 3u);
    EXPECT_EQ(MegabytesFree(4 * kMiB), 4u);
    EXPECT_TRUE(HasRoomFor(60 * kMiB, 60 * kMiB));
    EXPECT_FALSE(HasRoomFor(60 * kMiB + 1, 60 * kMiB));
}

TEST(WriteFailures, EveryReasonInBothLanguages) {
    const ShownText none;
    const ShownText errorText = UnicodeText("Недопустимый дескриптор.");
    Failure space = Refusal("not enough free space", 112, {});
    space.cause = FailureCause::DiskFull;
    space.neededBytes = 249191962;
    space.freeBytes = (3u << 20) + 5;
    EXPECT_EQ(WriteFailureReasonText(false, space, none).Bytes(),
              "There is not enough free space on the disk: 238 MB are needed, 3 MB are free.");
    EXPECT_EQ(WriteFailureReasonText(true, space, none),
              ShownText("Недостаточно места на диске: нужно 238 МБ, свободно 3 МБ."));
    Failure held = WindowsFailure("cannot replace the installed file", 32, {});
    held.cause = FailureCause::FileInUse;
    EXPECT_EQ(WriteFailureReasonText(false, held, none).Bytes(),
              "The file is in use by another program. Close it and try again.");
    EXPECT_EQ(WriteFailureReasonText(true, held, none),
              ShownText("Файл занят другой программой. Закройте её и повторите попытку."));
    held.holders = {{"Lexova", 4242, 1}, {"Блокнот", 77, 2}};
    const ShownText holders = UnicodeText("Lexova") + ", " + UnicodeText("Блокнот");
    EXPECT_EQ(WriteFailureReasonText(false, held, none),
              "The file is in use by another program (" + holders + "). Close it and try again.");
    EXPECT_EQ(WriteFailureReasonText(true, held, none),
              "Файл занят другой программой (" + holders + "). Закройте её и повторите попытку.");
    // Denied by Windows, or refused by the installer as denied (a folder at the name).
    for (const Failure& denied : {WindowsFailure("cannot open", 5, {}), Refusal("a folder stands at the name", 5, {})}) {
        EXPECT_EQ(WriteFailureReasonText(false, denied, none).Bytes(), "Access to the folder is denied.");
        EXPECT_EQ(WriteFailureReasonText(true, denied, none), ShownText("Нет доступа к папке."));
    }
    const Failure other = WindowsFailure("write failed", 6, {});
    EXPECT_EQ(WriteFailureReasonText(false, other, errorText), "Windows error 6: " + errorText);
    EXPECT_EQ(WriteFailureReasonText(true, other, errorText), "Ошибка Windows 6: " + errorText);
    // The error text keeps its own origin: it is UTF-8, the rest the program's.
    EXPECT_EQ(WriteFailureReasonText(true, other, errorText).Pieces().back().origin, TextOrigin::Unicode);

    const ShownText target = SystemText("C:\\Lexova\\zyq.pak");
    EXPECT_EQ(InstallFailureText(false, target, "Access to the folder is denied.").Bytes(),
              "Can't install file C:\\Lexova\\zyq.pak\r\n\r\nAccess to the folder is denied.");
    EXPECT_EQ(InstallFailureText(true, target, "Нет доступа к папке."),
              "Не удается установить файл " + target + "\r\n\r\nНет доступа к папке.");
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
