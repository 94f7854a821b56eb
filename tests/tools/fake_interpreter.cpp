// Plays the command interpreter for the console-command tests: for
// "/c <command> > "<file>"" it writes a line naming the command into the
// file; with FAKE_COMSPEC_HANG set it then never ends.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
    std::string line = ::GetCommandLineA();
    std::size_t arrow = line.rfind("> \"");
    std::size_t command = line.find(" /c ");
    if (arrow == std::string::npos || command == std::string::npos) return 2;
    std::string file = line.substr(arrow + 3);
    if (!file.empty() && file.back() == '"') file.pop_back();
    std::string commandText = line.substr(command + 4, arrow - command - 5);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 3;
    std::fprintf(out, "\r\nFake interpreter ran [%s]\r\n", commandText.c_str());
    std::fclose(out);
    char hang[8] = {};
    if (::GetEnvironmentVariableA("FAKE_COMSPEC_HANG", hang, sizeof hang) > 0) ::Sleep(INFINITE);
    return 0;
}
