#pragma once
// Version probes of installed files. They only read, never raise and never
// show anything: every problem gives 0 or the empty text.
#include <cstdint>
#include <string>

namespace kavrel {

// The unsigned 16-bit version at offset 6 of a package file.
std::int32_t ReadPakVersion(const std::wstring& path);
// The unsigned 16-bit version at offset 5 of an "rdw" file.
std::int32_t ReadRdwVersion(const std::wstring& path);
// The unsigned 8-bit version at offset 6 of an "mzv" file.
std::int32_t ReadMzvVersion(const std::wstring& path);

// The "FileVersion" text of a program's version resource, in its first
// translation; empty for data files and programs without one.
std::string ReadFileVersionText(const std::wstring& path);

}  // namespace kavrel
