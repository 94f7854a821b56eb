// Installation discovery against the real registry of the test prefix. The
// application is registered under a name of the test's own, so that no other
// test's registration is touched.
#include "env/discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_state.h"
#include "env/startup_settings.h"
#include "lang/messages.h"
#include "platform/unique_handle.h"

namespace kavrel {
namespace {

constexpr const char* kTestApp = "KavrelDiscoveryTest";
const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kWow64Uninstall = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

// Raw registry edits in the 64-bit view, below the accessor under test.
struct RegistryEdit {
    static void Set(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                                    &key, nullptr), ERROR_SUCCESS);
        UniqueHKey owned(key);
        ASSERT_EQ(::RegSetValueExA(owned.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    static void SetText(HKEY root, const std::string& path, const char* name, const std::string& text) {
        Set(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    static void SetNumber(HKEY root, const std::string& path, const char* name, DWORD value) {
        Set(root, path, name, REG_DWORD, &value, sizeof value);
    }
    static std::optional<std::string> GetText(HKEY root, const std::string& path, const char* name) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return std::nullopt;
        UniqueHKey owned(key);
        char buffer[1024] = {};
        DWORD size = sizeof buffer - 1;
        DWORD type = 0;
        if (::RegQueryValueExA(owned.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS || type != REG_SZ)
            return std::nullopt;
        return std::string(buffer);
    }
    static void DeleteValue(HKEY root, const std::string& path, const char* name) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
        UniqueHKey owned(key);
        ::RegDeleteValueA(owned.get(), name);
    }
    static void DeleteKey(const std::string& path) {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
    }
};

// Puts a text value back as it was when the test ends.
class SavedText {
public:
    SavedText(HKEY root, std::string path, const char* name)
        : root_(root), path_(std::move(path)), name_(name), saved_(RegistryEdit::GetText(root_, path_, name_)) {}
    ~SavedText() {
        if (saved_) RegistryEdit::SetText(root_, path_, name_, *saved_);
        else RegistryEdit::DeleteValue(root_, path_, name_);
    }
    SavedText(const SavedText&) = delete;
    SavedText& operator=(const SavedText&) = delete;

private:
    HKEY root_;
    std::string path_;
    const char* name_;
    std::optional<std::string> saved_;
};

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
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Program Files\\Kavrel\\");
    EXPECT_EQ(State().uninstallKey, kUninstall);
    EXPECT_EQ(State().productSettingsKey, std::string("Software\\Orvyn\\") + kTestApp + "\\");
    EXPECT_EQ(DiscoveredExtras().wow64UninstallKey, "");
    EXPECT_TRUE(shown.empty());
}

TEST_F(Discovery, CutsAQuotedCommandWithArgumentsWithinItsQuotes) {
    Register(kUninstall, "\"C:\\Program Files\\Kavrel\\uninstall.exe\" /S /log=C:\\Logs\\u.txt");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Program Files\\Kavrel\\");
    Register(kUninstall, "\"C:\\Program Files\\Kavrel\\uninstall.exe\"");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Program Files\\Kavrel\\");
}

TEST_F(Discovery, IgnoresTheCommandsOwnTrailingBackslash) {
    Register(kUninstall, "C:\\A\\B\\");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\A\\");
}

TEST_F(Discovery, FallsBackToTheWow6432NodeRegistration) {
    Register(kWow64Uninstall, "C:\\Program Files (x86)\\Kavrel\\uninstall.exe");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Program Files (x86)\\Kavrel\\");
    EXPECT_EQ(DiscoveredExtras().wow64UninstallKey, kWow64Uninstall + kTestApp);
    EXPECT_EQ(State().uninstallKey, kUninstall);
}

TEST_F(Discovery, AnEmptyOrFolderlessCommandCountsAsNotFound) {
    Register(kUninstall, "");
    Register(kWow64Uninstall, "C:\\Wow\\Kavrel\\uninstall.exe");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Wow\\Kavrel\\");
    Register(kUninstall, "uninstall.exe");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "C:\\Wow\\Kavrel\\");
}

TEST_F(Discovery, DefaultsToTheProgramFilesFolderWithoutRegistration) {
    SavedText programFiles(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    RegistryEdit::SetText(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "C:\\Program Files");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, std::string("C:\\Program Files\\") + kTestApp + "\\");
    RegistryEdit::DeleteValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, std::string(kTestApp) + "\\");
}

TEST_F(Discovery, MenuFoldersCarryTheTitleOfTheMessageLanguage) {
    ASSERT_TRUE(DiscoverInstallation());
    const std::string english = DiscoveredExtras().commonMenuDir;
    EXPECT_EQ(english.substr(english.size() - 14), "Lexova update\\");
    EXPECT_EQ(english.substr(0, State().commonProgramsDir.size()), State().commonProgramsDir);
    CurrentSetup().useRussian = true;
    ASSERT_TRUE(DiscoverInstallation());
    EXPECT_EQ(DiscoveredExtras().commonMenuDir, State().commonProgramsDir + "Обновление Lexova\\");
    EXPECT_EQ(DiscoveredExtras().commonMenuDirOther, english);
}

TEST_F(Discovery, APerUserProgramsFolderStoredAsANumberIsARegistryFailure) {
    SavedText programs(HKEY_CURRENT_USER, kShellFolders, "Programs");
    RegistryEdit::SetNumber(HKEY_CURRENT_USER, kShellFolders, "Programs", 5);
    Register(kUninstall, "C:\\Program Files\\Kavrel\\uninstall.exe");
    EXPECT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "");
    EXPECT_EQ(State().uninstallKey, "");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "No access to system registry");
    EXPECT_EQ(shown[0].caption, "Lexova update");
    EXPECT_EQ(shown[0].flags, 0x00200010u);

    CurrentSetup().useRussian = true;
    EXPECT_FALSE(DiscoverInstallation());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "Нет доступа к системному реестру");
    EXPECT_EQ(shown[1].caption, "Обновление Lexova");
    EXPECT_EQ(shown[1].languageId, 25);
}

TEST_F(Discovery, AnUninstallCommandStoredAsANumberEndsDiscovery) {
    RegistryEdit::SetNumber(HKEY_LOCAL_MACHINE, kUninstall + kTestApp, "UninstallString", 1);
    EXPECT_FALSE(DiscoverInstallation());
    EXPECT_EQ(State().installDir, "");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "No access to system registry");
}

}  // namespace
}  // namespace kavrel
