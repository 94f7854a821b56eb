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
void AddTrailingBackslash(std::wstring& text);

// A UTF-16 text's ASCII characters, every other one as "?": for switches
// and keywords, which are ASCII, taken from a wide command line.
std::string NarrowAscii(std::wstring_view text);

// A UTF-16 text (as Windows gives paths) in UTF-8; a surrogate without its
// pair becomes U+FFFD. Where wchar_t is wider (a native build), a character
// beyond U+FFFF may also stand as one unit.
std::string Utf8FromWide(std::wstring_view text);

// An ASCII text (a name of the program's own) in UTF-16.
std::wstring WideFromAscii(std::string_view text);

// A copy with A-Z lowered to a-z; no other character changes.
std::string LowerAscii(std::string_view text);

// True when the text has nothing but blanks and control characters.
bool IsBlank(std::string_view text);

// The path to open a folder by: without trailing backslashes, but a drive's
// root keeps one ("C:\\"), since "C:" names the drive's current folder.
std::wstring FolderToOpen(std::wstring_view folder);

// A file path cut at its last backslash: the folder, as FolderToOpen gives
// it, and the file's name. Without a backslash the folder is empty.
struct FilePathParts {
    std::wstring folder;
    std::wstring name;
};
FilePathParts SplitFilePath(std::wstring_view path);

}  // namespace kavrel
