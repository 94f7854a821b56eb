// Plays a command interpreter that "ComSpec" may name, or that a test starts
// in its place: for "/c <command>" it writes a line naming the command to
// its standard output. FAKE_COMSPEC_DELAY_MS makes it wait that long first;
// with FAKE_COMSPEC_LOG set it adds the line "ended" to that file as its last
// act (the mark that it ran); with FAKE_COMSPEC_HANG set it then never ends,
// its output still open. With FAKE_COMSPEC_SPAWN set it first starts a copy
// of itself that never ends, and with FAKE_COMSPEC_PROBE naming a handle
// (a number) of a signalled event it says whether it inherited that handle.
#include <windows.h>

#include <cstdint>
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
    const bool hang = !Environment("FAKE_COMSPEC_HANG").empty();
    if (!Environment("FAKE_COMSPEC_SPAWN").empty()) {
        ::SetEnvironmentVariableA("FAKE_COMSPEC_SPAWN", nullptr);
        ::SetEnvironmentVariableA("FAKE_COMSPEC_HANG", "1");
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string childLine = std::string("\"") + self + "\" /c left";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        if (::CreateProcessA(self, childLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &child)) {
            ::CloseHandle(child.hThread);
            ::CloseHandle(child.hProcess);
            commandText += " and left a program running";
        }
    }
    const std::string probe = Environment("FAKE_COMSPEC_PROBE");
    if (!probe.empty()) {
        HANDLE held = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(probe.c_str(), nullptr, 10)));
        DWORD flags = 0;
        if (::GetHandleInformation(held, &flags) && (flags & HANDLE_FLAG_INHERIT) &&
            ::WaitForSingleObject(held, 0) == WAIT_OBJECT_0)
            commandText += " holding an inherited handle";
    }
    std::string delay = Environment("FAKE_COMSPEC_DELAY_MS");
    if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
    // Text mode: each "\n" goes out as CR LF.
    std::printf("\nFake interpreter ran [%s]\n", commandText.c_str());
    std::fflush(stdout);
    if (hang) ::Sleep(INFINITE);
    std::string log = Environment("FAKE_COMSPEC_LOG");
    if (!log.empty()) {
        if (FILE* ended = std::fopen(log.c_str(), "ab")) {
            std::fputs("ended\n", ended);
            std::fclose(ended);
        }
    }
    return 0;
}
