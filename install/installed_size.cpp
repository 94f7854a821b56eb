#include "install/installed_size.h"

#include <windows.h>

#include <functional>

#include "base/text.h"
#include "env/startup_settings.h"
#include "install/folder_size.h"
#include "platform/registry.h"

namespace kavrel {

namespace {

const char* const kUninstallRoot = "HKEY_LOCAL_MACHINE\\";

// Writes `value` as `name` in the application's uninstall key.
RegistryRecord WriteUninstallValue(const SetupState& state, const std::string& name, std::int32_t value) {
    RegistryRecord record;
    RegistryAccessor& registry = Registry();
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const std::string key = state.uninstallKey + state.appName;
    try {
        if (const RegistryAccessor::KeyOpening opening = registry.OpenKey(key, true); !opening) {
            record.failure = WindowsFailure("the uninstall key cannot be opened or created", opening.error,
                                            SystemText(kUninstallRoot + key));
        } else {
            registry.WriteInteger(name, value);
            record.value = value;
        }
    } catch (const FailureRaised& raised) {
        record.failure = raised.failure();
    }
    registry.CloseKey();
    if (record.failure) record.failure->step = name;
    return record;
}

}  // namespace

RegistryRecord RecordInstalledSize(const SetupState& state) {
    FolderSize size = MeasureFolderSize(state.installDir);
    if (size.kib >= 0) return WriteUninstallValue(state, "EstimatedSize", size.kib);
    if (size.failure) size.failure->step = "EstimatedSize";
    return {std::nullopt, std::move(size.failure)};
}

RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& valueName) {
    return WriteUninstallValue(state, valueName, state.packageVersion);
}

}  // namespace kavrel
