#pragma once
// How every message box of the installer is composed: which text of a
// bilingual pair, which caption, flags and language id.
#include <cstdint>
#include <string>

#include "base/shown_text.h"

namespace kavrel {

// MB_OK | MB_ICONERROR | MB_SERVICE_NOTIFICATION.
constexpr std::uint32_t kErrorBoxFlags = 0x00200010;
// MB_RETRYCANCEL | MB_ICONERROR | MB_SERVICE_NOTIFICATION: a failed write
// that the user may try again.
constexpr std::uint32_t kRetryErrorBoxFlags = 0x00200015;
// The Retry button.
constexpr int kIdRetry = 4;
// MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST.
constexpr std::uint32_t kQuestionFlags = 0x00042024;
// LANG_RUSSIAN, neutral sublanguage: passed with every Russian box.
constexpr std::uint16_t kRussianLanguageId = 25;
// The button that alone counts as yes.
constexpr int kIdYes = 6;

// One box to show: MessageBoxExW with languageId when extended, else
// MessageBoxW; each piece of the texts is decoded from its own code page.
struct MessageBoxCall {
    ShownText text;
    ShownText caption;
    std::uint32_t flags = 0;
    bool extended = false;
    std::uint16_t languageId = 0;
};

// The language branch of a question.
enum class QuestionLanguage { Russian, English, LanguageFile };

// The error box of a bilingual pair: the Russian text with the Russian
// caption, or the English text with the English caption.
MessageBoxCall BilingualMessageCall(bool useRussian, const ShownText& englishText, const ShownText& russianText,
                                    const ShownText& titleEn, const ShownText& titleRu);

// A yes/no question in the given branch; messageLangId serves the language-file branch.
MessageBoxCall QuestionCall(QuestionLanguage language, const ShownText& text, const ShownText& caption,
                            std::uint16_t messageLangId = 0xFFFF);

// A box's answer as the log names it: "yes", "no", "ok", "cancel",
// "retry", "none" for a box that did not appear, else the number.
std::string AnswerName(int answer);

// The log's line of a box: its caption, its text and the answer.
ShownText BoxLogLine(const MessageBoxCall& call, int answer);

// Only IDYES is yes: IDNO, and 0 for a box that did not appear, are no.
constexpr bool IsYesAnswer(int answer) { return answer == kIdYes; }

}  // namespace kavrel
