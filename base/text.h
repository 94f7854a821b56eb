#pragma once
// Text helpers shared by every module. Texts are 8-bit strings in the
// system's ANSI code page (Windows-1251 for the Russian ones).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// Text to a signed 32-bit integer: leading blanks skipped, an optional sign,
// then decimal digits, or hexadecimal ones after "$" or "0x". Anything else,
// an empty text or a value out of range gives nullopt.
std::optional<std::int32_t> TextToInt(std::string_view text);

// Appends a backslash to a non-empty text that does not end with one.
void AddTrailingBackslash(std::string& text);

// A copy with A-Z lowered to a-z; no other character changes.
std::string LowerAscii(std::string_view text);

// True when the text has nothing but blanks and control characters.
bool IsBlank(std::string_view text);

}  // namespace kavrel
