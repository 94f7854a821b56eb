// Plays the command interpreter for the console-command tests: for
// "/c <command> > "<file>"" it writes a line naming the command into the
// file. FAKE_COMSPEC_DELAY_MS makes it wait that long first; with
// FAKE_COMSPEC_LOG set it adds the line "ended" to that file as its last act;
// with FAKE_COMSPEC_HANG set it then never ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Environment(const char* name) {
    char value[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

}  // namespace

int main() {
    std::string line = ::GetCommandLineA();
    std::size_t arrow = line.rfind("> \"");
    std::size_t command = line.find(" /c ");
    if (arrow == std::string::npos || command == std::string::npos) return 2;
    std::string file = line.substr(arrow + 3);
    if (!file.empty() && file.back() == '"') file.pop_back();
    std::string commandText = line.substr(command + 4, arrow - command - 5);
    std::string delay = Environment("FAKE_COMSPEC_DELAY_MS");
    if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 3;
    std::fprintf(out, "\r\nFake interpreter ran [%s]\r\n", commandText.c_str());
    std::fclose(out);
    if (!Environment("FAKE_COMSPEC_HANG").empty()) ::Sleep(INFINITE);
    std::string log = Environment("FAKE_COMSPEC_LOG");
    if (!log.empty()) {
        if (FILE* ended = std::fopen(log.c_str(), "ab")) {
            std::fputs("ended\n", ended);
            std::fclose(ended);
        }
    }
    return 0;
}
