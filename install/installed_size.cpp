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

// Writes `value` as `name` in `key` below HKEY_LOCAL_MACHINE, made when
// missing only where `create` says so.
RegistryRecord WriteUninstallValue(const std::string& key, bool create, const std::string& name,
                                   std::int32_t value) {
    RegistryRecord record;
    RegistryAccessor& registry = Registry();
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    try {
        if (const RegistryAccessor::KeyOpening opening = registry.OpenKey(key, create); !opening) {
            record.failure = WindowsFailure(create ? "the uninstall key cannot be opened or created"
                                                   : "the uninstall key cannot be opened",
                                            opening.error, SystemText(kUninstallRoot + key));
        } else {
            registry.WriteInteger(name, value);
            record.value = value;
        }
    } catch (const FailureRaised& raised) {
        record.failure = raised.failure();
    }
    registry.CloseKey();
    if (record.failure && record.failure->step.empty()) record.failure->step = name;
    return record;
}

}  // namespace

RegistryRecord RecordInstalledSize(const SetupState& state) {
    FolderSize size = MeasureFolderSize(state.installDir);
    if (size.kib >= 0) return WriteUninstallValue(state.uninstallKey + state.appName, true, "EstimatedSize", size.kib);
    if (size.failure && size.failure->step.empty()) size.failure->step = "EstimatedSize";
    return {std::nullopt, std::move(size.failure)};
}

RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& registrationKey,
                                    const std::string& valueName) {
    if (registrationKey.empty()) return {};
    return WriteUninstallValue(registrationKey, false, valueName, state.packageVersion);
}

}  // namespace kavrel
