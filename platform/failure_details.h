#pragma once
// What the system can tell about a failed file operation, for the message
// that reports it: the error's description and the programs that hold a
// file. Both come from Windows in UTF-16 and are given as UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"

namespace kavrel {

// The system's description of a Windows error in the language `languageId`
// (else the system's own), without its line end; empty when there is none.
std::string SystemErrorText(std::uint32_t error, std::uint16_t languageId);

// The programs other than this one that hold any of the files at `paths`
// open, in any session, as Restart Manager names them; empty when none is
// known (no Restart Manager before Windows Vista, or it lists none, as
// under Wine).
std::vector<FileHolder> ProgramsHoldingFiles(const std::vector<std::wstring>& paths);

// The free space that the volume of `folder` offers this process (quotas
// counted), in bytes; nothing when it cannot be told.
std::optional<std::uint64_t> FreeSpaceOf(const std::wstring& folder);

}  // namespace kavrel
