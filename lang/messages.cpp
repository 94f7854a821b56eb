#include "lang/messages.h"

#include <windows.h>

#include <utility>

#include "base/setup_state.h"
#include "base/text_decoding.h"
#include "platform/run_log.h"
#include "platform/window_station.h"
#include "ui/progress_window.h"

namespace kavrel {

namespace {
MessageBoxHandler messageBoxHandler;

bool HasLanguageFilePiece(const ShownText& text) {
    for (const TextPiece& piece : text.Pieces())
        if (piece.origin == TextOrigin::LanguageFile) return true;
    return false;
}

// Every box of the installer ends here, decoded: shown, sent to the
// signed-in user's session, or withheld as a question that nobody could
// answer. Returns the answer the run goes on with.
int DeliverBox(const MessageBoxCall& call, const std::wstring& text, const std::wstring& caption) {
    const BoxHandling handling = HandlingOfBox(WindowStationIsVisible(), call.flags);
    switch (handling.route) {
        case BoxRoute::Shown:
            break;
        case BoxRoute::SentToUserSession:
            // Whether it arrived or not (nobody signed in), the run goes on
            // as after OK.
            SendToActiveSessions(caption, text, handling.sessionStyle);
            return handling.answer;
        case BoxRoute::Withheld:
            return handling.answer;
    }
    if (call.extended) return ::MessageBoxExW(nullptr, text.c_str(), caption.c_str(), call.flags, call.languageId);
    return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), call.flags);
}

int AskWindows(const MessageBoxCall& call) {
    if (messageBoxHandler) return messageBoxHandler(call);
    // Only texts of a language file need the code page of its language.
    const unsigned languageFileCodePage = HasLanguageFilePiece(call.text) || HasLanguageFilePiece(call.caption)
                                              ? LanguageCodePage(CurrentSetup().messageLangId)
                                              : kSystemCodePage;
    const std::wstring text = DecodeShownText(call.text, languageFileCodePage);
    const std::wstring caption = DecodeShownText(call.caption, languageFileCodePage);
    return DeliverBox(call, text, caption);
}
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler = std::move(handler); }

int ShowMessageBox(const MessageBoxCall& call) {
    // The progress window stays above other windows: it must never cover a
    // question or an error. Whoever wants it back shows it again.
    HideProgressWindow();
    const int answer = AskWindows(call);
    LogLine(BoxLogLine(call, answer));
    return answer;
}

int ShowBilingualMessage(const ShownText& englishText, const ShownText& russianText, std::uint32_t flags) {
    const SetupState& state = CurrentSetup();
    MessageBoxCall call = BilingualMessageCall(state.useRussian, englishText, russianText, ProgramText(state.titleEn),
                                               ProgramText(state.titleRu));
    call.flags = flags;
    return ShowMessageBox(call);
}

}  // namespace kavrel
