// Plays the application for the tests and the demo: it holds the instance
// mapping "kavrel_memfile", shows a main window of class "TKavrelMainForm"
// and ends when WM_QUIT reaches its thread. What it does is logged, one event
// a line, so that a test can tell what happened to it, including which
// program started it (the desktop shell or the installer itself).
//
// Options, from the file kavrel_standin.options beside the program, then the
// variable KAVREL_STANDIN_OPTIONS, then the command line, a later one winning.
// The installer starts it with no parameters, and through the desktop shell,
// whose environment is its own and not the installer's: the file is the way
// in that always reaches it.
//   --log <path>              append the events to this file (also KAVREL_STANDIN_LOG)
//   --hold-file <path>        open this file without sharing at start ...
//   --hold-ms <n>             ... and close it after n ms (else at the end)
//   --hold-mutex <name>       create this named mutex at start and keep it to
//                             the end (plays another installer that runs)
//   --no-mapping              never create the instance mapping
//   --no-window               never create the main window
//   --hidden                  create the main window without showing it
//   --no-activate             show the main window without activating it
//   --mapping-delay-ms <n>    create the mapping n ms after start
//   --window-delay-ms <n>     create the window n ms after start
//   --run-ms <n>              end by itself after n ms (default: never with a
//                             window, 15000 without one)
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kMappingName = "kavrel_memfile";
constexpr const char* kWindowClass = "TKavrelMainForm";
constexpr DWORD kRunWithoutWindowMs = 15000;

struct Options {
    std::string logPath;
    std::string holdFile;
    std::optional<DWORD> holdMs;
    std::string holdMutex;
    bool mapping = true;
    bool window = true;
    bool hidden = false;
    bool noActivate = false;
    DWORD mappingDelayMs = 0;
    DWORD windowDelayMs = 0;
    std::optional<DWORD> runMs;
};

// Words separated by blanks; double quotes keep blanks inside a word.
std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (true) {
        while (i < text.size() && isBlank(text[i])) ++i;
        if (i == text.size()) return words;
        std::string word;
        bool quoted = false;
        for (; i < text.size() && (quoted || !isBlank(text[i])); ++i) {
            if (text[i] == '"') quoted = !quoted;
            else word += text[i];
        }
        words.push_back(word);
    }
}

std::string EnvironmentText(const char* name) {
    DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    DWORD length = ::GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::optional<DWORD> Milliseconds(const std::string& word) {
    if (word.empty() || word.size() > 9) return std::nullopt;
    DWORD value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<DWORD>(c - '0');
    }
    return value;
}

void ApplyWords(const std::vector<std::string>& words, Options& options) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        bool hasValue = i + 1 < words.size();
        if (word == "--no-mapping") options.mapping = false;
        else if (word == "--no-window") options.window = false;
        else if (word == "--hidden") options.hidden = true;
        else if (word == "--no-activate") options.noActivate = true;
        else if (hasValue && word == "--log") options.logPath = words[++i];
        else if (hasValue && word == "--hold-file") options.holdFile = words[++i];
        else if (hasValue && word == "--hold-ms") options.holdMs = Milliseconds(words[++i]);
        else if (hasValue && word == "--hold-mutex") options.holdMutex = words[++i];
        else if (hasValue && word == "--mapping-delay-ms") options.mappingDelayMs = Milliseconds(words[++i]).value_or(0);
        else if (hasValue && word == "--window-delay-ms") options.windowDelayMs = Milliseconds(words[++i]).value_or(0);
        else if (hasValue && word == "--run-ms") options.runMs = Milliseconds(words[++i]);
    }
}

// The options file beside this program; empty when there is none.
// Through the wide calls: the folder may be named in letters that the code
// page lacks.
std::string OptionsFileText() {
    wchar_t self[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring path(self, length);
    std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    path = path.substr(0, slash + 1) + L"kavrel_standin.options";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text(4096, '\0');
    DWORD read = 0;
    if (!::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) read = 0;
    ::CloseHandle(file);
    text.resize(read);
    return text;
}

Options ReadOptions() {
    Options options;
    ApplyWords(SplitWords(OptionsFileText()), options);
    std::string logFromEnvironment = EnvironmentText("KAVREL_STANDIN_LOG");
    if (!logFromEnvironment.empty()) options.logPath = logFromEnvironment;
    ApplyWords(SplitWords(EnvironmentText("KAVREL_STANDIN_OPTIONS")), options);
    std::vector<std::string> arguments = SplitWords(::GetCommandLineA());
    if (!arguments.empty()) arguments.erase(arguments.begin());
    ApplyWords(arguments, options);
    if (!options.window && !options.runMs) options.runMs = kRunWithoutWindowMs;
    return options;
}

std::string AnsiToUtf8(const std::string& text) {
    if (text.empty()) return text;
    int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return text;
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string LogPath;

// Opens the log for each line, so that every line is on disk at once and a
// reader may look at the file at any moment.
void Log(const std::string& event, bool alreadyUtf8 = false) {
    if (LogPath.empty()) return;
    HANDLE file = ::CreateFileA(LogPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string line = (alreadyUtf8 ? event : AnsiToUtf8(event)) + "\n";
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool LoggedActivation = false;
bool LoggedShown = false;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !LoggedActivation) {
                LoggedActivation = true;
                Log("activated");
            }
            break;
        case WM_SHOWWINDOW:
            if (wParam && !LoggedShown) {
                LoggedShown = true;
                Log("shown");
            }
            break;
        case WM_CLOSE:
            // Not the way the installer asks: logged so that a test can tell.
            Log("close requested");
            break;
        case WM_DESTROY:
            // Closed by hand in the demo: end as on the quit request.
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand, const Options& options) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowExA(0, kWindowClass, "Kavrel stand-in", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    480, 320, nullptr, nullptr, instance, nullptr);
    if (!window) {
        Log("window failed " + std::to_string(::GetLastError()));
        return nullptr;
    }
    Log("window created");
    if (!options.hidden) {
        ::ShowWindow(window, options.noActivate ? SW_SHOWNOACTIVATE : showCommand);
        ::UpdateWindow(window);
    }
    return window;
}

HANDLE CreateInstanceMapping() {
    HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, kMappingName);
    DWORD error = ::GetLastError();
    if (!mapping) Log("mapping failed " + std::to_string(error));
    else if (error == ERROR_ALREADY_EXISTS) Log("mapping exists");
    else Log("mapping created");
    return mapping;
}

HANDLE HoldFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Log("file hold failed " + path + " " + std::to_string(::GetLastError()));
        return nullptr;
    }
    Log("file held " + path);
    return file;
}

HANDLE HoldMutex(const std::string& name) {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    DWORD error = ::GetLastError();
    if (!mutex) Log("mutex failed " + name + " " + std::to_string(error));
    else if (error == ERROR_ALREADY_EXISTS) Log("mutex exists " + name);
    else Log("mutex held " + name);
    return mutex;
}

// In UTF-8, through the wide call: the folder may be named in letters that
// the code page lacks.
std::string CurrentFolderUtf8() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The file name of the program that started this process, from the system's
// process list; "unknown" when that process has already ended.
std::string ParentProgram() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return "unknown";
    std::vector<PROCESSENTRY32> processes;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry))
        processes.push_back(entry);
    ::CloseHandle(snapshot);
    DWORD self = ::GetCurrentProcessId();
    auto own = std::find_if(processes.begin(), processes.end(),
                            [self](const PROCESSENTRY32& p) { return p.th32ProcessID == self; });
    if (own == processes.end()) return "unknown";
    DWORD parentId = own->th32ParentProcessID;
    auto parent = std::find_if(processes.begin(), processes.end(),
                               [parentId](const PROCESSENTRY32& p) { return p.th32ProcessID == parentId; });
    return parent == processes.end() ? "unknown" : std::string(parent->szExeFile);
}

// Milliseconds since `start`, correct across the wrap of the tick count.
DWORD Elapsed(DWORD start) { return ::GetTickCount() - start; }

// How long until an event due `dueMs` after `start`; 0 when it is due.
DWORD Remaining(DWORD start, DWORD dueMs) {
    DWORD elapsed = Elapsed(start);
    return elapsed >= dueMs ? 0 : dueMs - elapsed;
}

int Run(HINSTANCE instance, int showCommand) {
    Options options = ReadOptions();
    LogPath = options.logPath;
    Log("started");
    Log("process " + std::to_string(::GetCurrentProcessId()));
    Log("parent " + ParentProgram());
    Log("current folder " + CurrentFolderUtf8(), true);

    DWORD start = ::GetTickCount();
    HANDLE heldFile = options.holdFile.empty() ? nullptr : HoldFile(options.holdFile);
    HANDLE heldMutex = options.holdMutex.empty() ? nullptr : HoldMutex(options.holdMutex);
    HANDLE mapping = nullptr;
    HWND window = nullptr;
    bool mappingPending = options.mapping;
    bool windowPending = options.window;

    bool quit = false;
    while (!quit) {
        if (mappingPending && Remaining(start, options.mappingDelayMs) == 0) {
            mappingPending = false;
            mapping = CreateInstanceMapping();
        }
        if (windowPending && Remaining(start, options.windowDelayMs) == 0) {
            windowPending = false;
            window = CreateMainWindow(instance, showCommand, options);
        }
        if (heldFile && options.holdMs && Remaining(start, *options.holdMs) == 0) {
            ::CloseHandle(heldFile);
            heldFile = nullptr;
            Log("file released " + options.holdFile);
        }
        if (options.runMs && Remaining(start, *options.runMs) == 0) {
            break;
        }

        DWORD wait = INFINITE;
        auto consider = [&wait, start](bool pending, DWORD dueMs) {
            if (pending) wait = std::min(wait, Remaining(start, dueMs));
        };
        consider(mappingPending, options.mappingDelayMs);
        consider(windowPending, options.windowDelayMs);
        consider(heldFile && options.holdMs, options.holdMs.value_or(0));
        consider(options.runMs.has_value(), options.runMs.value_or(0));
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);

        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                break;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    Log(quit ? "quit received" : "run time over");

    if (window && ::IsWindow(window)) ::DestroyWindow(window);
    if (heldFile) {
        ::CloseHandle(heldFile);
        Log("file released " + options.holdFile);
    }
    if (mapping) ::CloseHandle(mapping);
    if (heldMutex) ::CloseHandle(heldMutex);
    Log("ended");
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    try {
        return Run(instance, showCommand);
    } catch (...) {
        try {
            Log("ended after an error");
        } catch (...) {
        }
        return 1;
    }
}
