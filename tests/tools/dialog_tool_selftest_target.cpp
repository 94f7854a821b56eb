// The program the dialog tool's own test drives: it shows the same kinds of
// message boxes as the installer (Windows-1251 texts through the ANSI calls,
// no owner window) and turns the answers into its exit code, so the test can
// see that the tool read each box right and pressed what it was told.
#include <windows.h>

#include <cstring>
#include <string>

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

HHOOK g_pinHook = nullptr;

// Raises each dialog of this thread above all others as it is activated.
LRESULT CALLBACK PinDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        auto window = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        ::GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0)
            ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return ::CallNextHookEx(g_pinHook, code, wParam, lParam);
}

// The English question with its box made topmost by the program itself: Wine 8
// ignores MB_TOPMOST, so this is how a topmost box is had under every Wine.
int PinnedQuestion() {
    g_pinHook = ::SetWindowsHookExA(WH_CBT, PinDialogs, nullptr, ::GetCurrentThreadId());
    int result = QuestionEnglish();
    if (g_pinHook) ::UnhookWindowsHookEx(g_pinHook);
    return result;
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

// Shows the arguments after the first, each in brackets, so that the test
// sees them as the program got them.
int ShowArguments(int argc, char** argv) {
    std::string text;
    for (int i = 2; i < argc; ++i) text += std::string("[") + argv[i] + "]";
    ::MessageBoxA(nullptr, text.c_str(), "Arguments", MB_OK);
    return argc - 2;
}

}  // namespace

// The first argument names what to show; an unknown one shows nothing and
// ends with 101. The error boxes end with 20 + the MessageBox result.
// A GUI program (-mwindows) may still have main with MinGW's start-up code.
int main(int argc, char** argv) {
    if (argc < 2) return 100;
    const char* what = argv[1];
    if (std::strcmp(what, "error-en") == 0) return 20 + ErrorEnglish();
    if (std::strcmp(what, "error-ru") == 0) return 20 + ErrorRussian();
    if (std::strcmp(what, "question") == 0) return Question();
    if (std::strcmp(what, "question-en") == 0) return QuestionEnglish();
    if (std::strcmp(what, "question-pinned") == 0) return PinnedQuestion();
    // Two boxes in a row, to be answered in order.
    if (std::strcmp(what, "error-then-question") == 0) {
        ErrorEnglish();
        return Question();
    }
    if (std::strcmp(what, "kinds") == 0) return OtherKinds();
    if (std::strcmp(what, "arguments") == 0) return ShowArguments(argc, argv);
    if (std::strcmp(what, "silent") == 0) return 7;
    // Never ends by itself: the tool's time limit must end it.
    if (std::strcmp(what, "hang") == 0) {
        ::Sleep(INFINITE);
        return 0;
    }
    return 101;
}
