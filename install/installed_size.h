#pragma once
// The values the installer records in the application's uninstall
// registration (HKEY_LOCAL_MACHINE, the registry view of the run): the
// installed size, and the version of the package it installed, by which a
// deployment tool tells that the package is installed.
#include <cstdint>
#include <string>

#include "base/setup_state.h"
#include "base/shown_text.h"

namespace kavrel {

// How recording one value ended. Shows and logs nothing: the update flow
// does, from this.
struct RegistryRecord {
    enum class Result { Recorded, NothingToRecord, Failed };
    Result result = Result::Failed;
    std::int32_t value = 0;  // what was recorded
    std::string failure;     // what failed
    ShownText where;         // the folder or key it concerned
    std::uint32_t error = 0; // the Windows error; 0 when Windows gave none
};

// Measures the application folder and records the size as "EstimatedSize",
// creating the key when missing. Nothing to record when the folder does not
// exist; a failure when the walk cannot begin for another reason, or the
// key cannot be written.
RegistryRecord RecordInstalledSize(const SetupState& state);

// Records the package's version as the REG_DWORD value `valueName` (the
// package file's name) beside "EstimatedSize"; only once the package was
// installed, so that the value always describes the package that is there.
RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& valueName);

}  // namespace kavrel
