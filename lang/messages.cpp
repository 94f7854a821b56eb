#include "lang/messages.h"

#include <windows.h>

#include <utility>

#include "app/setup_state.h"

namespace kavrel {

namespace {
MessageBoxHandler messageBoxHandler;
}

void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler = std::move(handler); }

int ShowMessageBox(const MessageBoxCall& call) {
    if (messageBoxHandler) return messageBoxHandler(call);
    if (call.extended)
        return ::MessageBoxExA(nullptr, call.text.c_str(), call.caption.c_str(), call.flags, call.languageId);
    return ::MessageBoxA(nullptr, call.text.c_str(), call.caption.c_str(), call.flags);
}

void ShowBilingualMessage(const std::string& englishText, const std::string& russianText) {
    const SetupState& state = CurrentSetup();
    ShowMessageBox(BilingualMessageCall(state.useRussian, englishText, russianText, state.titleEn, state.titleRu));
}

bool AskQuestion(QuestionLanguage language, const std::string& text, const std::string& caption) {
    return IsYesAnswer(ShowMessageBox(QuestionCall(language, text, caption, CurrentSetup().messageLangId)));
}

}  // namespace kavrel
