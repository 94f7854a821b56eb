// Times an interactive installer run from its start to its first question:
// starts the program, watches for its first visible message box the way the
// dialog tool does (a visible "#32770" window of the process, looked for
// every 2 ms), answers it "No" (or "OK" when it has no "No") and waits for
// the end. Prints "ms=<time to the box> exit=<exit code> caption=<the box's
// caption, UTF-8>".
//   bench_first_question.exe [--no-comspec] <program.exe> [arguments...]
// --no-comspec starts the program without the "ComSpec" variable, so that
// it cannot run a console command.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "started_program.h"

namespace {

constexpr DWORD kPollMs = 2;
constexpr DWORD kLimitMs = 120000;

struct Search {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM searchPointer) {
    auto* search = reinterpret_cast<Search*>(searchPointer);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    if (owner == search->processId && ::IsWindowVisible(window) &&
        ::GetClassNameA(window, className, sizeof className) && std::strcmp(className, "#32770") == 0) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

std::string Utf8Caption(HWND box) {
    wchar_t text[512] = {};
    int length = ::GetWindowTextW(box, text, 512);
    char utf8[2048] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, sizeof utf8 - 1, nullptr, nullptr);
    return utf8;
}

// The command line after this program's name and its own option.
std::string ProgramCommandLine(bool& noComSpec) {
    const char* line = kavrel::bench::AfterFirstWord(::GetCommandLineA());
    noComSpec = std::strncmp(line, "--no-comspec", 12) == 0 && (line[12] == ' ' || line[12] == '\t');
    if (noComSpec) {
        line += 12;
        while (*line == ' ' || *line == '\t') ++line;
    }
    return line;
}

}  // namespace

int main() {
    bool noComSpec = false;
    std::string commandLine = ProgramCommandLine(noComSpec);
    if (commandLine.empty()) {
        std::fprintf(stderr, "usage: bench_first_question.exe [--no-comspec] <program.exe> [arguments...]\n");
        return 2;
    }
    // The program inherits this environment.
    if (noComSpec) ::SetEnvironmentVariableA("ComSpec", nullptr);

    std::optional<kavrel::bench::StartedProgram> started =
        kavrel::bench::StartProgram("bench_first_question", commandLine);
    if (!started) return 1;
    const HANDLE process = started->process.get();
    double seenMs = -1;
    std::string caption;
    bool ended = false;
    while (!ended && started->clock.ElapsedMs() < kLimitMs) {
        Search search{started->processId, nullptr};
        ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.box) {
            seenMs = started->clock.ElapsedMs();
            caption = Utf8Caption(search.box);
            HWND no = ::GetDlgItem(search.box, IDNO);
            HWND button = no ? no : ::GetDlgItem(search.box, IDOK);
            // Posted: Wine hides the box only after a wait that a sent message would share.
            if (button) ::PostMessageA(button, BM_CLICK, 0, 0);
            else ::PostMessageA(search.box, WM_CLOSE, 0, 0);
            break;
        }
        ended = ::WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0;
    }
    if (::WaitForSingleObject(process, kLimitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 10000);
        std::fprintf(stderr, "bench_first_question: the program did not end; it was ended\n");
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process, &exitCode);
    std::printf("ms=%.3f exit=%lu caption=%s\n", seenMs, exitCode, caption.c_str());
    return seenMs < 0 ? 1 : 0;
}
