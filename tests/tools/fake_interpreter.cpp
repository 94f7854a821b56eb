// Plays a command interpreter that "ComSpec" may name, or that a test starts
// in its place: for "/c <command>" it writes a line naming the command to
// its standard output. FAKE_COMSPEC_DELAY_MS makes it wait that long first;
// with FAKE_COMSPEC_LOG set it adds the line "ended" to that file as its last
// act (the mark that it ran); with FAKE_COMSPEC_HANG set it then never ends,
// its output still open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
    std::size_t command = line.find(" /c ");
    if (command == std::string::npos) return 2;
    std::string commandText = line.substr(command + 4);
    std::string delay = Environment("FAKE_COMSPEC_DELAY_MS");
    if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
    // Text mode: each "\n" goes out as CR LF.
    std::printf("\nFake interpreter ran [%s]\n", commandText.c_str());
    std::fflush(stdout);
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
