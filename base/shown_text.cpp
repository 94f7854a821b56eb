#include "base/shown_text.h"

#include "base/text.h"

namespace kavrel {

ShownText::ShownText(const char* programLiteral) : ShownText(std::string_view(programLiteral), TextOrigin::Program) {}

ShownText::ShownText(std::string_view bytes, TextOrigin origin) { Append(bytes, origin); }

void ShownText::Append(std::string_view bytes, TextOrigin origin) {
    if (bytes.empty()) return;
    if (!pieces_.empty() && pieces_.back().origin == origin) pieces_.back().bytes += bytes;
    else pieces_.push_back({std::string(bytes), origin});
}

ShownText& ShownText::operator+=(const ShownText& more) {
    // A copy first: `more` may be this very text.
    const std::vector<TextPiece> added = more.pieces_;
    for (const TextPiece& piece : added) Append(piece.bytes, piece.origin);
    return *this;
}

std::string ShownText::Bytes() const {
    std::string joined;
    for (const TextPiece& piece : pieces_) joined += piece.bytes;
    return joined;
}

ShownText ProgramText(std::string_view bytes) { return {bytes, TextOrigin::Program}; }
ShownText SystemText(std::string_view bytes) { return {bytes, TextOrigin::System}; }
ShownText LanguageFileText(std::string_view bytes) { return {bytes, TextOrigin::LanguageFile}; }
ShownText UnicodeText(std::string_view utf8) { return {utf8, TextOrigin::Unicode}; }
ShownText WideText(std::wstring_view text) { return UnicodeText(Utf8FromWide(text)); }

unsigned CodePageOf(TextOrigin origin, unsigned languageFileCodePage) {
    switch (origin) {
        case TextOrigin::Program:
            return kProgramCodePage;
        case TextOrigin::LanguageFile:
            return languageFileCodePage;
        case TextOrigin::RussianBaseFile:
            return kRussianCodePage;
        case TextOrigin::EnglishBaseFile:
            return kEnglishCodePage;
        case TextOrigin::Unicode:
            return kUtf8CodePage;
        case TextOrigin::System:
            break;
    }
    return kSystemCodePage;
}

unsigned LanguageCodePageFromLocaleInfo(std::string_view localeInfo) {
    const std::optional<std::int32_t> codePage = TextToInt(localeInfo);
    return codePage && *codePage > 0 ? static_cast<unsigned>(*codePage) : kSystemCodePage;
}

}  // namespace kavrel
