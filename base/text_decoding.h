#pragma once
// Decoding of the installer's 8-bit texts into the wide characters that the
// wide ("W") functions of Windows show, and back. Windows only.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/shown_text.h"

namespace kavrel {

// The bytes decoded from the code page; when the system cannot decode with
// it (a code page it does not have), from the system's ANSI code page. A
// byte that has no character in the code page becomes the system's default
// character, never ends the text.
std::wstring DecodeBytes(std::string_view bytes, unsigned codePage);

// Wide characters in the code page (kUtf8CodePage for UTF-8); a character
// the code page lacks becomes the system's default character.
std::string EncodeText(std::wstring_view text, unsigned codePage);

// Every piece decoded from the code page of its origin (CodePageOf) and
// joined.
std::wstring DecodeShownText(const ShownText& text, unsigned languageFileCodePage);

// The ANSI code page of a language (GetLocaleInfo with
// LOCALE_IDEFAULTANSICODEPAGE); kSystemCodePage when the system cannot tell.
unsigned LanguageCodePage(std::uint16_t languageId);

}  // namespace kavrel
