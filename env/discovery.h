#pragma once
// Finds, once per run, the system and shell folders, whether the user is an
// administrator, the application's keys and its installation folder.
#include <optional>
#include <string>

#include "base/failure.h"

namespace kavrel {

// Outputs of discovery that only discovery keeps.
struct DiscoveryExtras {
    std::string userDesktopDir;
    std::string commonMenuDir;
    std::string commonMenuDirOther;
    std::string userMenuDirRu;
    std::string userMenuDirEn;
    std::string wow64UninstallKey;  // where the uninstall command was found below WOW6432Node
    // The key below HKEY_LOCAL_MACHINE where the uninstall command was found,
    // in the run's registry view (below WOW6432Node when found only there);
    // empty when the application is not registered.
    std::string registrationKey;
    // An uninstall key that exists but could not be opened: taken for no
    // registration, with the Windows error kept for the log.
    std::optional<Failure> unopenedUninstallKey;
};

// Fills the folders and keys of the setup state. Shows nothing; returns the
// failure of a registry that could not be read.
std::optional<Failure> DiscoverInstallation();

// What the last discovery found beside the setup state.
const DiscoveryExtras& DiscoveredExtras();

}  // namespace kavrel
