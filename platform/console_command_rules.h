#pragma once
// The text side of running a console command: the interpreter's path,
// command line and creation flags, and the output read back as lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

// The most output kept of a command; the rest is read and dropped, so that
// a talkative command never blocks on a full pipe.
constexpr std::size_t kMaxConsoleOutput = 64 * 1024;

// What goes between the interpreter's quoted path and the command. "/d":
// without it the interpreter first runs the "AutoRun" command of
// HKCU\Software\Microsoft\Command Processor, and in the elevated run of an
// administrator that is whatever the same user's unelevated programs wrote
// there. It must come before "/c", after which everything is the command.
constexpr std::wstring_view kInterpreterSwitches = L" /d /c ";
static_assert(kInterpreterSwitches.find(L" /d ") < kInterpreterSwitches.find(L" /c "),
              "a switch after /c would be read as part of the command");
static_assert(kInterpreterSwitches.back() == L' ', "the command must stand apart from /c");

// Process creation flags, numbered as Windows numbers them (the Windows side
// checks each against its header).
constexpr std::uint32_t kCreateSuspended = 0x00000004;
constexpr std::uint32_t kDetachedProcess = 0x00000008;
constexpr std::uint32_t kCreateNewConsole = 0x00000010;
constexpr std::uint32_t kCreateNewProcessGroup = 0x00000200;
constexpr std::uint32_t kExtendedStartupInfoPresent = 0x00080000;
constexpr std::uint32_t kCreateNoWindow = 0x08000000;

// The interpreter gets a console without a window: a new console shown with
// SW_HIDE still flashes a window where Windows Terminal is the default
// terminal (Windows 11 22H2 and later), which does not honour the show
// state. It starts suspended, so that it is in its job before it runs
// anything.
constexpr std::uint32_t kInterpreterCreationFlags = kCreateNoWindow | kCreateNewProcessGroup | kCreateSuspended;
static_assert((kInterpreterCreationFlags & kCreateNoWindow) != 0, "no console window");
static_assert((kInterpreterCreationFlags & (kCreateNewConsole | kDetachedProcess)) == 0,
              "Windows ignores CREATE_NO_WINDOW beside either");
static_assert((kInterpreterCreationFlags & kCreateSuspended) != 0, "nothing runs before the job holds it");
static_assert((kInterpreterCreationFlags & kExtendedStartupInfoPresent) == 0, "added only with a handle list");

// The creation flags of one start: with the extended startup information
// where the inherited handles are listed in it.
constexpr std::uint32_t InterpreterCreationFlags(bool handleList) {
    return handleList ? kInterpreterCreationFlags | kExtendedStartupInfoPresent : kInterpreterCreationFlags;
}

// The system's command interpreter in the system folder that
// GetSystemDirectoryW reports; never the one that "ComSpec" names, which
// the user's environment sets for an elevated process too. Empty without a
// folder.
std::wstring SystemInterpreterPath(std::wstring_view systemFolder);

// "\"" + interpreter + "\"" + kInterpreterSwitches + command: the path
// quoted, so that a folder with blanks is never cut into a program and its
// arguments.
std::wstring ComposeInterpreterCommandLine(std::wstring_view interpreter, std::wstring_view command);

// The output read as text lines, each followed by CR LF. A line ends at
// CR LF or LF; at least one line is read, so an empty output gives CR LF.
std::string ReadAsTextLines(std::string_view output);

}  // namespace kavrel
