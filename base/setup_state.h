#pragma once
// The one process-wide record of the installer: the package identity, the
// application's names and titles, folders and keys found at start, the
// language choice and switches. The shared registry accessor belongs to the
// start-up settings module, which creates and destroys it. Every part of the
// installer reads or writes this record, so it lives with the helpers that
// every part may include.
#include <cstdint>
#include <string>

namespace kavrel {

class TSetupForm;

// The build-time identity of the package this executable carries.
struct PackageIdentity {
    std::string packageTitle;     // "\"Sonvela\" версии ", with its trailing blank
    std::string packageBaseName;  // "zyq"
    std::int32_t packageVersion = 0;
};

struct SetupState {
    // Package identity.
    std::string packageTitle;
    std::string packageBaseName;
    std::int32_t packageVersion = 0;
    std::string resourceType = "pak";
    const char* mainWindowClass = "TKavrelMainForm";

    // Application names and titles, set by the identity step.
    std::string appName;
    std::string titleRu;
    std::string titleEn;
    std::string packageVersionText;
    std::string packageCaption;

    // Start-up settings.
    bool useRussian = false;
    std::string commandSwitch;
    bool isStartSwitch = false;
    bool isRStartSwitch = false;
    bool is64BitWindows = false;
    bool isServerWindows = false;

    // Discovery.
    bool isAdmin = true;
    // Paths that a user's own letters may name stay in UTF-16, as Windows
    // keeps them: no ANSI code page holds every letter of every user.
    std::wstring installDir;
    std::string currentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    std::string vendorKey = "Software\\Orvyn\\";
    std::string uninstallKey;
    std::string productSettingsKey;
    std::string systemDir;
    std::string windowsDir;
    std::wstring tempDir;
    std::string commonDesktopDir;
    std::string commonProgramsDir;
    std::string userProgramsDir;
    std::string startupDir;

    // Language support and the progress window.
    std::int32_t languageFileIndex = -1;
    std::uint16_t messageLangId = 0xFFFF;
    TSetupForm* progressForm = nullptr;

    bool quietMode = false;

    SetupState();
    ~SetupState();
    SetupState(const SetupState&) = delete;
    SetupState& operator=(const SetupState&) = delete;
};

// The record of this process.
SetupState& CurrentSetup();

// Sets the identity fields of the program entry.
void SetPackageIdentity(SetupState& state, const PackageIdentity& identity);

// The identity step that opens every run: derives the application's names
// and titles and the package caption; returns the package file name.
std::string RunIdentityStep(SetupState& state);

}  // namespace kavrel
