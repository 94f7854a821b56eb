#pragma once
// Finds, once per run, the system and shell folders, whether the user is an
// administrator, the application's keys and its installation folder.
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
};

// Fills the folders and keys of the setup state. False, after the message
// "No access to system registry", when the registry cannot be read.
bool DiscoverInstallation();

// What the last discovery found beside the setup state.
const DiscoveryExtras& DiscoveredExtras();

}  // namespace kavrel
