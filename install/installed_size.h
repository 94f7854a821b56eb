#pragma once
// The values the installer records in the application's uninstall
// registration (HKEY_LOCAL_MACHINE, the registry view of the run): the
// installed size, and the version of the package it installed, by which a
// deployment tool tells that the package is installed.
#include <cstdint>
#include <string>

#include <optional>

#include "base/failure.h"
#include "base/setup_state.h"

namespace kavrel {

// How recording one value ended: the value recorded; nothing, when there
// was nothing to record; or the failure. Shows and logs nothing: the update
// flow does, from this.
using RegistryRecord = Result<std::optional<std::int32_t>>;

// Measures the application folder and records the size as "EstimatedSize",
// creating the key when missing. Nothing to record when the folder does not
// exist; a failure when the walk cannot begin for another reason, or the
// key cannot be written.
RegistryRecord RecordInstalledSize(const SetupState& state);

// Records the package's version as the REG_DWORD value `valueName` (the
// package file's name) in the application's own registration
// (`registrationKey`, below HKEY_LOCAL_MACHINE, where discovery found it:
// the native view or WOW6432Node), which goes when the application is
// removed, so that the value never outlives it. Nothing to record without a
// registration: a key that the installer creates holds "EstimatedSize"
// alone. Only once the package was installed, so that the value always
// describes the package that is there.
RegistryRecord RecordPackageVersion(const SetupState& state, const std::string& registrationKey,
                                    const std::string& valueName);

}  // namespace kavrel
