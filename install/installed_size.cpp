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
            record.failure = "the uninstall key cannot be opened or created";
            record.where = SystemText(kUninstallRoot + key);
            record.error = opening.error;
        } else {
            registry.WriteInteger(name, value);
            record.result = RegistryRecord::Result::Recorded;
            record.value = value;
        }
    } catch (const RegistryError& error) {
        record.failure = error.what();
        record.where = SystemText(error.key());
        record.error = error.error();
    }
    registry.CloseKey();
    return record;
}

}  // namespace

RegistryRecord RecordInstalledSize(const SetupState& state) {
    const FolderSize size = MeasureFolderSize(state.installDir);
    if (size.kib >= 0) return WriteUninstallValue(state, "EstimatedSize", size.kib);
    RegistryRecord record;
    record.result = size.folderMissing ? RegistryRecord::Result::NothingToRecord : RegistryRecord::Result::Failed;
    record.failure = size.failure;
    record.where = WideText(state.installDir);
    record.error = size.error;
    return record;
}

RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& valueName) {
    return WriteUninstallValue(state, valueName, state.packageVersion);
}

}  // namespace kavrel
