#include "lang/language_support.h"

#include <optional>
#include <utility>

#include "base/text.h"

namespace kavrel {

namespace {

// Reads from the first line to the header of key and then the value line
// into value, which stays empty when the key is missing. False when a read
// failed.
bool ReadValueLine(TextFileReader& file, const std::string& key, std::string& value) {
    for (;;) {
        std::optional<std::string> line = file.ReadLine();
        if (!line) return false;
        if (IsHeaderFor(*line, key)) {
            std::optional<std::string> next = file.ReadLine();
            if (!next) return false;
            value = std::move(*next);
            return true;
        }
        std::optional<bool> atEnd = file.AtEnd();
        if (!atEnd) return false;
        if (*atEnd) return true;
    }
}

// Appends each line as read, with "\r\n", up to the first blank line or the
// end of the file. False when a read failed; what was appended stays.
bool AppendContinuationLines(TextFileReader& file, std::string& text) {
    for (;;) {
        std::optional<std::string> line = file.ReadLine();
        if (!line) return false;
        if (IsBlank(*line)) return true;
        text += *line;
        text += kLanguageLineEnd;
        std::optional<bool> atEnd = file.AtEnd();
        if (!atEnd) return false;
        if (*atEnd) return true;
    }
}

void CutFinalLineEnd(std::string& text) {
    text.resize(text.size() >= kLanguageLineEnd.size() ? text.size() - kLanguageLineEnd.size() : 0);
}

}  // namespace

LanguageSupport::LanguageSupport(SetupState& setup, LanguagePlatform& platform) : setup_(setup), platform_(platform) {}

const std::string* LanguageSupport::FileName(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= languageFileNames.size()) return nullptr;
    return &languageFileNames[static_cast<std::size_t>(index)];
}

std::int32_t LanguageSupport::BaseLanguageIndex() const {
    return setup_.useRussian ? baseLanguageIndexRu : baseLanguageIndexEn;
}

TextOrigin LanguageSupport::BaseLanguageOrigin() const {
    return setup_.useRussian ? TextOrigin::RussianBaseFile : TextOrigin::EnglishBaseFile;
}

std::wstring LanguageSupport::LanguageFolder() const { return setup_.installDir + L"language\\"; }

void LanguageSupport::ReportLanguageFileError(const TextFileReader& file, const std::string& name) {
    platform_.ReportError(LanguageFileFailure(SystemText(name), file.SourceFailure()));
}

// A reader that failed is closed: its position means nothing any more, and
// a later read from it fails too instead of going on from there.
void LanguageSupport::Fail(TextFileReader& file, const std::string& name) {
    file.Close();
    ReportLanguageFileError(file, name);
}

std::string LanguageSupport::ReadBaseLanguageText(const std::string& key) {
    std::string result;
    const std::string* found = FileName(BaseLanguageIndex());
    if (!found) {
        // No base file: the answer is complete, and empty.
        multiLinePending = false;
        return result;
    }
    const std::string name = *found;
    baseLanguageFile.Attach(platform_.FileAt(LanguageFolder() + WideFromAscii(name)));
    if (!baseLanguageFile.Open() || !ReadValueLine(baseLanguageFile, key, result)) {
        Fail(baseLanguageFile, name);
        return result;
    }
    if (multiLinePending) {
        // Left open where it stands, for the continuation lines.
        multiLinePending = false;
    } else {
        baseLanguageFile.Close();
    }
    return result;
}

std::string LanguageSupport::ReadBaseLanguageLines(const std::string& key, bool skipFirstLine) {
    multiLinePending = true;
    const std::string* found = FileName(BaseLanguageIndex());
    if (!found) {
        multiLinePending = false;
        return {};
    }
    const std::string name = *found;
    std::string result = ReadBaseLanguageText(key) + std::string(kLanguageLineEnd);
    if (skipFirstLine) result.clear();
    if (!AppendContinuationLines(baseLanguageFile, result)) {
        Fail(baseLanguageFile, name);
        return result;
    }
    baseLanguageFile.Close();
    CutFinalLineEnd(result);
    return result;
}

ShownText LanguageSupport::GetLanguageText(const std::string& key) {
    std::string result;
    const std::string* found = FileName(setup_.languageFileIndex);
    if (!found) return {};
    if (!currentLanguageFile.Open() || !ReadValueLine(currentLanguageFile, key, result)) {
        // No fallback: the base file would hide a broken selected file.
        Fail(currentLanguageFile, *found);
        return {};
    }
    if (!result.empty()) return ShownText(result, TextOrigin::LanguageFile);
    // The base file answers, in its own language and code page.
    const TextOrigin base = BaseLanguageOrigin();
    return ShownText(multiLinePending ? ReadBaseLanguageLines(key, false) : ReadBaseLanguageText(key), base);
}

ShownText LanguageSupport::GetLanguageLines(const std::string& key, bool skipFirstLine) {
    const std::string* found = FileName(setup_.languageFileIndex);
    if (!found) return {};
    const std::string name = *found;
    multiLinePending = true;
    ShownText first = GetLanguageText(key);
    // No longer pending: the base file has given the whole text.
    if (!multiLinePending) return first;
    // Still pending: the selected file answered and stands after the value
    // line (or the lookup failed, and the read below fails as well).
    ShownText result;
    if (!skipFirstLine) result = first + ShownText(kLanguageLineEnd, TextOrigin::LanguageFile);
    std::string more;
    if (!AppendContinuationLines(currentLanguageFile, more)) {
        Fail(currentLanguageFile, name);
        return result + ShownText(more, TextOrigin::LanguageFile);
    }
    // Without the final line end, whichever piece it ends.
    if (more.empty()) return skipFirstLine ? ShownText() : first;
    CutFinalLineEnd(more);
    return result + ShownText(more, TextOrigin::LanguageFile);
}

ShownText LanguageSupport::FormatLanguageMessage(const std::string& key, const std::vector<ShownText>& arguments,
                                                 bool skipFirstLine) {
    return ReplacePlaceholders(GetLanguageLines(key, skipFirstLine), arguments);
}

std::int32_t LanguageSupport::ReadLanguageFileVersion(const std::wstring& path) {
    if (!platform_.FileExists(path)) return 0;
    TextFileReader file;
    file.Attach(platform_.FileAt(path));
    std::optional<std::int32_t> version;
    if (file.Open()) {
        std::string last;
        bool readable = true;
        for (;;) {
            std::optional<std::string> line = file.ReadLine();
            if (!line) {
                readable = false;
                break;
            }
            last = std::move(*line);
            if (IsHeaderFor(last, kLanguageVersionKey)) {
                // A failed read of the value line leaves nothing to convert.
                last = file.ReadLine().value_or(std::string());
                break;
            }
            std::optional<bool> atEnd = file.AtEnd();
            if (!atEnd) {
                readable = false;
                break;
            }
            if (*atEnd) break;
        }
        // Without a version section the file's last line is taken; a header
        // line never converts, so its trimmed form would not either.
        if (readable) version = TextToInt(last);
        file.Close();
    }
    if (!version) {
        platform_.ReportError(LanguageFileFailure(WideText(path), file.SourceFailure()));
        return 0;
    }
    return *version;
}

bool LanguageSupport::SelectLanguageFile(std::vector<std::string> names, std::int32_t baseIndexRu,
                                         std::int32_t baseIndexEn, std::int32_t selectedIndex,
                                         std::uint16_t messageLangId) {
    // Lookups give the built-in texts until the selection has succeeded.
    setup_.languageFileIndex = -1;
    currentLanguageFile.Close();
    languageFileNames = std::move(names);
    baseLanguageIndexRu = baseIndexRu;
    baseLanguageIndexEn = baseIndexEn;
    const std::string* found = FileName(selectedIndex);
    if (!found) return false;
    currentLanguageFile.Attach(platform_.FileAt(LanguageFolder() + WideFromAscii(*found)));
    if (!currentLanguageFile.Open()) {
        ReportLanguageFileError(currentLanguageFile, *found);
        return false;
    }
    setup_.messageLangId = messageLangId;
    setup_.languageFileIndex = selectedIndex;
    return true;
}

void LanguageSupport::ShutDown() {
    currentLanguageFile.Close();
    baseLanguageFile.Close();
    languageFileNames.clear();
    languageFileNames.shrink_to_fit();
}

}  // namespace kavrel
