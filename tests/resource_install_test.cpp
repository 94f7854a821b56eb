// The single-resource installation and its version probes, on real files
// under Wine. The resources TESTPAK, TESTMZV, TESTRDW, TESTEXE and TESTLNG
// of this test program hold files of version 5.
#include "install/resource_install.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/step_reports.h"
#include "app/update_flow.h"
#include "base/setup_state.h"
#include "base/text.h"
#include "install/version_probe.h"
#include "lang/language_files.h"
#include "lang/messages.h"
#include "platform/folder_handle.h"
#include "support/wine_paths.h"
#include "support/win_test_support.h"
#include "ui/progress_window.h"

namespace kavrel {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;

// A package header carrying `version`, then some data.
std::string PackageOfVersion(int version) {
    std::string bytes("voc\0\x22\x02", 6);
    bytes += static_cast<char>(version & 0xFF);
    bytes += static_cast<char>(version >> 8);
    return bytes + "installed data";
}

// The install as the update flow runs it: the question and the failures
// are the flow's boxes. The waits for a held file go to `clock`, the
// system's sleep unless given.
bool Install(const char* name, const char* type, const std::string& path, bool compare, bool offerRetry = false,
             const WaitClock& clock = {}) {
    const std::wstring target = WideFromAscii(path);
    RunReport report;
    return InstallWithRetry(report, target, offerRetry, [&] {
               return InstallResourceFile(name, type, target, compare, AskAboutOlderFile, {}, clock);
           }) == std::nullopt;
}

// A path of the tests' (ASCII) as the installer shows the UTF-16 paths it works with.
ShownText ShownPath(const std::string& path) { return WideText(WideFromAscii(path)); }

std::string ResourceContent(const char* name, const char* type) {
    HRSRC found = ::FindResourceA(nullptr, name, type);
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(nullptr, found))),
                       ::SizeofResource(nullptr, found));
}

class ResourceInstall : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::UniqueTempName("kavrel install") + "\\";
        ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
        SetupState& state = CurrentSetup();
        SetPackageIdentity(state, {"\"Sonvela\" версии ", "voc", 5});
        RunIdentityStep(state);
        state.useRussian = false;
        state.languageFileIndex = -1;
        SetMessageBoxHandler([this](const MessageBoxCall& call) {
            shown.push_back(call);
            return answer;
        });
    }
    void TearDown() override { SetMessageBoxHandler(nullptr); }

    std::string Target(const char* name = "voc.pak") const { return folder_ + name; }
    std::string Content(const std::string& path) const { return ReadWholeFile(path).value_or("(missing)"); }
    bool TemporaryLeft(const char* name = "voc.pak") const {
        return ::GetFileAttributesA((folder_ + "~" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // A clock of the held-file waits that counts them instead of sleeping:
    // the schedule is the installer's, its 30 s are not spent.
    WaitClock CountingClock() {
        return {[this](std::uint32_t ms) { waitedMs += ms; }, [this] { return waitedMs; }};
    }

    std::string folder_;
    std::vector<MessageBoxCall> shown;
    int answer = IDNO;
    std::uint32_t waitedMs = 0;
    const std::string package_ = ResourceContent("TESTPAK", "PAK");
};

TEST_F(ResourceInstall, WritesAMissingTargetWithoutATemporaryFile) {
    EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true));
    EXPECT_EQ(Content(Target()), package_);
    EXPECT_FALSE(TemporaryLeft());
    EXPECT_TRUE(shown.empty());
}

TEST_F(ResourceInstall, ReplacesEqualNewerAndUnreadableVersionsWithoutAQuestion) {
    for (const std::string& installed : {PackageOfVersion(5), PackageOfVersion(4), std::string("voc\0\x22", 4)}) {
        ASSERT_TRUE(WriteWholeFile(Target(), installed));
        EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true));
        EXPECT_EQ(Content(Target()), package_);
        EXPECT_FALSE(TemporaryLeft());
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(ResourceInstall, AsksBeforeAnOlderFileReplacesANewerOne) {
    const std::string installed = PackageOfVersion(9);
    ASSERT_TRUE(WriteWholeFile(Target(), installed));
    ASSERT_TRUE(WriteWholeFile(folder_ + "~voc.pak", "left over by an interrupted run"));
    answer = IDNO;
    EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true));
    EXPECT_EQ(Content(Target()), installed);
    EXPECT_FALSE(TemporaryLeft());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Sound question");
    EXPECT_EQ(shown[0].text, ShownPath(Target()) +
                                 " file installing is of older version\r\nthan the same already installed.\r\n\r\n"
                                 "Do you really want to replace existing\r\nnew file version " +
                                 SystemText("9") + " with an older file version " + SystemText("5") + "?");
    EXPECT_EQ(shown[0].flags, 0x00042024u);

    CurrentSetup().useRussian = true;
    answer = IDYES;
    EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true));
    EXPECT_EQ(Content(Target()), package_);
    EXPECT_FALSE(TemporaryLeft());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "Резонный вопрос");
    EXPECT_EQ(shown[1].languageId, 25);
    EXPECT_NE(shown[1].text.Bytes().find("файл версии 9 на более старый версии 5?"), std::string::npos);
}

TEST_F(ResourceInstall, ComparesEachVersionedKindByItsOwnField) {
    // The same bytes: as "rdw" the field at offset 5 reads 0x0502, as "mzv" offset 6 reads 5.
    ASSERT_TRUE(WriteWholeFile(Target("a.rdw"), std::string("voc\0\x22\x03\x05", 7)));
    EXPECT_TRUE(Install("TESTRDW", "rdw", Target("a.rdw"), true));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.Bytes().find("new file version 1283 with an older file version 1282"), std::string::npos)
        << shown[0].text.Bytes();
    ASSERT_TRUE(WriteWholeFile(Target("a.mzv"), PackageOfVersion(6)));
    EXPECT_TRUE(Install("TESTMZV", "mzv", Target("a.mzv"), true));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[1].text.Bytes().find("new file version 6 with an older file version 5"), std::string::npos);
}

TEST_F(ResourceInstall, OtherKindsAndNoComparisonWriteStraightOver) {
    const std::string newer = PackageOfVersion(9);
    struct Case {
        const char* name;
        const char* type;
        bool compare;
    } cases[] = {{"TESTPAK", "PAK", true}, {"TESTEXE", "exe", true}, {"TESTPAK", "pak", false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(Target(), newer));
        EXPECT_TRUE(Install(c.name, c.type, Target(), c.compare)) << c.type;
        EXPECT_EQ(Content(Target()), package_) << c.type;
        EXPECT_FALSE(TemporaryLeft());
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(ResourceInstall, ALanguageFileBehindAnExclamationMarkIsNotCompared) {
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "old!").c_str(), nullptr));
    const std::string newer = "[langver]\r\n9\r\n";
    ASSERT_TRUE(WriteWholeFile(Target("old!\\base.lng"), newer));
    EXPECT_TRUE(Install("TESTLNG", "lng", Target("old!\\base.lng"), true));
    EXPECT_EQ(Content(Target("old!\\base.lng")), ResourceContent("TESTLNG", "LNG"));
    EXPECT_TRUE(shown.empty());

    ASSERT_TRUE(WriteWholeFile(Target("base.lng"), newer));
    EXPECT_TRUE(Install("TESTLNG", "lng", Target("base.lng"), true));
    EXPECT_EQ(Content(Target("base.lng")), newer);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.Bytes().find("new file version 9 with an older file version 5"), std::string::npos);

    // An installed file whose version cannot be read is older than any: it
    // is replaced, and the flow tells of the file that failed, once.
    shown.clear();
    ASSERT_TRUE(WriteWholeFile(Target("broken.lng"), "[langver]\r\n9 \r\n"));
    EXPECT_TRUE(Install("TESTLNG", "lng", Target("broken.lng"), true));
    EXPECT_EQ(Content(Target("broken.lng")), ResourceContent("TESTLNG", "LNG"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't handle the language support file " + ShownPath(Target("broken.lng")));
    EXPECT_EQ(shown[0].flags, 0x00200010u);
    // With a question after it, the failure comes first, as it happened.
    shown.clear();
    ASSERT_TRUE(WriteWholeFile(Target("broken.lng"), "[langver]\r\n9 \r\n"));
    ASSERT_TRUE(WriteWholeFile(Target("newer.lng"), newer));
    RunReport report;
    EXPECT_EQ(InstallWithRetry(report, WideFromAscii(Target("newer.lng")), false, [&] {
        LanguageModule().ReadLanguageFileVersion(WideFromAscii(Target("broken.lng")));
        return InstallResourceFile("TESTLNG", "lng", WideFromAscii(Target("newer.lng")), true, AskAboutOlderFile);
    }), std::nullopt);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Can't handle the language support file " + ShownPath(Target("broken.lng")));
    EXPECT_NE(shown[1].text.Bytes().find("new file version 9 with an older file version 5"), std::string::npos);
}

TEST_F(ResourceInstall, AFailedReplaceLeavesTheInstalledFileAndNoTemporaryFile) {
    const std::string installed = PackageOfVersion(4);
    ASSERT_TRUE(WriteWholeFile(Target(), installed));
    UniqueHandle held(::CreateFileA(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(Install("TESTPAK", "pak", Target(), true, false, CountingClock()));
    held.reset();
    EXPECT_EQ(waitedMs, kHeldFileWaitLimitMs) << "the held file is waited on for the whole wait, then given up";
    EXPECT_EQ(Content(Target()), installed);
    EXPECT_FALSE(TemporaryLeft());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't install file " + ShownPath(Target()) +
                                 "\r\n\r\nThe file is in use by another program. Close it and try again.");
    EXPECT_EQ(shown[0].flags, 0x00200010u);
}

TEST_F(ResourceInstall, ACancelledWriteLeavesTheInstalledFileAndNoTemporaryFileAndAsksNothing) {
    const std::string installed = PackageOfVersion(4);
    ASSERT_TRUE(WriteWholeFile(Target(), installed));
    const std::wstring target = WideFromAscii(Target());
    // Pressed before the first slice.
    Cancellation early;
    early.Open();
    ASSERT_TRUE(early.Request());
    RunReport report;
    const std::optional<Failure> cancelled = InstallWithRetry(
        report, target, true, [&] { return InstallResourceFile("TESTPAK", "pak", target, false, {}, {}, {}, &early); });
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->cause, FailureCause::Cancelled);
    EXPECT_EQ(report.ExitCode(), 1602u);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Content(Target()), installed);
    EXPECT_FALSE(TemporaryLeft());

    // Pressed while another program holds the installed file: the wait ends
    // and the replace is never tried again.
    UniqueHandle held(::CreateFileA(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    Cancellation waiting;
    waiting.Open();
    int waits = 0;
    const WaitClock pressOnFirstWait{[&](std::uint32_t) {
                                         ++waits;
                                         waiting.Request();
                                     },
                                     [] { return 0u; }};
    const std::optional<Failure> failure =
        InstallResourceFile("TESTPAK", "pak", target, false, {}, {}, pressOnFirstWait, &waiting);
    held.reset();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->cause, FailureCause::Cancelled);
    EXPECT_EQ(failure->step, "write");
    EXPECT_EQ(failure->what, "cancelled by the user at 100%");
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(Content(Target()), installed);
    EXPECT_FALSE(TemporaryLeft());
    EXPECT_TRUE(shown.empty());

    // Once the replace has happened, a press is refused.
    Cancellation late;
    late.Open();
    EXPECT_EQ(InstallResourceFile("TESTPAK", "pak", target, false, {}, {}, {}, &late), std::nullopt);
    EXPECT_FALSE(late.Request());
    EXPECT_EQ(Content(Target()), ResourceContent("TESTPAK", "pak"));
}

TEST_F(ResourceInstall, AnInteractiveRunTriesAgainOnRetryAndStopsOnCancel) {
    const std::string installed = PackageOfVersion(4);
    ASSERT_TRUE(WriteWholeFile(Target(), installed));
    UniqueHandle held(::CreateFileA(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    // Cancel: the failure stands, once.
    answer = IDCANCEL;
    EXPECT_FALSE(Install("TESTPAK", "pak", Target(), true, true, CountingClock()));
    EXPECT_EQ(waitedMs, kHeldFileWaitLimitMs);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].flags, 0x00200015u);
    EXPECT_FALSE(TemporaryLeft());
    // Retry after the other program let go: installed, with no wait after
    // the box.
    shown.clear();
    waitedMs = 0;
    SetMessageBoxHandler([&](const MessageBoxCall& call) {
        shown.push_back(call);
        held.reset();
        return IDRETRY;
    });
    EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true, true, CountingClock()));
    EXPECT_EQ(waitedMs, kHeldFileWaitLimitMs);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(Content(Target()), installed);
    EXPECT_FALSE(TemporaryLeft());
    // Cancel pressed during a write that then failed for good: the Retry the
    // person chose writes again, the press does not stop it.
    ASSERT_TRUE(WriteWholeFile(Target(), installed));
    shown.clear();
    Cancellation cancel;
    cancel.Open();
    int attempts = 0;
    RunReport report;
    EXPECT_EQ(InstallWithRetry(report, WideFromAscii(Target()), true, [&] {
                  if (attempts++ == 0) {
                      cancel.Request();
                      return std::optional<Failure>(WindowsFailure("cannot replace the installed file", 87, {}));
                  }
                  return InstallResourceFile("TESTPAK", "pak", WideFromAscii(Target()), false,
                                             {}, {}, {}, &cancel);
              }, &cancel),
              std::nullopt);
    EXPECT_EQ(attempts, 2);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(Content(Target()), ResourceContent("TESTPAK", "pak"));
}

// The application's folder may be writable by every user, who can leave a
// hard link at the temporary name or at the target's pointing at a file
// elsewhere: that file must never be written, and the installed file must
// end up a file of its own. The versioned path, the straight one, a new target.
struct PlantedCase {
    const char* resource;
    const char* type;
    bool compare;
    bool targetExists;
};
constexpr PlantedCase kPlantedCases[] = {
    {"TESTPAK", "pak", true, true}, {"TESTPAK", "pak", true, false}, {"TESTEXE", "exe", true, true},
    {"TESTPAK", "pak", false, true}};

DWORD LinkCount(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && ::GetFileInformationByHandle(file.get(), &info) ? info.nNumberOfLinks : 0;
}

TEST_F(ResourceInstall, AHardLinkPlantedAtEitherNameIsNeverWrittenThrough) {
    const std::string elsewhere = testing::UniqueTempName("kavrel elsewhere");
    // Of an old version, so that no question stops the replace.
    const std::string theirs = PackageOfVersion(1) + ", a file outside the application's folder";
    for (const PlantedCase& c : kPlantedCases) {
        for (const char* planted : {"~voc.pak", "voc.pak"}) {
            const std::string name = std::string(c.type) + (c.compare ? "" : " no compare") +
                                     (c.targetExists ? "" : " new") + " at " + planted;
            if (!c.targetExists && std::string(planted) == "voc.pak") continue;
            ::DeleteFileA(Target().c_str());
            if (c.targetExists) {
                ASSERT_TRUE(WriteWholeFile(Target(), PackageOfVersion(4)));
            }
            ASSERT_TRUE(WriteWholeFile(elsewhere, theirs));
            ::DeleteFileA((folder_ + planted).c_str());
            ASSERT_TRUE(::CreateHardLinkA((folder_ + planted).c_str(), elsewhere.c_str(), nullptr)) << name;
            ASSERT_EQ(LinkCount(elsewhere), 2u);

            EXPECT_TRUE(Install(c.resource, c.type, Target(), c.compare)) << name;
            EXPECT_EQ(Content(elsewhere), theirs) << name;
            EXPECT_EQ(LinkCount(elsewhere), 1u) << name;
            EXPECT_EQ(Content(Target()), package_) << name;
            EXPECT_EQ(LinkCount(Target()), 1u) << name;
            EXPECT_FALSE(TemporaryLeft()) << name;
        }
    }
    EXPECT_TRUE(shown.empty());
    ::DeleteFileA(elsewhere.c_str());
}

TEST_F(ResourceInstall, AFolderAtTheTemporaryNameIsAWriteFailure) {
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "~voc.pak").c_str(), nullptr));
    for (const PlantedCase& c : kPlantedCases) {
        const std::string installed = PackageOfVersion(4);
        ::DeleteFileA(Target().c_str());
        if (c.targetExists) {
            ASSERT_TRUE(WriteWholeFile(Target(), installed));
        }
        shown.clear();
        EXPECT_FALSE(Install(c.resource, c.type, Target(), c.compare)) << c.type;
        EXPECT_EQ(Content(Target()), c.targetExists ? installed : "(missing)") << c.type;
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "Can't install file " + ShownPath(Target()) + "\r\n\r\nAccess to the folder is denied.");
    }
    // Left as it was found: only what the installer made is removed.
    EXPECT_EQ(testing::FilesIn(folder_ + "~voc.pak").size(), 2u);
}

TEST_F(ResourceInstall, AMissingResourceIsAnInstallFailure) {
    EXPECT_FALSE(Install("NOSUCH", "pak", Target(), true));
    ASSERT_EQ(shown.size(), 1u);
    // The lookup's own error, as the system names it.
    EXPECT_EQ(shown[0].text.Bytes().rfind("Can't install file " + Target() + "\r\n\r\nWindows error 181", 0), 0u)
        << shown[0].text.Bytes();
    EXPECT_EQ(::GetFileAttributesA(Target().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ResourceInstall, TheQuestionComesFromTheSelectedLanguageFile) {
    CurrentSetup().installDir = WideFromAscii(folder_);
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "language").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(folder_ + "language\\russian.lng", "[soundquest]\r\nБаза\r\n"));
    ASSERT_TRUE(WriteWholeFile(folder_ + "language\\english.lng", "[soundquest]\r\nBase\r\n"));
    ASSERT_TRUE(WriteWholeFile(folder_ + "language\\own.lng",
                               "[soundquest]\r\nPytannia\r\n[olderfilever]\r\n%1 is older.\r\nReplace?\r\n\r\nnot read\r\n"));
    ASSERT_TRUE(LanguageModule().SelectLanguageFile({"english.lng", "russian.lng", "own.lng"}, 1, 0, 2, 0x0422));
    CurrentSetup().useRussian = true;
    ASSERT_TRUE(WriteWholeFile(Target(), PackageOfVersion(9)));
    EXPECT_TRUE(Install("TESTPAK", "pak", Target(), true));
    ShutDownLanguageFiles();
    CurrentSetup().languageFileIndex = -1;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, LanguageFileText("Pytannia"));
    EXPECT_EQ(shown[0].text, ShownPath(Target()) + LanguageFileText(" is older.\r\nReplace?"));
    EXPECT_TRUE(shown[0].extended);
    EXPECT_EQ(shown[0].languageId, 0x0422);
    EXPECT_EQ(shown[0].flags, 0x00042024u);
}

// The progress window is process-wide: its scenario runs in a process of its own.
class ResourceInstallOwnProcess : public testing::OwnProcessTest {};

TEST(ResourceInstallProgress, HiddenDuringTheQuestionAndShownAfterIt) {
    testing::RunInOwnProcess("ResourceInstallOwnProcess", "ProgressWindow");
}

TEST_F(ResourceInstallOwnProcess, ProgressWindow) {
    std::string folder = testing::UniqueTempName("kavrel progress") + "\\";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string target = folder + "voc.pak";
    ASSERT_TRUE(WriteWholeFile(target, PackageOfVersion(4)));
    // No question: the window is not touched.
    ASSERT_TRUE(Install("TESTPAK", "pak", target, true));
    EXPECT_FALSE(ProgressWindowCreated());

    bool visibleDuringQuestion = true;
    SetMessageBoxHandler([&](const MessageBoxCall&) {
        HWND window = ProgressWindowHandle();
        visibleDuringQuestion = window && ::IsWindowVisible(window);
        return IDNO;
    });
    ASSERT_TRUE(WriteWholeFile(target, PackageOfVersion(9)));
    ASSERT_TRUE(Install("TESTPAK", "pak", target, true));
    // Never shown before: the show after the question starts it.
    EXPECT_FALSE(visibleDuringQuestion);
    ASSERT_TRUE(testing::WaitUntil([] { return ProgressWindowCreated(); }));
    EXPECT_TRUE(testing::WaitUntil([] { return ::IsWindowVisible(ProgressWindowHandle()) != FALSE; }));

    // Started: hidden while the next question is open, shown again after it.
    ASSERT_TRUE(Install("TESTPAK", "pak", target, true));
    EXPECT_FALSE(visibleDuringQuestion);
    EXPECT_TRUE(::IsWindowVisible(ProgressWindowHandle()));
    char caption[64] = "x";
    ::GetWindowTextA(ProgressWindowHandle(), caption, sizeof caption);
    EXPECT_STREQ(caption, "");
    SetMessageBoxHandler(nullptr);
}

// The size walk enters only what its handle shows to be a plain folder.
TEST(FolderHandles, APlainFilesHandleIsNoFolderToEnter) {
    const std::string file = testing::UniqueTempName("kavrel plain") + ".dat";
    ASSERT_TRUE(WriteWholeFile(file, "data"));
    UniqueHandle opened(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(opened);
    EXPECT_EQ(PlainFolderIndex(opened.get()), std::nullopt);
    const std::string folder = testing::TempFolder();
    UniqueHandle listed(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(listed);
    EXPECT_NE(PlainFolderIndex(listed.get()), std::nullopt);
    opened.reset();
    ::DeleteFileA(file.c_str());
}

TEST(VersionProbes, ReadTheFieldsOfThePackageHeader) {
    const std::string folder = testing::UniqueTempName("kavrel probes") + "\\";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string header("zyq\0\x22\x02\x04\x1A", 8);
    ASSERT_TRUE(WriteWholeFile(folder + "full", header));
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder + "full")), 6660);
    EXPECT_EQ(ReadRdwVersion(WideFromAscii(folder + "full")), 1026);
    EXPECT_EQ(ReadMzvVersion(WideFromAscii(folder + "full")), 4);
    ASSERT_TRUE(WriteWholeFile(folder + "seven", header.substr(0, 7)));
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder + "seven")), 0);
    EXPECT_EQ(ReadMzvVersion(WideFromAscii(folder + "seven")), 4);
    EXPECT_EQ(ReadRdwVersion(WideFromAscii(folder + "seven")), 1026);
    ASSERT_TRUE(WriteWholeFile(folder + "six", header.substr(0, 6)));
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder + "six")) + ReadMzvVersion(WideFromAscii(folder + "six")) + ReadRdwVersion(WideFromAscii(folder + "six")), 0);
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder + "missing")), 0);
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder)), 0);
    UniqueHandle held(::CreateFileA((folder + "full").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(ReadPakVersion(WideFromAscii(folder + "full")), 0);
}

TEST(VersionProbes, ReadTheFileVersionOfProgramsOnly) {
    const std::wstring installer = WideFromAscii(testing::WindowsPathFromEnvironment("KAVREL_SMALL_INSTALLER"));
    const std::wstring older = WideFromAscii(testing::WindowsPathFromEnvironment("KAVREL_VOC_INSTALLER"));
    EXPECT_EQ(ReadFileVersionText(installer), "6660");
    EXPECT_EQ(ReadFileVersionText(older), "5");
    const std::string data = testing::UniqueTempName("kavrel data") + ".pak";
    ASSERT_TRUE(WriteWholeFile(data, PackageOfVersion(5)));
    EXPECT_EQ(ReadFileVersionText(WideFromAscii(data)), "");
    EXPECT_EQ(ReadFileVersionText(WideFromAscii(data + ".missing")), "");

    VersionComparison programs = CompareFileVersions("exe", older, installer);
    EXPECT_TRUE(programs.older);
    EXPECT_EQ(programs.newVersion, "5");
    EXPECT_EQ(programs.installedVersion, "6660");
    EXPECT_FALSE(CompareFileVersions("exe", installer, older).older);
    EXPECT_FALSE(CompareFileVersions("exe", installer, WideFromAscii(data)).older);
}

}  // namespace
}  // namespace kavrel
