#include "env/startup_settings.h"

#include <memory>
#include <optional>
#include <stdexcept>

#include "base/random.h"
#include "base/setup_state.h"
#include "env/os_description.h"
#include "env/startup_rules.h"
#include "platform/environment.h"
#include "platform/run_log.h"

namespace kavrel {

namespace {
bool started = false;
std::unique_ptr<RegistryAccessor> sharedRegistry;
// "ver", when the description started it but did not need its output: it
// runs alongside the update and is waited for at shut-down.
ConsoleCommand unfinishedVer;
std::string operatingSystemText;

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
    if (const std::optional<LogRequest> log = LogRequestOf(commandLine))
        StartRunLog(log->path.empty() ? DefaultLogPath(EnvironmentText(L"Temp")) : log->path);
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
    if (!sharedRegistry) throw std::logic_error("the registry accessor is used before start-up");
    return *sharedRegistry;
}

}  // namespace kavrel
