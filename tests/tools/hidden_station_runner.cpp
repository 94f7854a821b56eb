// Runs a program where nobody sees its windows, as a deployment tool running
// it as SYSTEM in session 0 does: in a window station of its own, made here
// without WSF_VISIBLE, on a desktop made in it. A message box shown there is
// never answered, so a program that shows one runs into the time limit.
//
//   hidden_station_runner.exe [--timeout-ms N] -- <program> [args...]
//
// Everything after " -- " is the program's command line, passed on as
// written (the program as a Windows path). Standard output, one line each:
//   station-flags=<hex>      UOI_FLAGS of the station made for the program
//   window=<class>|<title>   each top-level window of the program seen while
//                            it runs, once (on its desktop or on this tool's)
//   exit=<the program's exit code, unsigned decimal>   or   exit=timeout
// On the time limit (default 60000 ms) the program is ended through its
// process handle. The tool's own exit code: 0 when the program ended by
// itself (whatever its exit code), 3 when the time limit ended it, 2 for a
// usage error, 4 when the station, the desktop or the program cannot be made.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

namespace {

using kavrel::UniqueDesktop;
using kavrel::UniqueHandle;
using kavrel::UniqueWindowStation;

constexpr int kExitNormal = 0;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitFailure = 4;
constexpr DWORD kPollMs = 50;
constexpr const char* kUsage = "usage: hidden_station_runner.exe [--timeout-ms N] -- <program> [args...]";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                          nullptr);
    return result;
}

void Print(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void Complain(const std::string& line) { std::fputs(("hidden_station_runner: " + line + "\n").c_str(), stderr); }

struct Options {
    unsigned long timeoutMs = 60000;
    std::wstring commandLine;
};

// The options before " -- ", and the rest of the raw command line after it.
bool ParseOptions(Options& options, std::string& error) {
    const std::wstring raw = ::GetCommandLineW();
    const std::size_t separator = raw.find(L" -- ");
    if (separator == std::wstring::npos) {
        error = "no -- before the program";
        return false;
    }
    options.commandLine = raw.substr(separator + 4);
    if (options.commandLine.find_first_not_of(L' ') == std::wstring::npos) {
        error = "no program after --";
        return false;
    }
    int count = 0;
    LPWSTR* list = ::CommandLineToArgvW(raw.substr(0, separator).c_str(), &count);
    if (!list) {
        error = "cannot split the command line";
        return false;
    }
    std::vector<std::wstring> args(list, list + count);
    ::LocalFree(list);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] != L"--timeout-ms" || i + 1 >= args.size()) {
            error = "unknown option or no value: " + Utf8(args[i]);
            return false;
        }
        const std::wstring& value = args[++i];
        if (value.empty() || value.size() > 9 || value.find_first_not_of(L"0123456789") != std::wstring::npos) {
            error = "bad --timeout-ms: " + Utf8(value);
            return false;
        }
        options.timeoutMs = std::wcstoul(value.c_str(), nullptr, 10);
    }
    return true;
}

// The name of a window station or desktop.
std::wstring ObjectName(HANDLE object) {
    wchar_t name[256] = {};
    DWORD needed = 0;
    if (!::GetUserObjectInformationW(object, UOI_NAME, name, sizeof name - sizeof name[0], &needed)) return {};
    return name;
}

// The program's top-level windows, each logged when first seen.
struct WindowLog {
    DWORD processId = 0;
    std::set<std::wstring> seen;

    static BOOL CALLBACK Collect(HWND window, LPARAM parameter) {
        auto* self = reinterpret_cast<WindowLog*>(parameter);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != self->processId) return TRUE;
        wchar_t className[256] = {};
        wchar_t title[256] = {};
        ::GetClassNameW(window, className, 256);
        ::GetWindowTextW(window, title, 256);
        const std::wstring entry = std::wstring(className) + L"|" + title;
        if (self->seen.insert(entry).second) Print("window=" + Utf8(entry));
        return TRUE;
    }

    // On the program's desktop, and on this tool's own: Wine 8 puts the
    // windows of a thread that the program starts later on the default
    // desktop of the visible station, not on the program's.
    void Poll(HDESK programDesktop) {
        ::EnumDesktopWindows(programDesktop, &WindowLog::Collect, reinterpret_cast<LPARAM>(this));
        ::EnumDesktopWindows(::GetThreadDesktop(::GetCurrentThreadId()), &WindowLog::Collect,
                             reinterpret_cast<LPARAM>(this));
    }
};

int Run() {
    Options options;
    std::string error;
    if (!ParseOptions(options, error)) {
        Complain(error);
        Complain(kUsage);
        return kExitUsage;
    }

    // A name of its own for each run, so that runs never share a station.
    const std::wstring stationName = L"KavrelHidden" + std::to_wstring(::GetCurrentProcessId());
    UniqueWindowStation station(::CreateWindowStationW(stationName.c_str(), 0, WINSTA_ALL_ACCESS, nullptr));
    if (!station) {
        Complain("cannot make a window station (error " + std::to_string(::GetLastError()) + ")");
        return kExitFailure;
    }
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    ::GetUserObjectInformationW(station.get(), UOI_FLAGS, &flags, sizeof flags, &needed);
    char flagsText[16];
    std::snprintf(flagsText, sizeof flagsText, "%lx", static_cast<unsigned long>(flags.dwFlags));
    Print(std::string("station-flags=") + flagsText);

    // A desktop is made in the calling process's station: this one's, for a moment.
    HWINSTA ownStation = ::GetProcessWindowStation();
    if (!::SetProcessWindowStation(station.get())) {
        Complain("cannot enter the window station (error " + std::to_string(::GetLastError()) + ")");
        return kExitFailure;
    }
    UniqueDesktop desktop(::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    const DWORD desktopError = ::GetLastError();
    ::SetProcessWindowStation(ownStation);
    if (!desktop) {
        Complain("cannot make a desktop (error " + std::to_string(desktopError) + ")");
        return kExitFailure;
    }

    std::wstring desktopPath = ObjectName(station.get()) + L"\\" + ObjectName(desktop.get());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktopPath.data();
    PROCESS_INFORMATION process{};
    std::wstring commandLine = options.commandLine;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        Complain("cannot start " + Utf8(commandLine) + " (error " + std::to_string(::GetLastError()) + ")");
        return kExitFailure;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);

    WindowLog windows;
    windows.processId = process.dwProcessId;
    const ULONGLONG started = ::GetTickCount64();
    for (;;) {
        windows.Poll(desktop.get());
        if (::WaitForSingleObject(processHandle.get(), kPollMs) == WAIT_OBJECT_0) break;
        if (::GetTickCount64() - started >= options.timeoutMs) {
            ::TerminateProcess(processHandle.get(), 1);
            ::WaitForSingleObject(processHandle.get(), 10000);
            Print("exit=timeout");
            Complain("timed out after " + std::to_string(options.timeoutMs) + " ms; the program was ended");
            return kExitTimeout;
        }
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    Print("exit=" + std::to_string(exitCode));
    return kExitNormal;
}

}  // namespace

int main() {
    try {
        return Run();
    } catch (...) {
        Complain("internal error");
        return kExitFailure;
    }
}
