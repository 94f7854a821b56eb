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

// The answer of a question that nobody could answer, because nobody could
// see it; no button has this id, so it is no answer of any kind.
constexpr int kNoOneAnswered = -1;
constexpr bool NoOneAnswered(int answer) { return answer == kNoOneAnswered; }

// Where a box goes. In a window station that nobody sees (a service's, or
// session 0 under a deployment tool running as SYSTEM), MessageBox would
// wait for ever for a button nobody can press.
enum class BoxRoute {
    Shown,              // MessageBox, where a user sees it
    SentToUserSession,  // to the signed-in user's session, nothing waited for
    Withheld,           // a question: nobody could answer it, so it is not asked
};

struct BoxHandling {
    BoxRoute route = BoxRoute::Shown;
    // What the run goes on with when the box is not shown: as if this
    // button had been pressed.
    int answer = 0;
    // MessageBox's flags for the box sent to the user's session: its icon
    // and OK alone, since no answer comes back.
    std::uint32_t sessionStyle = 0;
};

// What becomes of a box with these MessageBox flags. Where the station is
// visible every box is shown. Elsewhere a message (OK) goes to the user's
// session and counts as closed with OK; a failed write offered again
// (Retry/Cancel) goes there too and counts as Cancel; a question (Yes/No,
// or any other buttons) is withheld and answered kNoOneAnswered.
BoxHandling HandlingOfBox(bool stationVisible, std::uint32_t flags);

}  // namespace kavrel
