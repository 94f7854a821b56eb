#include "app/update_rules.h"

#include "base/windows_codes.h"

#include "base/setup_state.h"
#include "base/text.h"

namespace kavrel {

bool InstanceProbeFindsCopy(bool created, std::uint32_t error) {
    return created ? error == win32::kAlreadyExists : error == win32::kAccessDenied;
}

bool IsQuietSwitch(std::string_view commandSwitch) { return commandSwitch == "modest"; }

bool AsksToRunApp(std::string_view secondArgument) { return LowerAscii(secondArgument) == "runapp"; }

bool ShowsProgress(std::string_view commandSwitch) { return !IsQuietSwitch(commandSwitch); }

ProgressTexts LongStepTexts(const SetupState& state, LongStep step) {
    const bool checking = step == LongStep::Checking;
    if (state.useRussian)
        return {ProgramText(state.titleRu),
                checking ? "Проверка пакета установки..." : "Установка обновления..."};
    return {ProgramText(state.titleEn), checking ? "Checking the installation package..." : "Installing the update..."};
}

MessageBoxCall ConfirmationQuestion(const SetupState& state) {
    if (state.useRussian)
        return QuestionCall(QuestionLanguage::Russian,
                            "Вы действительно хотите установить\r\n" + ProgramText(state.titleRu) + " -\r\n" +
                                ProgramText(state.packageCaption) + "?",
                            "Резонный вопрос");
    return QuestionCall(QuestionLanguage::English,
                        "Would you like to setup\r\n" + ProgramText(state.titleEn) + " -\r\n" +
                            ProgramText(state.packageCaption) + "?",
                        "Sound question");
}

MessageBoxCall FinalQuestion(const SetupState& state) {
    return QuestionCall(QuestionLanguage::Russian,
                        "На Ваш компьютер установлено\r\n" + ProgramText(state.titleRu) + " -\r\n" +
                            ProgramText(state.packageCaption) + "\r\n\r\nЗапустить программу?",
                        ProgramText(state.titleEn));
}

}  // namespace kavrel
