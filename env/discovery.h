#pragma once
// Finds, once per run, the system and shell folders, whether the user is an
// administrator, the application's keys and its installation folder.
#include <cstdint>
#include <string>

namespace kavrel {

// Outputs of discovery that only discovery keeps.
struct DiscoveryExtras {
    std::string userDesktopDir;
    std::string commonMenuDir;
    std::string commonMenuDirOther;
    std::string userMenuDirRu;
    std::string userMenuDirEn;
    std::string wow64UninstallKey;  // where the uninstall command was found below WOW6432Node
    // An uninstall key that exists but could not be opened (taken for no
    // registration), and the Windows error; empty when none.
    std::string unopenedUninstallKey;
    std::uint32_t unopenedUninstallKeyError = 0;
};

// Whether discovery could read the registry, and if not, what it met.
struct DiscoveryResult {
    bool registryReadable = true;
    std::string problem;
    std::string key;
    std::uint32_t error = 0;  // the Windows error; 0 for a value of the wrong type
};

// Fills the folders and keys of the setup state. Shows nothing.
DiscoveryResult DiscoverInstallation();

// What the last discovery found beside the setup state.
const DiscoveryExtras& DiscoveredExtras();

}  // namespace kavrel
