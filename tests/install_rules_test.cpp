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

TEST(FileInUse, AFailureIsJudgedByOneLookAtTheHolders) {
    const HolderLook nobody;
    HolderLook heldAgainstReplace;
    heldAgainstReplace.heldAgainstReplace = true;
    HolderLook named;
    named.holders = {{"Kavrel.exe", 1200, 1}};
    HolderLook aclWithAnUnrelatedHolder = named;
    aclWithAnUnrelatedHolder.lastingRefusal = true;
    struct Case {
        const char* what;
        std::uint32_t error;
        const HolderLook& look;
        bool lookedAgain;
        FailureCause cause;
        HeldVerdict verdict;
    };
    const Case cases[] = {
        {"sharing violation", 32, nobody, false, FailureCause::FileInUse, HeldVerdict::Held},
        {"lock violation", 33, nobody, false, FailureCause::FileInUse, HeldVerdict::Held},
        {"delete pending", 303, nobody, true, FailureCause::FileInUse, HeldVerdict::Held},
        {"mapped file", 1224, nobody, false, FailureCause::FileInUse, HeldVerdict::Held},
        {"denied, held without delete sharing", 5, heldAgainstReplace, false, FailureCause::FileInUse,
         HeldVerdict::Held},
        {"denied, a holder named", 5, named, true, FailureCause::FileInUse, HeldVerdict::Held},
        {"denied by permissions, an unrelated holder", 5, aclWithAnUnrelatedHolder, false, FailureCause::InstallFailed,
         HeldVerdict::Final},
        {"denied, nothing explains it: a second look", 5, nobody, false, FailureCause::InstallFailed,
         HeldVerdict::LookAgain},
        {"denied again after the second look", 5, nobody, true, FailureCause::InstallFailed, HeldVerdict::Final},
        {"disk full", 112, named, false, FailureCause::DiskFull, HeldVerdict::Final},
        {"handle disk full", 39, nobody, false, FailureCause::DiskFull, HeldVerdict::Final},
        {"path not found", 3, heldAgainstReplace, false, FailureCause::InstallFailed, HeldVerdict::Final},
        {"invalid parameter", 87, named, false, FailureCause::InstallFailed, HeldVerdict::Final},
    };
    for (const Case& c : cases) {
        const WriteJudgement judged = JudgeWriteFailure(c.error, c.look, c.lookedAgain);
        EXPECT_EQ(judged.cause, c.cause) << c.what;
        EXPECT_EQ(judged.verdict, c.verdict) << c.what;
        // Where no look was taken, the error alone tells the same cause.
        if (c.error != 5) {
            EXPECT_EQ(CauseOfWindowsError(c.error), c.cause) << c.what;
        }
    }
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

// A clock that only counts: sleeps, tries and looks at the holders take
// the time each case gives them.
struct CountingClock {
    std::uint32_t nowMs = 0xFFFFF000;  // wraps during the run
    std::uint32_t sleptMs = 0;
    WaitClock Clock() {
        return {[this](std::uint32_t ms) { nowMs += ms, sleptMs += ms; }, [this] { return nowMs; }};
    }
};

// The held-file wait as its clock sees it: which failures are waited on,
// for how long in all, what the failure says when it ends.
TEST(FileInUse, OneBudgetOf30SecondsWithTheLooksAndTriesCounted) {
    struct Case {
        const char* what;
        Failure failure;
        int failuresBeforeSuccess;  // -1: never succeeds
        HolderLook look;
        std::uint32_t tryMs;  // what a try and a look take on the clock
        bool succeeds;
        std::uint32_t sleptMs;
        FailureCause cause;
    };
    HolderLook named;
    named.holders = {{"scanner.exe", 4, 0}};
    HolderLook acl = named;
    acl.lastingRefusal = true;
    const Case cases[] = {
        {"held, then let go", WindowsFailure("held", 32, {}), 3, {}, 0, true, 100 + 200 + 400, FailureCause::FileInUse},
        {"held past the budget", WindowsFailure("held", 32, {}), -1, named, 0, false, 30000, FailureCause::FileInUse},
        // Slow tries and looks spend the budget as the sleeps do.
        {"held, slow looks", WindowsFailure("held", 32, {}), -1, named, 500, false, 19500, FailureCause::FileInUse},
        // A scanner that let go before the look: one second look, then installed.
        {"refused, then let go", WindowsFailure("denied", 5, {}), 1, {}, 0, true, kSecondLookMs,
         FailureCause::InstallFailed},
        {"refused, nothing explains it", WindowsFailure("denied", 5, {}), -1, {}, 0, false, kSecondLookMs,
         FailureCause::InstallFailed},
        {"refused by permissions while another program has it open", WindowsFailure("denied", 5, {}), -1, acl, 0,
         false, 0, FailureCause::InstallFailed},
        {"refused, a holder named", WindowsFailure("denied", 5, {}), -1, named, 0, false, 30000,
         FailureCause::FileInUse},
        // A refusal of the installer's own is never waited on, whatever code it is told as.
        {"the installer's refusal", Refusal("a folder stands at the name", 5, {}), -1, named, 0, false, 0,
         FailureCause::InstallFailed},
        {"not found", WindowsFailure("not found", 3, {}), -1, named, 0, false, 0, FailureCause::InstallFailed},
    };
    for (const Case& c : cases) {
        CountingClock counting;
        HeldFileBudget budget(counting.Clock());
        int attempts = 0;
        bool succeeded = false;
        try {
            RetryWhileHeld(
                [&] {
                    counting.nowMs += c.tryMs / 2;
                    if (c.failuresBeforeSuccess < 0 || attempts++ < c.failuresBeforeSuccess) Raise(c.failure);
                },
                budget, [&] { counting.nowMs += c.tryMs / 2; return c.look; });
            succeeded = true;
        } catch (const FailureRaised& raised) {
            EXPECT_EQ(raised.failure().code, c.failure.code) << c.what;
            EXPECT_EQ(raised.failure().cause, c.cause) << c.what;
            EXPECT_EQ(raised.failure().holders.size(), c.cause == FailureCause::FileInUse ? c.look.holders.size() : 0u)
                << c.what;
        }
        EXPECT_EQ(succeeded, c.succeeds) << c.what;
        EXPECT_EQ(counting.sleptMs, c.sleptMs) << c.what;
    }
}

// The stale temporary file, its create and the replace wait on one budget.
TEST(FileInUse, TheStepsOfAWriteShareOneBudget) {
    CountingClock counting;
    HeldFileBudget budget(counting.Clock());
    const auto nobody = [] { return HolderLook{}; };
    int staleTries = 0;
    RetryWhileHeld([&] { if (staleTries++ < 11) Raise(WindowsFailure("stale", 32, {})); }, budget, nobody);
    const std::uint32_t afterStale = budget.SpentMs();
    EXPECT_EQ(afterStale, 100u + 200 + 400 + 800 + 7 * 1000);
    // Writing between the steps spends nothing.
    counting.nowMs += 60000;
    EXPECT_THROW(RetryWhileHeld([&] { Raise(WindowsFailure("held", 32, {})); }, budget, nobody), FailureRaised);
    EXPECT_EQ(budget.SpentMs(), 30000u);
    EXPECT_EQ(counting.sleptMs, 30000u);
}

TEST(WriteFailures, UnavailableFileRequestsAreToldFromHeldOrRefusedFiles) {
    // Not here: the older class or flags are taken.
    for (std::uint32_t status : {0xC0000002u, 0xC0000003u, 0xC000000Du, 0xC0000010u, 0xC00000BBu})
        EXPECT_TRUE(IsUnavailableFileRequest(status)) << std::hex << status;
    // Held, refused, or done: the answer stands.
    for (std::uint32_t status : {0x0u, 0xC0000043u, 0xC0000022u, 0xC0000056u, 0xC0000054u, 0xC0000121u, 0xC0000243u,
                                 0xC0000035u, 0xC000007Fu})
        EXPECT_FALSE(IsUnavailableFileRequest(status)) << std::hex << status;
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
