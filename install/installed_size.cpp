#include "install/installed_size.h"

#include <windows.h>

#include <functional>

#include "base/scope_exit.h"
#include "base/text.h"
#include "env/startup_settings.h"
#include "install/folder_size.h"
#include "platform/registry.h"

namespace kavrel {

namespace {

// Writes `value` as `name` in `key` below HKEY_LOCAL_MACHINE, made when
// missing only where `create` says so.
RegistryRecord WriteUninstallValue(const std::string& key, bool create, const std::string& name,
                                   std::int32_t value) {
    RegistryAccessor& registry = Registry();
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const ScopeExit closeKey([&registry] { registry.CloseKey(); });
    // The value's name is the step a failure is told under.
    const auto named = [&name](Failure failure) {
        if (failure.step.empty()) failure.step = name;
        return failure;
    };
    if (std::optional<Failure> unopened = registry.OpenKey(key, create)) return named(std::move(*unopened));
    try {
        registry.WriteInteger(name, value);
    } catch (const FailureRaised& raised) {
        return named(raised.failure());
    }
    return std::optional<std::int32_t>(value);
}

}  // namespace

RegistryRecord RecordInstalledSize(const SetupState& state) {
    Result<std::optional<std::int32_t>> size = MeasureFolderSize(state.installDir);
    if (size.HasValue() && size.value())
        return WriteUninstallValue(state.uninstallKey + state.appName, true, "EstimatedSize", *size.value());
    if (!size.HasValue() && size.failure().step.empty()) size.failure().step = "EstimatedSize";
    return size;
}

RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& registrationKey,
                                    const std::string& valueName) {
    if (registrationKey.empty()) return std::optional<std::int32_t>();
    return WriteUninstallValue(registrationKey, false, valueName, state.packageVersion);
}

}  // namespace kavrel
