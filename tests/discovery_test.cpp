// Installation discovery against the real registry of the test prefix. The
// application is registered under a name of the test's own, so that no other
// test's registration is touched.
#include "env/discovery.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "base/text.h"
#include "env/startup_settings.h"
#include "lang/messages.h"
#include "platform/environment.h"
#include "platform/unique_handle.h"
#include "support/win_test_support.h"

namespace kavrel {
namespace {

constexpr const char* kTestApp = "KavrelDiscoveryTest";
const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kWow64Uninstall = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

// Registry edits in the 64-bit view, below the accessor under test.
struct RegistryEdit {
    static void Set(HKEY root, const std::string& path, const char* name, DWORD type, std::string bytes) {
        ASSERT_TRUE(testing::WriteRegistryValue(root, path, name, {type, std::move(bytes)})) << path << "\\" << name;
    }
    static void SetText(HKEY root, const std::string& path, const char* name, const std::string& text) {
        Set(root, path, name, REG_SZ, text + '\0');
    }
    // Through the wide call, as an installer of the application would store a folder of any letters.
    static void SetWideText(const std::string& path, const wchar_t* name, const std::wstring& text) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, WideFromAscii(path).c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr), ERROR_SUCCESS);
        const UniqueHKey owned(key);
        ASSERT_EQ(::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
    }
    static void SetNumber(HKEY root, const std::string& path, const char* name, DWORD value) {
        Set(root, path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
    }
    static void DeleteValue(HKEY root, const std::string& path, const char* name) {
        testing::DeleteRegistryValue(root, path, name);
    }
    static void DeleteKey(const std::string& path) {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
    }
};

using testing::SavedRegistryValue;

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        StartUpSettings();
        SetupState& state = CurrentSetup();
        SetPackageIdentity(state, {"\"Sonvela\" версии ", "zyq", 6660});
        RunIdentityStep(state);
        state.appName = kTestApp;
        state.useRussian = false;
        state.installDir.clear();
        state.uninstallKey.clear();
        Clean();
        SetMessageBoxHandler([this](const MessageBoxCall& call) {
            shown.push_back(call);
            return IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxHandler(nullptr);
        Clean();
    }
    static void Clean() {
        RegistryEdit::DeleteKey(kUninstall + kTestApp);
        RegistryEdit::DeleteKey(kWow64Uninstall + kTestApp);
    }
    static void Register(const std::string& keyPath, const std::string& command) {
        RegistryEdit::SetText(HKEY_LOCAL_MACHINE, keyPath + kTestApp, "UninstallString", command);
    }
    static const SetupState& State() { return CurrentSetup(); }
    std::vector<MessageBoxCall> shown;
};

TEST_F(Discovery, UsesThe64BitViewOnA64BitPrefix) {
    EXPECT_TRUE(State().is64BitWindows);
    EXPECT_EQ(Registry().Access(), static_cast<REGSAM>(0xF013F));
}

TEST_F(Discovery, TakesTheFolderOfThePlainCommandFromThe64BitView) {
    Register(kUninstall, "C:\\Program Files\\Kavrel\\uninstall.exe");
    // The registration exists in the 64-bit view only: the 32-bit one does not see it.
    HKEY key32 = nullptr;
    ASSERT_NE(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstall + kTestApp).c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                              &key32), ERROR_SUCCESS);
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(State().uninstallKey, kUninstall);
    EXPECT_EQ(State().productSettingsKey, std::string("Software\\Orvyn\\") + kTestApp + "\\");
    EXPECT_EQ(DiscoveredExtras().wow64UninstallKey, "");
    EXPECT_EQ(DiscoveredExtras().registrationKey, kUninstall + kTestApp);
    EXPECT_TRUE(shown.empty());
}

TEST_F(Discovery, CutsAQuotedCommandWithArgumentsWithinItsQuotes) {
    Register(kUninstall, "\"C:\\Program Files\\Kavrel\\uninstall.exe\" /S /log=C:\\Logs\\u.txt");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Program Files\\Kavrel\\");
    Register(kUninstall, "\"C:\\Program Files\\Kavrel\\uninstall.exe\"");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Program Files\\Kavrel\\");
    // Blanks before the quote: the quote stays out of the folder.
    Register(kUninstall, "  \"C:\\Program Files\\Kavrel\\uninstall.exe\" /S");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Program Files\\Kavrel\\");
}

TEST_F(Discovery, KeepsLettersThatTheAnsiCodePageLacks) {
    // Cyrillic on this English prefix's code page, Kazakh on any.
    const std::wstring folder = L"C:\\\u041F\u0440\u043E\u0433\\\u04D8\u043B\u0438\u044F \u049A\\";
    RegistryEdit::SetWideText(kUninstall + kTestApp, L"UninstallString", L"\"" + folder + L"uninstall.exe\" /S");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, folder);
}

TEST_F(Discovery, IgnoresTheCommandsOwnTrailingBackslash) {
    Register(kUninstall, "C:\\A\\B\\");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\A\\");
}

TEST_F(Discovery, FallsBackToTheWow6432NodeRegistration) {
    Register(kWow64Uninstall, "C:\\Program Files (x86)\\Kavrel\\uninstall.exe");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Program Files (x86)\\Kavrel\\");
    EXPECT_EQ(DiscoveredExtras().wow64UninstallKey, kWow64Uninstall + kTestApp);
    EXPECT_EQ(DiscoveredExtras().registrationKey, kWow64Uninstall + kTestApp);
    EXPECT_EQ(State().uninstallKey, kUninstall);
}

TEST_F(Discovery, AnEmptyOrFolderlessCommandCountsAsNotFound) {
    Register(kUninstall, "");
    Register(kWow64Uninstall, "C:\\Wow\\Kavrel\\uninstall.exe");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Wow\\Kavrel\\");
    Register(kUninstall, "uninstall.exe");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"C:\\Wow\\Kavrel\\");
}

TEST_F(Discovery, DefaultsToTheProgramFilesFolderWithoutRegistration) {
    SavedRegistryValue programFiles(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    RegistryEdit::SetText(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "C:\\Program Files");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(NarrowAscii(State().installDir), std::string("C:\\Program Files\\") + kTestApp + "\\");
    RegistryEdit::DeleteValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(NarrowAscii(State().installDir), std::string(kTestApp) + "\\");
}

TEST_F(Discovery, ExpandsPathsStoredAsExpandableTextOnly) {
    SavedRegistryValue programFiles(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    const std::string apps = "%SystemDrive%\\Apps";
    RegistryEdit::Set(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", REG_EXPAND_SZ, apps + '\0');
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(NarrowAscii(State().installDir), std::string("C:\\Apps\\") + kTestApp + "\\");
    RegistryEdit::SetText(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", apps);
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(NarrowAscii(State().installDir), apps + "\\" + kTestApp + "\\");
    RegistryEdit::Set(HKEY_LOCAL_MACHINE, kWow64Uninstall + kTestApp, "UninstallString", REG_EXPAND_SZ,
                      std::string("\"%ProgramFiles%\\K\\u.exe\"") + '\0');
    ASSERT_FALSE(DiscoverInstallation());
    // A 32-bit registration: the 32-bit Program Files folder.
    EXPECT_EQ(State().installDir, EnvironmentText(L"ProgramFiles") + L"\\K\\");
}

TEST_F(Discovery, MenuFoldersCarryTheTitleOfTheMessageLanguage) {
    ASSERT_FALSE(DiscoverInstallation());
    const std::string english = DiscoveredExtras().commonMenuDir;
    EXPECT_EQ(english.substr(english.size() - 14), "Lexova update\\");
    EXPECT_EQ(english.substr(0, State().commonProgramsDir.size()), State().commonProgramsDir);
    CurrentSetup().useRussian = true;
    ASSERT_FALSE(DiscoverInstallation());
    EXPECT_EQ(DiscoveredExtras().commonMenuDir, State().commonProgramsDir + "Обновление Lexova\\");
    EXPECT_EQ(DiscoveredExtras().commonMenuDirOther, english);
}

TEST_F(Discovery, APerUserProgramsFolderStoredAsANumberIsARegistryFailure) {
    SavedRegistryValue programs(HKEY_CURRENT_USER, kShellFolders, "Programs");
    RegistryEdit::SetNumber(HKEY_CURRENT_USER, kShellFolders, "Programs", 5);
    Register(kUninstall, "C:\\Program Files\\Kavrel\\uninstall.exe");
    const std::optional<Failure> failure = DiscoverInstallation();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->cause, FailureCause::RegistryUnreadable);
    // A value of the wrong type is the installer's refusal, never a Windows error.
    EXPECT_EQ(failure->origin, FailureOrigin::Installer);
    EXPECT_NE(failure->what.find("Programs"), std::string::npos) << failure->what;
    EXPECT_EQ(State().installDir, L"");
    EXPECT_EQ(State().uninstallKey, "");
    // The update flow tells the user.
    EXPECT_TRUE(shown.empty());
}

TEST_F(Discovery, AnUninstallCommandStoredAsANumberEndsDiscovery) {
    RegistryEdit::SetNumber(HKEY_LOCAL_MACHINE, kUninstall + kTestApp, "UninstallString", 1);
    EXPECT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, L"");
    EXPECT_TRUE(shown.empty());
}

// Hostile values: every value that discovery reads, stored as no
// well-behaved program would store it. Anyone who can write the registry can
// leave such values for an installer that runs elevated.

// Where discovery reads a value, and where what it read ends up.
struct ValueSite {
    const char* label;
    HKEY root;
    std::string keyPath;
    const char* name;
    bool holdsCommand;  // an uninstall command, whose folder is taken
    std::string (*field)();
    // The field for the folder read, with its backslash; "" for an empty value.
    std::string (*expected)(const std::string& folder);
};

std::string SameFolder(const std::string& folder) { return folder; }

// The folder without any registration: the Program Files folder as the
// registry names it, then the application's name.
std::string UnregisteredInstallDir(const std::string&) {
    std::optional<testing::RegistryValue> value =
        testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    std::string folder = value ? std::string(value->bytes.c_str()) : std::string();
    AddTrailingBackslash(folder);
    return folder + kTestApp + "\\";
}

std::string CommandFolder(const std::string& folder) {
    return folder.empty() ? UnregisteredInstallDir(folder) : folder;
}

const std::vector<ValueSite>& ValueSites() {
    static const std::vector<ValueSite> sites = {
        {"ProgramFilesDir", HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", false,
         [] { return NarrowAscii(CurrentSetup().installDir); },
         [](const std::string& folder) { return folder + kTestApp + "\\"; }},
        {"Common Desktop", HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop", false,
         [] { return CurrentSetup().commonDesktopDir; }, SameFolder},
        // An unknown all-users Programs folder gives way to the user's own.
        {"Common Programs", HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", false,
         [] { return CurrentSetup().commonProgramsDir; },
         [](const std::string& folder) { return folder.empty() ? CurrentSetup().userProgramsDir : folder; }},
        {"Programs", HKEY_CURRENT_USER, kShellFolders, "Programs", false,
         [] { return CurrentSetup().userProgramsDir; }, SameFolder},
        {"Desktop", HKEY_CURRENT_USER, kShellFolders, "Desktop", false,
         [] { return DiscoveredExtras().userDesktopDir; }, SameFolder},
        {"Startup", HKEY_CURRENT_USER, kShellFolders, "Startup", false,
         [] { return CurrentSetup().startupDir; }, SameFolder},
        // An empty command counts as no registration.
        {"UninstallString", HKEY_LOCAL_MACHINE, kUninstall + kTestApp, "UninstallString", true,
         [] { return NarrowAscii(CurrentSetup().installDir); }, CommandFolder},
        {"WOW6432Node UninstallString", HKEY_LOCAL_MACHINE, kWow64Uninstall + kTestApp, "UninstallString", true,
         [] { return NarrowAscii(CurrentSetup().installDir); }, CommandFolder},
    };
    return sites;
}

// A value of a type other than text. The bytes look like text, so that a
// reader that does not look at the type would take them.
struct WrongType {
    const char* label;
    DWORD type;
    std::string bytes;
};

const WrongType kWrongTypes[] = {
    {"a number", REG_DWORD, std::string("\x05\0\0\0", 4)},
    {"binary", REG_BINARY, std::string("C:\\Binary\0", 10)},
    // Several texts are not a folder, even though the first one would do.
    {"several texts", REG_MULTI_SZ, std::string("C:\\First\0C:\\Second\0\0", 20)},
};

// A text value with a defined reading.
struct HostileText {
    const char* label;
    std::string folder;  // the folder named, without its backslash
    bool terminated;     // stored with its NUL
};

std::string LongFolder() {
    std::string folder = "C:\\";
    for (int i = 0; folder.size() < 32 * 1024; ++i) folder += "Folder " + std::to_string(i) + "\\";
    return folder + "End";
}

const HostileText kHostileTexts[] = {
    {"empty, with its NUL", "", true},
    {"empty, not a single byte", "", false},
    {"32 KiB long", LongFolder(), true},
    {"without its NUL", "C:\\No terminator", false},
};

// The bytes of a text value at a site: the folder, or a command in it.
std::string StoredText(const ValueSite& site, const HostileText& text) {
    std::string stored = site.holdsCommand && !text.folder.empty() ? text.folder + "\\uninstall.exe" : text.folder;
    if (text.terminated) stored += '\0';
    return stored;
}

TEST_F(Discovery, AnyValueReadOfAWrongTypeIsARegistryFailure) {
    for (const ValueSite& site : ValueSites()) {
        for (const WrongType& wrong : kWrongTypes) {
            SCOPED_TRACE(std::string(site.label) + " stored as " + wrong.label);
            SavedRegistryValue saved(site.root, site.keyPath, site.name);
            RegistryEdit::Set(site.root, site.keyPath, site.name, wrong.type, wrong.bytes);
            shown.clear();
            CurrentSetup().installDir.clear();
            CurrentSetup().uninstallKey.clear();
            EXPECT_TRUE(DiscoverInstallation());
            EXPECT_TRUE(shown.empty());
            EXPECT_EQ(State().installDir, L"");
            EXPECT_EQ(State().uninstallKey, "");
        }
    }
}

TEST_F(Discovery, TextValuesAreReadWholeAndExactlyAndAnEmptyOneLeavesItsFieldEmpty) {
    // Expandable or not: a text without "%" is taken as stored.
    for (const ValueSite& site : ValueSites()) {
        for (const HostileText& text : kHostileTexts) {
            for (const DWORD type : {DWORD{REG_SZ}, DWORD{REG_EXPAND_SZ}}) {
                SCOPED_TRACE(std::string(site.label) + " " + text.label + (type == REG_SZ ? "" : ", expandable"));
                SavedRegistryValue saved(site.root, site.keyPath, site.name);
                RegistryEdit::Set(site.root, site.keyPath, site.name, type, StoredText(site, text));
                std::optional<testing::RegistryValue> stored =
                    testing::ReadRegistryValue(site.root, site.keyPath, site.name);
                ASSERT_TRUE(stored.has_value());
                ASSERT_EQ(stored->bytes, StoredText(site, text)) << "not stored byte for byte";
                shown.clear();
                EXPECT_FALSE(DiscoverInstallation());
                EXPECT_TRUE(shown.empty());
                std::string folder = text.folder.empty() ? "" : text.folder + "\\";
                EXPECT_EQ(site.field(), site.expected(folder));
            }
        }
    }
}

}  // namespace
}  // namespace kavrel
