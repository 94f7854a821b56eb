// The program the dialog tool's own test drives: it shows the same kinds of
// message boxes as the installer (Windows-1251 texts through the ANSI calls,
// no owner window) and turns the answers into its exit code, so the test can
// see that the tool read each box right and pressed what it was told.
#include <windows.h>

#include <cstring>

namespace {

constexpr UINT kErrorStyle = MB_OK | MB_ICONERROR | MB_SERVICE_NOTIFICATION;
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST;
constexpr WORD kRussian = LANG_RUSSIAN;

// The installer's English error box.
int ErrorEnglish() {
    return ::MessageBoxA(nullptr, "Line one\r\nLine two", "Lexova update", kErrorStyle);
}

// The installer's Russian error box.
int ErrorRussian() {
    return ::MessageBoxA(nullptr, "Не удалось прочитать файл.\r\nОбновление прервано.",
                         "Обновление Lexova", kErrorStyle);
}

// The installer's yes/no question: 11 for "yes", 10 for anything else.
int Question() {
    int answer = ::MessageBoxExA(nullptr, "Установить обновление Lexova сейчас?\r\n\r\nЁлки, «да» или «нет»?",
                                 "Резонный вопрос", kQuestionStyle, kRussian);
    return 10 + (answer == IDYES ? 1 : 0);
}

// The English question, a text with a backslash and a tab in it.
int QuestionEnglish() {
    int answer = ::MessageBoxExA(nullptr, "Replace C:\\Lexova\\lexova.exe?\tSure?", "Sound question",
                                 kQuestionStyle, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    return 10 + (answer == IDYES ? 1 : 0);
}

// Four boxes of other kinds in a row; the exit code holds each answer as one
// decimal digit (the MessageBox result), the first box's answer leading.
int OtherKinds() {
    const UINT styles[] = {MB_OKCANCEL | MB_ICONWARNING, MB_ABORTRETRYIGNORE | MB_ICONINFORMATION,
                           MB_RETRYCANCEL, MB_YESNOCANCEL | MB_ICONQUESTION};
    int code = 0;
    int number = 1;
    for (UINT style : styles) {
        char text[] = "Box 0";
        text[4] = static_cast<char>('0' + number++);
        code = code * 10 + ::MessageBoxA(nullptr, text, "Kinds", style);
    }
    return code;
}

}  // namespace

// The first argument names what to show; an unknown one shows nothing.
// A GUI program (-mwindows) may still have main with MinGW's start-up code.
int main(int argc, char** argv) {
    if (argc < 2) return 100;
    const char* what = argv[1];
    if (std::strcmp(what, "error-en") == 0) return 20 + ErrorEnglish();
    if (std::strcmp(what, "error-ru") == 0) return 20 + ErrorRussian();
    if (std::strcmp(what, "question") == 0) return Question();
    if (std::strcmp(what, "question-en") == 0) return QuestionEnglish();
    // The installer's usual path: an error, then the question.
    if (std::strcmp(what, "error-then-question") == 0) {
        ErrorEnglish();
        return Question();
    }
    if (std::strcmp(what, "kinds") == 0) return OtherKinds();
    if (std::strcmp(what, "silent") == 0) return 7;
    // Never ends by itself: the tool's time limit must end it.
    if (std::strcmp(what, "hang") == 0) {
        ::Sleep(INFINITE);
        return 0;
    }
    return 101;
}
