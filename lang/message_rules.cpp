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

}  // namespace kavrel
