#include "env/startup_settings.h"

#include <memory>
#include <optional>

#include "base/random.h"
#include "base/setup_state.h"
#include "env/os_description.h"
#include "env/startup_rules.h"
#include "platform/environment.h"
#include "platform/run_log.h"
#include "platform/window_station.h"

namespace kavrel {

namespace {
bool started = false;
std::unique_ptr<RegistryAccessor> sharedRegistry;
// "ver", when the description started it but did not need its output: it
// runs alongside the update and is waited for at shut-down.
ConsoleCommand unfinishedVer;
std::string operatingSystemText;

// The Windows folder of the system (not of a terminal-server user's own
// copy), with its backslash; empty when it cannot be told.
std::wstring SystemWindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// Starts the log where the switch, or the lack of one, puts it.
void StartLogOfRun(const std::optional<LogRequest>& request) {
    switch (LogPlaceOf(request, WindowStationIsVisible())) {
        case LogPlace::None:
            return;
        case LogPlace::GivenPath:
            StartRunLog(request->path);
            return;
        case LogPlace::TempFolder:
            StartRunLog(DefaultLogPath(EnvironmentText(L"Temp")));
            return;
        case LogPlace::SystemLogFolder: {
            const std::wstring windows = SystemWindowsFolder();
            if (windows.empty()) return;
            // Made when missing, with the rights of the Windows folder, which
            // only administrators may write.
            ::CreateDirectoryW((windows + L"\\Logs").c_str(), nullptr);
            ::CreateDirectoryW(SystemLogFolder(windows).c_str(), nullptr);
            StartRunLog(SystemLogPath(windows));
            return;
        }
    }
}

std::uint32_t RandomSeed() {
    LARGE_INTEGER counter{};
    if (::QueryPerformanceCounter(&counter)) return static_cast<std::uint32_t>(counter.LowPart);
    return ::GetTickCount();
}
}  // namespace

void StartUpSettings() {
    if (started) return;
    started = true;
    SetupState& state = CurrentSetup();
    SeedRandom(RandomSeed());
    state.useRussian = IsRussianMessageLocale(::GetUserDefaultLCID());
    OsDescription description = DescribeOperatingSystemLeavingVer(false);
    operatingSystemText = std::move(description.text);
    unfinishedVer = std::move(description.unfinishedVer);
    sharedRegistry = std::make_unique<RegistryAccessor>(RegistryAccessMask(state.is64BitWindows));
    // The log switch may stand anywhere and counts as no argument.
    const std::wstring commandLine = CommandLineText();
    StartLogOfRun(LogRequestOf(commandLine));
    CommandSwitchFlags flags = ParseCommandSwitch(CommandLineArgumentBesidesLog(commandLine, 1));
    state.commandSwitch = flags.commandSwitch;
    state.isStartSwitch = flags.isStartSwitch;
    state.isRStartSwitch = flags.isRStartSwitch;
}

void ShutDownSettings() {
    StopRunLog();
    sharedRegistry.reset();
    unfinishedVer.Finish();
    SetupState& state = CurrentSetup();
    state.commandSwitch.clear();
    state.appName.clear();
    state.titleRu.clear();
    state.titleEn.clear();
    state.packageVersionText.clear();
    state.packageCaption.clear();
    state.installDir.clear();
}

const std::string& OperatingSystemText() { return operatingSystemText; }

RegistryAccessor& Registry() {
    if (!sharedRegistry) Raise(Refusal("the registry accessor is used before start-up", ERROR_INVALID_HANDLE, {}));
    return *sharedRegistry;
}

}  // namespace kavrel
