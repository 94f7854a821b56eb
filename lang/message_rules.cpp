#include "lang/message_rules.h"

namespace kavrel {

MessageBoxCall BilingualMessageCall(bool useRussian, const ShownText& englishText, const ShownText& russianText,
                                    const ShownText& titleEn, const ShownText& titleRu) {
    if (useRussian) return {russianText, titleRu, kErrorBoxFlags, true, kRussianLanguageId};
    return {englishText, titleEn, kErrorBoxFlags, false, 0};
}

MessageBoxCall QuestionCall(QuestionLanguage language, const ShownText& text, const ShownText& caption,
                            std::uint16_t messageLangId) {
    switch (language) {
        case QuestionLanguage::Russian:
            return {text, caption, kQuestionFlags, true, kRussianLanguageId};
        case QuestionLanguage::LanguageFile:
            return {text, caption, kQuestionFlags, true, messageLangId};
        case QuestionLanguage::English:
            break;
    }
    return {text, caption, kQuestionFlags, false, 0};
}

std::string AnswerName(int answer) {
    switch (answer) {
        case kNoOneAnswered: return "nobody could answer (no visible window station)";
        case 0: return "none";
        case 1: return "ok";
        case 2: return "cancel";
        case kIdRetry: return "retry";
        case kIdYes: return "yes";
        case 7: return "no";
        default: return std::to_string(answer);
    }
}

ShownText BoxLogLine(const MessageBoxCall& call, int answer) {
    return "box: " + call.caption + " | " + call.text + " | answer: " + ProgramText(AnswerName(answer));
}

BoxHandling HandlingOfBox(bool stationVisible, std::uint32_t flags) {
    if (stationVisible) return {};
    constexpr std::uint32_t kButtonsMask = 0x0000000F;  // MB_TYPEMASK
    constexpr std::uint32_t kIconMask = 0x000000F0;     // MB_ICONMASK
    constexpr std::uint32_t kOkOnly = 0x00000000;       // MB_OK
    constexpr std::uint32_t kRetryCancel = 0x00000005;  // MB_RETRYCANCEL
    constexpr int kIdOk = 1;
    constexpr int kIdCancel = 2;
    const std::uint32_t sessionStyle = (flags & kIconMask) | kOkOnly;
    switch (flags & kButtonsMask) {
        case kOkOnly:
            return {BoxRoute::SentToUserSession, kIdOk, sessionStyle};
        case kRetryCancel:
            // Nobody can close the other program that holds the file: the
            // user learns of the failure, the run goes on without retrying.
            return {BoxRoute::SentToUserSession, kIdCancel, sessionStyle};
        default:
            return {BoxRoute::Withheld, kNoOneAnswered, 0};
    }
}

}  // namespace kavrel
