#include "platform/console_command.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/console_command_rules.h"
#include "platform/system_library.h"

namespace kavrel {

namespace {

// How often a read that finds the pipe empty looks again.
constexpr DWORD kPollMs = 10;

static_assert(kCreateSuspended == CREATE_SUSPENDED && kDetachedProcess == DETACHED_PROCESS &&
              kCreateNewConsole == CREATE_NEW_CONSOLE && kCreateNewProcessGroup == CREATE_NEW_PROCESS_GROUP &&
              kExtendedStartupInfoPresent == EXTENDED_STARTUPINFO_PRESENT && kCreateNoWindow == CREATE_NO_WINDOW);

// STARTUPINFOEXW and PROC_THREAD_ATTRIBUTE_HANDLE_LIST, which the headers
// give only to programs built for Vista and later.
struct StartupInfoWithAttributes {
    STARTUPINFOW startup;
    LPPROC_THREAD_ATTRIBUTE_LIST attributes;
};
constexpr DWORD_PTR kHandleListAttribute = 0x00020002;

// An attribute list that names the one handle a new process inherits:
// without it, the interpreter (and whatever it starts) would get every
// inheritable handle of this process, including those another thread makes
// inheritable for a moment of its own. Built with functions looked up at run
// time (Vista has them); null where they are missing or refuse, and the
// process then inherits as before Vista.
class InheritedHandleList {
public:
    explicit InheritedHandleList(HANDLE handle) : handle_(handle) {
        using InitializeFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
        using UpdateFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
        auto initialize = LoadedSystemFunction<InitializeFn>("kernel32.dll", "InitializeProcThreadAttributeList");
        auto update = LoadedSystemFunction<UpdateFn>("kernel32.dll", "UpdateProcThreadAttribute");
        delete_ = LoadedSystemFunction<DeleteFn>("kernel32.dll", "DeleteProcThreadAttributeList");
        if (!initialize || !update || !delete_) return;
        SIZE_T size = 0;
        initialize(nullptr, 1, 0, &size);  // fails, giving the size
        if (size == 0) return;
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!initialize(list, 1, 0, &size)) return;
        list_ = list;
        // The list keeps the address of handle_, not its value.
        if (!update(list_, 0, kHandleListAttribute, &handle_, sizeof handle_, nullptr, nullptr)) Release();
    }
    InheritedHandleList(const InheritedHandleList&) = delete;
    InheritedHandleList& operator=(const InheritedHandleList&) = delete;
    ~InheritedHandleList() { Release(); }

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    using DeleteFn = void(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);
    void Release() {
        if (list_) delete_(list_);
        list_ = nullptr;
    }

    HANDLE handle_;
    DeleteFn delete_ = nullptr;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A job that ends every process in it when its last handle closes; empty
// when none can be made.
UniqueHandle KillOnCloseJob() {
    UniqueHandle job(::CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.reset();
    return job;
}

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
    // the start; the read end is never inheritable.
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return started;
    started.output_.reset(readEnd);
    const UniqueHandle childsEnd(writeEnd);
    if (!::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        started.output_.reset();
        return started;
    }

    InheritedHandleList inherited(childsEnd.get());
    StartupInfoWithAttributes startup{};
    startup.startup.cb = inherited.get() ? sizeof startup : sizeof startup.startup;
    startup.startup.dwFlags = STARTF_USESTDHANDLES;
    startup.startup.hStdOutput = childsEnd.get();
    startup.attributes = inherited.get();
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    PROCESS_INFORMATION process{};
    // The program by its full path: no search of the current folder or PATH.
    if (!::CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                          InterpreterCreationFlags(inherited.get() != nullptr), nullptr, nullptr, &startup.startup,
                          &process)) {
        started.output_.reset();
        return started;
    }
    started.process_.reset(process.hProcess);
    const UniqueHandle thread(process.hThread);
    // Before Windows 8 a process in a job (this one, under some deployment
    // tools) cannot put its child in another: the child then runs without,
    // and only it is ended at the bound.
    started.job_ = KillOnCloseJob();
    if (started.job_ && !::AssignProcessToJobObject(started.job_.get(), process.hProcess)) started.job_.reset();
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        // Never to run: ended now, as one that could not start.
        ::TerminateProcess(process.hProcess, 1);
        started.process_.reset();
        started.job_.reset();
        started.output_.reset();
    }
    // Our copy of the write end closes here, so that the pipe ends when the
    // interpreter does.
    return started;
}

ConsoleCommand::ConsoleCommand(ConsoleCommand&& other) noexcept
    : started_(std::exchange(other.started_, false)),
      job_(std::move(other.job_)),
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
        job_ = std::move(other.job_);
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
        // Our own interpreter, hung: ended with all it started, so that
        // nothing of it outlives the run.
        if (!job_ || !::TerminateJobObject(job_.get(), 1)) ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 1000);
    }
    // The job's only handle: closing it ends what the interpreter started and left running.
    job_.reset();
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
