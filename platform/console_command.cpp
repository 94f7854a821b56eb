#include "platform/console_command.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/console_command_rules.h"

namespace kavrel {

namespace {

// How often a read that finds the pipe empty looks again.
constexpr DWORD kPollMs = 10;

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(buffer, length);
}

// Appends what the pipe holds now, keeping at most kMaxConsoleOutput bytes.
// False once every writer has closed its end (or the pipe fails).
bool ReadAvailable(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    char chunk[4096];
    while (available > 0) {
        DWORD read = 0;
        if (!::ReadFile(pipe, chunk, std::min<DWORD>(available, sizeof chunk), &read, nullptr) || read == 0)
            return false;
        available -= std::min(available, read);
        output.append(chunk, std::min<std::size_t>(read, kMaxConsoleOutput - std::min(kMaxConsoleOutput, output.size())));
    }
    return true;
}

}  // namespace

ConsoleCommand ConsoleCommand::Start(const std::wstring& command) {
    const std::wstring interpreter = SystemInterpreterPath(SystemFolder());
    if (interpreter.empty()) return {};
    return StartProgram(interpreter, ComposeInterpreterCommandLine(interpreter, command));
}

ConsoleCommand ConsoleCommand::StartProgram(const std::wstring& program, const std::wstring& commandLine) {
    ConsoleCommand started;
    started.started_ = true;
    // The write end is made inheritable alone and only for the moment of
    // the start; the read end stays this process's.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return started;
    started.output_.reset(readEnd);
    const UniqueHandle childsEnd(writeEnd);
    if (!::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) {
        started.output_.reset();
        return started;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = childsEnd.get();
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    PROCESS_INFORMATION process{};
    // The program by its full path: no search of the current folder or PATH.
    if (::CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
        started.process_.reset(process.hProcess);
        const UniqueHandle thread(process.hThread);
    } else {
        started.output_.reset();
    }
    // Our copy of the write end closes here, so that the pipe ends when the
    // interpreter does.
    return started;
}

ConsoleCommand::ConsoleCommand(ConsoleCommand&& other) noexcept
    : started_(std::exchange(other.started_, false)),
      process_(std::move(other.process_)),
      output_(std::move(other.output_)) {}

ConsoleCommand& ConsoleCommand::operator=(ConsoleCommand&& other) noexcept {
    if (this != &other) {
        try {
            Finish();
        } catch (const std::exception&) {
            // Out of memory for an output nobody reads: the pipe closes anyway.
        }
        started_ = std::exchange(other.started_, false);
        process_ = std::move(other.process_);
        output_ = std::move(other.output_);
    }
    return *this;
}

ConsoleCommand::~ConsoleCommand() {
    try {
        Finish();
    } catch (const std::exception&) {
        // As above: nothing to report from a destructor.
    }
}

std::string ConsoleCommand::Finish(DWORD waitLimitMs) {
    if (!started_) return {};
    started_ = false;
    std::string output;
    const DWORD start = ::GetTickCount();
    auto remaining = [&] {
        const DWORD elapsed = ::GetTickCount() - start;
        return elapsed >= waitLimitMs ? 0 : waitLimitMs - elapsed;
    };
    // A blocking read would wait for ever on an interpreter that hangs with
    // its output open: the pipe is looked at, and read only when it holds
    // something, until it ends or the time is up.
    // Once the interpreter has ended, all it wrote is in the pipe: read, and
    // not waited for any other holder of the write end (Wine's console host)
    // to let go of it.
    bool ended = !process_;
    while (output_ && remaining() > 0 && ReadAvailable(output_.get(), output) && !ended) {
        const DWORD pause = std::min(kPollMs, remaining());
        ended = ::WaitForSingleObject(process_.get(), pause) == WAIT_OBJECT_0;
        if (ended) ReadAvailable(output_.get(), output);
    }
    output_.reset();
    if (process_ && ::WaitForSingleObject(process_.get(), remaining()) != WAIT_OBJECT_0) {
        // Our own interpreter, hung: ended, so that nothing of it outlives the run.
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 1000);
    }
    process_.reset();
    return OemToAnsiText(ReadAsTextLines(output));
}

std::string RunConsoleCommand(const std::wstring& command, DWORD waitLimitMs) {
    return ConsoleCommand::Start(command).Finish(waitLimitMs);
}

std::string OemToAnsiText(const std::string& text) {
    std::string converted(text.size(), '\0');
    if (!text.empty()) ::OemToCharBuffA(text.data(), converted.data(), static_cast<DWORD>(text.size()));
    return converted;
}

}  // namespace kavrel
