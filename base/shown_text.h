#pragma once
// Texts that a person reads, kept as the 8-bit pieces they are joined from,
// each tagged with where it came from. The bytes of a piece mean something
// only in the code page of its origin: the program's own literals are
// Windows-1251, what the "A" calls of Windows return is in the system's ANSI
// code page, and a language support file is in the code page of its
// language. Joining them as bytes and showing the result in one code page
// garbles every piece whose code page differs, so the pieces stay apart until
// each is decoded on its own, right before the text is shown.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel {

// Where the bytes of a piece come from. A language file's text keeps which
// file it came from: a key missing from the selected file is answered by the
// base file of the message language, whose code page may differ from the
// selected language's (a German file is 1252, the Russian base file 1251).
enum class TextOrigin : std::uint8_t {
    Program,          // written into the program: Windows-1251
    System,           // returned by Windows: the system's ANSI code page
    LanguageFile,     // read from the selected language file: its language's code page
    RussianBaseFile,  // read from the Russian base language file: Windows-1251
    EnglishBaseFile,  // read from the English base language file: Windows-1252
    Unicode,          // returned by Windows in UTF-16 (error texts, program names), kept as UTF-8
};

// A run of bytes of one origin.
struct TextPiece {
    std::string bytes;
    TextOrigin origin = TextOrigin::Program;
    friend bool operator==(const TextPiece&, const TextPiece&) = default;
};

// A text to show, as its pieces in order. Neighbouring pieces of the same
// origin are merged and empty pieces dropped, so two texts with the same
// characters from the same origins compare equal however they were joined.
class ShownText {
public:
    ShownText() = default;
    // A literal of the program. Only literals convert by themselves: text
    // held in a std::string says where it came from (ProgramText, SystemText,
    // LanguageFileText).
    ShownText(const char* programLiteral);  // NOLINT(google-explicit-constructor)
    ShownText(std::string_view bytes, TextOrigin origin);

    ShownText& operator+=(const ShownText& more);
    friend ShownText operator+(ShownText left, const ShownText& right) { return left += right; }
    friend bool operator==(const ShownText&, const ShownText&) = default;

    const std::vector<TextPiece>& Pieces() const noexcept { return pieces_; }
    // The pieces' bytes joined, as the "A" calls would have been given them.
    std::string Bytes() const;
    bool Empty() const noexcept { return pieces_.empty(); }

private:
    void Append(std::string_view bytes, TextOrigin origin);

    std::vector<TextPiece> pieces_;
};

// A text held by the program itself (titles, captions, the package title).
ShownText ProgramText(std::string_view bytes);
// A text that Windows returned through an "A" call: paths, registry values.
ShownText SystemText(std::string_view bytes);
// A text read from the selected language support file.
ShownText LanguageFileText(std::string_view bytes);
// A text that Windows returned through a "W" call, converted to UTF-8.
ShownText UnicodeText(std::string_view utf8);
// A text that Windows gave in UTF-16 (a path, the command line), shown or
// logged whole on any code page.
ShownText WideText(std::wstring_view text);

// The code page of the program's literals.
constexpr unsigned kProgramCodePage = 1251;
// The ANSI code pages of the two base languages: Russian and English.
constexpr unsigned kRussianCodePage = 1251;
constexpr unsigned kEnglishCodePage = 1252;
// CP_ACP: the system's ANSI code page.
constexpr unsigned kSystemCodePage = 0;
// CP_UTF8: the code page of the texts that Windows gave in UTF-16.
constexpr unsigned kUtf8CodePage = 65001;

// The code page to decode a piece of that origin with; languageFileCodePage
// is the ANSI code page of the selected language file's language,
// kSystemCodePage when it is not known. The base files have their own.
unsigned CodePageOf(TextOrigin origin, unsigned languageFileCodePage);

// The ANSI code page that the system names for a language (the digits of
// LOCALE_IDEFAULTANSICODEPAGE); kSystemCodePage when the answer is missing,
// not a number, or 0 (a language written in Unicode only).
unsigned LanguageCodePageFromLocaleInfo(std::string_view localeInfo);

}  // namespace kavrel
