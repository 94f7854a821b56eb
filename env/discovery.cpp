#include "env/discovery.h"

#include <windows.h>
#include <shlobj.h>

#include "base/scope_exit.h"
#include "base/setup_state.h"
#include "base/text.h"
#include "env/discovery_rules.h"
#include "env/startup_settings.h"
#include "platform/environment.h"
#include "platform/registry.h"

namespace kavrel {

namespace {

DiscoveryExtras extras;

const char* const kShellFoldersKey = "Explorer\\Shell Folders";

// A system folder with its backslash; empty when the call fails or the
// folder does not fit the buffer.
template <typename Query>
std::string SystemFolder(Query query) {
    char buffer[256] = {};
    UINT length = query(buffer, 255);
    if (length == 0 || length >= 255) return {};
    std::string folder(buffer, length);
    AddTrailingBackslash(folder);
    return folder;
}

std::wstring EnvironmentFolder(const wchar_t* name) {
    std::wstring folder = EnvironmentText(name);
    AddTrailingBackslash(folder);
    return folder;
}

DWORD PlatformId() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return ::GetVersionExA(&info) ? info.dwPlatformId : 0;
}

// A path value as the program that wrote it means it: a REG_EXPAND_SZ one
// expanded (as stored where it cannot be), a REG_SZ one as stored, a "%" in
// it included. `nativeView`: read from the 64-bit view of a 64-bit Windows,
// where 64-bit programs mean their own Program Files folder.
std::wstring ReadPath(RegistryAccessor& registry, const char* name, bool nativeView) {
    RegistryAccessor::PathText value = registry.ReadPathText(name);
    if (!value.expandable) return value.text;
    // Windows before 7 has no "ProgramW6432": the value is expanded as it is.
    if (nativeView && !EnvironmentText(L"ProgramW6432").empty()) value.text = WithNativeProgramFolders(value.text);
    return ExpandedEnvironmentText(value.text);
}

// Reads a text value into `target` when it exists, with its backslash.
void ReadFolderValue(RegistryAccessor& registry, const char* name, std::string& target) {
    if (!registry.ValueExists(name)) return;
    target = registry.ReadText(name);
    AddTrailingBackslash(target);
}
void ReadFolderValue(RegistryAccessor& registry, const char* name, std::wstring& target, bool nativeView) {
    if (!registry.ValueExists(name)) return;
    target = ReadPath(registry, name, nativeView);
    AddTrailingBackslash(target);
}


// The folder of the uninstall command stored under `keyPath`, if any.
std::optional<std::wstring> UninstallFolder(RegistryAccessor& registry, const std::string& keyPath, bool nativeView) {
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const ScopeExit closeKey([&registry] { registry.CloseKey(); });
    // A key that exists but cannot be opened is taken for none, and noted.
    if (std::optional<Failure> unopened = registry.OpenKey(keyPath, false)) {
        if (unopened->windowsError != ERROR_FILE_NOT_FOUND && !extras.unopenedUninstallKey) {
            unopened->step = "uninstall registration";
            extras.unopenedUninstallKey = std::move(unopened);
        }
        return std::nullopt;
    }
    if (!registry.ValueExists("UninstallString")) return std::nullopt;
    return CutUninstallCommand(ReadPath(registry, "UninstallString", nativeView));
}

void Discover(SetupState& state, RegistryAccessor& registry) {
    state.commonProgramsDir.clear();
    state.systemDir = SystemFolder(::GetSystemDirectoryA);
    state.windowsDir = SystemFolder(::GetWindowsDirectoryA);

    std::wstring programFilesDir;
    {
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        const ScopeExit closeKey([&registry] { registry.CloseKey(); });
        if (registry.TryOpenKey(state.currentVersionKey))
            ReadFolderValue(registry, "ProgramFilesDir", programFilesDir, state.is64BitWindows);
    }

    state.isAdmin = ::IsUserAnAdmin() != FALSE;
    state.tempDir = EnvironmentFolder(L"Temp");

    const std::string shellFoldersKey = state.currentVersionKey + kShellFoldersKey;
    {
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        const ScopeExit closeKey([&registry] { registry.CloseKey(); });
        state.commonDesktopDir.clear();
        if (registry.TryOpenKey(shellFoldersKey)) {
            ReadFolderValue(registry, "Common Desktop", state.commonDesktopDir);
            if (PlatformId() == VER_PLATFORM_WIN32_NT) ReadFolderValue(registry, "Common Programs", state.commonProgramsDir);
        }
    }
    {
        registry.SetRootKey(HKEY_CURRENT_USER);
        const ScopeExit closeKey([&registry] { registry.CloseKey(); });
        if (registry.TryOpenKey(shellFoldersKey)) {
            ReadFolderValue(registry, "Programs", state.userProgramsDir);
            ReadFolderValue(registry, "Desktop", extras.userDesktopDir);
            ReadFolderValue(registry, "Startup", state.startupDir);
        }
    }

    // The keys and the installation folder are written only once everything
    // has been read: a failed discovery leaves them empty (the folders read
    // above may be set).
    std::string uninstallKey = state.currentVersionKey + "Uninstall\\";
    std::string productSettingsKey = state.vendorKey + state.appName + "\\";
    state.commonProgramsDir = EffectiveCommonProgramsDir(state.commonProgramsDir, state.userProgramsDir);
    MenuFolders menus = ComposeMenuFolders(state.commonProgramsDir, state.userProgramsDir, state.titleRu,
                                           state.titleEn, state.useRussian);

    std::wstring installDir = programFilesDir + WideFromAscii(state.appName);
    std::string wow64UninstallKey;
    std::string registrationKey;
    if (std::optional<std::wstring> folder =
            UninstallFolder(registry, uninstallKey + state.appName, state.is64BitWindows)) {
        installDir = *folder;
        registrationKey = uninstallKey + state.appName;
    } else {
        std::string wow64Key = Wow64KeyPath(uninstallKey) + state.appName;
        // A 32-bit registration's "%ProgramFiles%" is the 32-bit folder.
        if (std::optional<std::wstring> wow64Folder = UninstallFolder(registry, wow64Key, false)) {
            installDir = *wow64Folder;
            wow64UninstallKey = wow64Key;
            registrationKey = wow64Key;
        }
    }
    AddTrailingBackslash(installDir);

    state.uninstallKey = uninstallKey;
    state.productSettingsKey = productSettingsKey;
    state.installDir = installDir;
    extras.commonMenuDir = menus.commonMenuDir;
    extras.commonMenuDirOther = menus.commonMenuDirOther;
    extras.userMenuDirRu = menus.userMenuDirRu;
    extras.userMenuDirEn = menus.userMenuDirEn;
    extras.wow64UninstallKey = wow64UninstallKey;
    extras.registrationKey = registrationKey;
}

}  // namespace

std::optional<Failure> DiscoverInstallation() {
    extras = DiscoveryExtras{};
    try {
        Discover(CurrentSetup(), Registry());
        return std::nullopt;
    } catch (const FailureRaised& raised) {
        // Any value of the wrong kind, wherever it stands, means the registry
        // cannot be trusted for this run (the read said so): nothing has
        // been written yet.
        Failure failure = raised.failure();
        if (failure.step.empty()) failure.step = "discovery";
        return failure;
    }
}

const DiscoveryExtras& DiscoveredExtras() { return extras; }

}  // namespace kavrel
