#include "install/version_rules.h"

#include "base/text.h"

namespace kavrel {

namespace {

// Takes the component before the first dot off `text` when the dot is not
// its first character. Returns false when that component does not convert;
// `value` is left as it was when there is no such component.
bool TakeComponent(std::string& text, std::int32_t& value) {
    std::size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0) return true;
    std::optional<std::int32_t> converted = TextToInt(std::string_view(text).substr(0, dot));
    if (!converted) return false;
    value = *converted;
    text.erase(0, dot + 1);
    return true;
}

}  // namespace

bool IsOlderVersion(std::string first, std::string second) {
    std::int32_t a = 0;
    std::int32_t b = 0;
    bool older = false;
    for (int pass = 0; pass < 3; ++pass) {
        if (!TakeComponent(second, b)) return older;
        if (!TakeComponent(first, a)) return true;
        older = a < b;
        if (a != b) return older;
    }
    std::optional<std::int32_t> lastSecond = TextToInt(second);
    if (!lastSecond) return false;
    std::optional<std::int32_t> lastFirst = TextToInt(first);
    if (!lastFirst) return true;
    return *lastFirst < *lastSecond;
}

std::optional<VersionField> VersionFieldOfKind(std::string_view kind) {
    if (kind == "pak") return VersionField{6, 2};
    if (kind == "rdw") return VersionField{5, 2};
    if (kind == "mzv") return VersionField{6, 1};
    return std::nullopt;
}

bool IsVersionedKind(std::string_view kind) {
    return kind == "pak" || kind == "mzv" || kind == "lng" || kind == "rdw";
}

std::int32_t VersionFromField(const std::uint8_t* bytes, std::uint32_t read, const VersionField& field) {
    if (read != field.width) return 0;
    std::int32_t value = bytes[0];
    if (field.width == 2) value |= static_cast<std::int32_t>(bytes[1]) << 8;
    return value;
}

MessageBoxCall OlderVersionQuestion(bool useRussian, const std::wstring& target, const std::string& installedVersion,
                                    const std::string& newVersion) {
    // The path and the versions are what Windows returned for the files.
    const ShownText shownTarget = WideText(target);
    const ShownText installed = SystemText(installedVersion);
    const ShownText offered = SystemText(newVersion);
    if (useRussian)
        return QuestionCall(QuestionLanguage::Russian,
                            "Устанавливаемый файл " + shownTarget + "\r\n" +
                                "более старой версии, чем уже установленный.\r\n\r\n" +
                                "Действительно ли Вы хотите заменить уже имеющийся\r\n" + "файл версии " + installed +
                                " на более старый версии " + offered + "?",
                            "Резонный вопрос");
    return QuestionCall(QuestionLanguage::English,
                        shownTarget + " file installing is of older version\r\n" +
                            "than the same already installed.\r\n\r\n" + "Do you really want to replace existing\r\n" +
                            "new file version " + installed + " with an older file version " + offered + "?",
                        "Sound question");
}

}  // namespace kavrel
