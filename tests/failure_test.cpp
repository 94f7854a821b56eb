#include "base/failure.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tools/return_code_table.h"

namespace kavrel {
namespace {

// The code a deployment tool sees for each cause: Windows Installer's codes
// where it has one, and each code's system text says the cause.
TEST(ReturnCodes, EachCauseHasItsOwnWindowsCode) {
    const struct {
        FailureCause cause;
        std::uint32_t code;
    } cases[] = {
        {FailureCause::Declined, 1602},           {FailureCause::AnotherCopyRunning, 1618},
        {FailureCause::NotInstalled, 1605},       {FailureCause::NotAdministrator, 740},
        {FailureCause::RegistryUnreadable, 1012}, {FailureCause::InstallerDamaged, 1620},
        {FailureCause::NobodyToAnswer, 1639},     {FailureCause::DiskFull, 112},
        {FailureCause::FileInUse, 32},            {FailureCause::InstallFailed, 1603},
    };
    EXPECT_EQ(ExitCodeOf(std::nullopt), 0u);
    std::set<std::uint32_t> codes{0};
    for (const auto& c : cases) {
        Failure failure;
        failure.cause = c.cause;
        EXPECT_EQ(ExitCodeOf(failure), c.code) << static_cast<int>(c.cause);
        EXPECT_TRUE(codes.insert(c.code).second) << c.code;
    }
    // Every row of the table, success first, and no row without a cause but success.
    ASSERT_EQ(ReturnCodeTable().size(), std::size(cases) + 1);
    EXPECT_EQ(ReturnCodeTable()[0].code, 0u);
    EXPECT_FALSE(ReturnCodeTable()[0].cause);
    for (const ReturnCode& row : ReturnCodeTable().subspan(1)) {
        ASSERT_TRUE(row.cause);
        Failure failure;
        failure.cause = *row.cause;
        EXPECT_EQ(ExitCodeOf(failure), row.code);
    }
    // A stopped step is the person's choice, told as a declined confirmation is.
    Failure cancelled;
    cancelled.cause = FailureCause::Cancelled;
    EXPECT_EQ(ExitCodeOf(cancelled), 1602u);
    // A cause outside the enumeration (memory gone wrong) is never success.
    Failure unknown;
    unknown.cause = static_cast<FailureCause>(99);
    EXPECT_EQ(ExitCodeOf(unknown), 1603u);
}

TEST(ReturnCodes, OnlyAnotherCopyAndAFileInUseAreRetriedByTheTools) {
    for (const ReturnCode& row : ReturnCodeTable()) {
        const bool retried = row.code == 1618 || row.code == 32;
        EXPECT_EQ(std::string(row.intune), row.code == 0 ? "Success" : retried ? "Retry" : "Failed") << row.code;
        EXPECT_EQ(std::string(row.configMgr), row.code == 0 ? "Success" : retried ? "Fast Retry" : "Failure")
            << row.code;
    }
}

TEST(FailureLog, SaysWhoGaveTheCodeWhereAndNeverAnErrorThatWindowsDidNotGive) {
    const ShownText path = UnicodeText("C:\\Лексова\\zyq.pak");
    const ShownText text = UnicodeText("The process cannot access the file.");
    const std::uint_least32_t line = CodeLocation::Here().line + 1;
    Failure failure = WindowsFailure("cannot replace the installed file", 32, path);
    failure.step = "write";
    const ShownText written = "write failed: cannot replace the installed file, path " + path;
    // The place that made the record, for a support engineer to go to.
    EXPECT_EQ(FailureLogText(failure, text),
              written + ", Windows error 32: " + text + " [tests/failure_test.cpp:" + ProgramText(std::to_string(line)) + "]");
    failure.where = {};
    EXPECT_EQ(FailureLogText(failure, text), written + ", Windows error 32: " + text);
    // An NTSTATUS as the native call gave it, with the Win32 error it means.
    Failure native = NtStatusFailure("cannot replace the installed file", 0xC0000043, 32, path, {});
    native.step = "write";
    EXPECT_EQ(native.windowsError, 32u);
    EXPECT_EQ(FailureLogText(native, text), written + ", NTSTATUS 0xC0000043 (Windows error 32: " + text + ")");
    // An HRESULT that wraps a Win32 error says it; one that wraps none does not.
    Failure com = HResultFailure("cannot replace the installed file", 0x80070020, path, {});
    com.step = "write";
    EXPECT_EQ(com.windowsError, 32u);
    EXPECT_EQ(FailureLogText(com, {}), written + ", HRESULT 0x80070020 (Windows error 32)");
    com = HResultFailure("cannot replace the installed file", 0x80004005, path, {});
    com.step = "write";
    EXPECT_EQ(com.windowsError, 0u);
    EXPECT_EQ(FailureLogText(com, UnicodeText("Unspecified error")), written + ", HRESULT 0x80004005");
    // A link in the folder's place: refused, told to the person as denied,
    // but logged without any Windows error.
    Failure refused = Refusal("no plain folder", 5, path, {});
    refused.step = "EstimatedSize";
    EXPECT_EQ(FailureLogText(refused, text), "EstimatedSize refused: no plain folder, path " + path);
    // Every holder, in whatever session, with its process.
    failure.holders = {{"Lexova", 4242, 1}, {"Блокнот", 77, 2}};
    EXPECT_EQ(FailureLogText(failure, {}),
              written + ", Windows error 32, held by " + UnicodeText("Lexova") + " (process 4242, session 1), " +
                  UnicodeText("Блокнот") + " (process 77, session 2)");
    EXPECT_EQ(CodePlace(CodeLocation()), "");
    // No path, no code: the step and what failed alone.
    Failure plain = WindowsFailure("the mutex was refused", 0, {}, {});
    plain.step = "one-installer lock";
    EXPECT_EQ(FailureLogText(plain, {}).Bytes(), "one-installer lock failed: the mutex was refused");
}

TEST(FailureRecord, TheFirstFailureOfARunDecidesItsCode) {
    std::optional<Failure> first;
    // Each record starts with the cause its Windows error tells, whoever gave it.
    EXPECT_EQ(NtStatusFailure("", 0xC0000043, 32, {}).cause, FailureCause::FileInUse);
    EXPECT_EQ(HResultFailure("", 0x80070070, {}).cause, FailureCause::DiskFull);
    EXPECT_EQ(Refusal("not enough free space", 112, {}).cause, FailureCause::DiskFull);
    EXPECT_EQ(WindowsFailure("", 5, {}).cause, FailureCause::InstallFailed);
    KeepFirst(first, WindowsFailure("cannot replace the installed file", 32, {}));
    KeepFirst(first, Finding(FailureCause::Declined, "retry", "cancelled"));
    KeepFirst(first, WindowsFailure("Failed to set data for 'EstimatedSize'", 5, {}));
    EXPECT_EQ(ExitCodeOf(first), 32u);
    // A finding carries its cause's code and is the installer's own word.
    const Failure declined = Finding(FailureCause::Declined, "confirmation", "declined by the user", {}, {});
    EXPECT_EQ(declined.code, 1602u);
    EXPECT_EQ(declined.origin, FailureOrigin::Installer);
    EXPECT_EQ(FailureLogText(declined, {}).Bytes(), "confirmation refused: declined by the user");
}

// The README says the codes the installer ends with, as the table has them.
TEST(ReturnCodes, TheReadmeGivesTheTable) {
    std::ifstream readme(KAVREL_SOURCE_DIR "/README.md");
    std::stringstream text;
    text << readme.rdbuf();
    EXPECT_NE(text.str().find(ReturnCodeMarkdownTable()), std::string::npos) << ReturnCodeMarkdownTable();
    EXPECT_NE(WingetExpectedReturnCodes().find("- InstallerReturnCode: 112\n  ReturnResponse: diskFull\n"),
              std::string::npos);
    EXPECT_EQ(WingetExpectedReturnCodes().find("InstallerReturnCode: 740"), std::string::npos);
}

// The deployment kit's rows: every code of the table, in its order, with the
// type each tool's interface spells (Graph's win32LobAppReturnCodeType, the
// Configuration Manager cmdlets' ExitCodeClass).
TEST(ReturnCodes, TheKitRowsNameEachTypeAsItsToolSpellsIt) {
    std::istringstream lines(KitReturnCodes());
    std::string line;
    std::size_t index = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(index, ReturnCodeTable().size()) << line;
        const ReturnCode& row = ReturnCodeTable()[index++];
        const bool retried = row.code == 1618 || row.code == 32;
        const std::string intune = row.code == 0 ? "success" : retried ? "retry" : "failed";
        const std::string configMgr = row.code == 0 ? "Success" : retried ? "FastRetry" : "Failure";
        EXPECT_EQ(line, std::to_string(row.code) + "\t" + intune + "\t" + configMgr + "\t" + row.name + "\t" +
                            row.meaning);
        EXPECT_EQ(std::string(row.meaning).find('\t'), std::string::npos) << row.code;
    }
    EXPECT_EQ(index, ReturnCodeTable().size());
    EXPECT_EQ(KitReturnCodes().rfind("0\tsuccess\tSuccess\tERROR_SUCCESS\t", 0), 0u);
    EXPECT_NE(KitReturnCodes().find("\n32\tretry\tFastRetry\tERROR_SHARING_VIOLATION\t"), std::string::npos);
}

}  // namespace
}  // namespace kavrel
