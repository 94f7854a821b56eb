#pragma once
// Decisions of writing the package and measuring the installed size, as
// plain functions.
#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

// The temporary name beside a target: "~" inserted after the last backslash
// before the final character, or at the front when there is none.
std::string MakeTempName(std::string_view path);

// Errors with which Windows and Wine refuse to replace a file that another
// process holds open: worth waiting for while the application closes.
bool IsFileInUseError(std::uint32_t error);

// How long the final replace is retried while the file is in use: about 10 s.
constexpr std::uint32_t kReplaceRetryIntervalMs = 250;
constexpr int kReplaceRetryAttempts = 40;

// A folder's total size in whole KiB, capped at the largest value the
// registry's signed size can hold.
std::int32_t SizeInKiB(std::uint64_t totalBytes);

}  // namespace kavrel
