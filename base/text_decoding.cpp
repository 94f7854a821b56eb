#include "base/text_decoding.h"

#include <windows.h>

#include <limits>

namespace kavrel {

namespace {

// The decoded text, or nothing when the system cannot decode with the code page.
bool TryDecode(std::string_view bytes, unsigned codePage, std::wstring& decoded) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return false;
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, result.data(), needed);
    if (written != needed) return false;
    decoded = std::move(result);
    return true;
}

}  // namespace

std::wstring DecodeBytes(std::string_view bytes, unsigned codePage) {
    std::wstring decoded;
    if (!bytes.empty() && !TryDecode(bytes, codePage, decoded)) TryDecode(bytes, CP_ACP, decoded);
    return decoded;
}

std::wstring DecodeShownText(const ShownText& text, unsigned languageFileCodePage) {
    std::wstring decoded;
    for (const TextPiece& piece : text.Pieces())
        decoded += DecodeBytes(piece.bytes, CodePageOf(piece.origin, languageFileCodePage));
    return decoded;
}

unsigned LanguageCodePage(std::uint16_t languageId) {
    char answer[8] = {};
    const LCID locale = MAKELCID(languageId, SORT_DEFAULT);
    const int got = ::GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, answer, sizeof answer);
    // The count includes the terminating NUL.
    if (got <= 1 || got > static_cast<int>(sizeof answer)) return kSystemCodePage;
    return LanguageCodePageFromLocaleInfo(std::string_view(answer, static_cast<std::size_t>(got - 1)));
}

std::string EncodeText(std::wstring_view text, unsigned codePage) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string encoded(static_cast<std::size_t>(length), '\0');
    const int written =
        ::WideCharToMultiByte(codePage, 0, text.data(), wideLength, encoded.data(), length, nullptr, nullptr);
    return written == length ? encoded : std::string();
}

}  // namespace kavrel
