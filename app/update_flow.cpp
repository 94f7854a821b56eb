#include "app/update_flow.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "app/integrity_check.h"
#include "app/running_app.h"
#include "app/setup_state.h"
#include "app/update_rules.h"
#include "env/discovery.h"
#include "env/startup_rules.h"
#include "env/startup_settings.h"
#include "install/extraction.h"
#include "install/folder_size.h"
#include "install/resource_install.h"
#include "lang/messages.h"
#include "platform/private_namespace.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"
#include "ui/progress_window.h"

namespace kavrel {

namespace {

// Held until the process ends; the system releases it however the process
// ends, also when it is killed.
UniqueHandle updateRunningMutex;

// Takes the one-installer-at-a-time mutex; false when another copy has it.
// A mutex that exists but cannot be opened (another session's, with rights
// of its own) is held by another copy as well. Should the system refuse the
// mutex for any other reason, the run goes on unguarded rather than not at all.
bool ClaimUpdateRun() {
    const std::optional<std::string> privatePrefix = AdministratorsNamespacePrefix(kUpdateNamespaceAlias);
    const std::string name = privatePrefix ? *privatePrefix + kUpdateRunningMutexBaseName : kUpdateRunningMutexName;
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, name.c_str()));
    const DWORD error = ::GetLastError();
    if (!mutex) return error != ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) return false;
    updateRunningMutex = std::move(mutex);
    return true;
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Records the installed size as "EstimatedSize"; false when it could not be written.
bool RecordInstalledSize(const SetupState& state) {
    RegistryAccessor& registry = Registry();
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const bool opened = registry.OpenKey(state.uninstallKey + state.appName, true);
    bool recorded = true;
    try {
        const std::int32_t size = MeasureFolderSize(state.installDir);
        if (size != -1) {
            if (!opened) recorded = false;
            else registry.WriteInteger("EstimatedSize", size);
        }
    } catch (const RegistryError&) {
        recorded = false;
    }
    registry.CloseKey();
    return recorded;
}

}  // namespace

int RunUpdateFlow(const std::function<void()>& afterDiscovery) {
    SetupState& state = CurrentSetup();
    const std::string packageFileName = RunIdentityStep(state);
    // Two copies (a double click on a slow machine) would write the same
    // temporary file and both replace the package.
    if (!ClaimUpdateRun()) {
        ShowBilingualMessage("The update is already running.", "Обновление уже запущено.");
        return kExitCheckFailed;
    }

    if (!DiscoverInstallation()) return kExitCheckFailed;
    if (afterDiscovery) afterDiscovery();
    if (!state.isAdmin) {
        ShowBilingualMessage("You have no right to install applications!", "У Вас нет права устанавливать программы!");
        return kExitCheckFailed;
    }
    if (!AppNotRunning()) CloseRunningApp();
    // Reading and writing 249 MB take seconds from a disk, longer from a
    // network share: an interactive run shows that it is at work.
    const bool showsProgress = ShowsProgress(state.commandSwitch);
    {
        ProgressStep checking(showsProgress, LongStepTexts(state, LongStep::Checking));
        if (!IntegritySelfCheck(checking.Reporter())) return kExitCheckFailed;
    }

    state.quietMode = IsQuietSwitch(state.commandSwitch);
    if (!FileExists(state.installDir + "Kavrel.exe")) {
        ShowBilingualMessage(
            "There's no subject of update - the Lexova installed.\r\nPlease, install the program at first.",
            "Нет предмета обновления - установленной программы Lexova.\r\nПожалуйста, сначала установите программу.");
        return kExitCheckFailed;
    }
    if (!state.quietMode) {
        const int answer = ShowMessageBox(ConfirmationQuestion(state));
        // Where nobody could answer, nothing was declined: the run could not be confirmed.
        if (!IsYesAnswer(answer)) return NoOneAnswered(answer) ? kExitCheckFailed : kExitDone;
    }

    int exitCode = kExitDone;
    const std::string target = state.installDir + packageFileName;
    ProgressStep installing(showsProgress, LongStepTexts(state, LongStep::Installing));
    const bool installed =
        state.packageBaseName == "zyq"
            ? InstallSplitResource(state.packageBaseName, state.resourceType, target, installing.Reporter(),
                                   !state.quietMode)
            : InstallResourceFile(state.packageBaseName, state.resourceType, target, true, installing.Reporter(),
                                  !state.quietMode);
    if (!installed) exitCode = kExitWriteFailed;
    if (!RecordInstalledSize(state)) exitCode = kExitWriteFailed;

    if (state.quietMode) {
        if (AsksToRunApp(CommandLineArgument(::GetCommandLineA(), 2))) LaunchAndActivate();
    } else if (IsYesAnswer(ShowMessageBox(FinalQuestion(state)))) {
        LaunchAndActivate();
    }
    return exitCode;
}

void ShutDownUpdateFlow() {
    SetupState& state = CurrentSetup();
    state.resourceType.clear();
    state.packageBaseName.clear();
    state.packageTitle.clear();
}

}  // namespace kavrel
