// Runs a program, reads each message box it shows, answers it, and writes a
// line-based log of what it saw for the end-to-end tests to compare.
//
//   dialog_tool.exe --log <file> [--answers a1,a2,...] [--timeout-ms N] [--pose <folder>]
//                   [--cancel-when <state> [--cancel-delay-ms N]] -- <program.exe> [args...]
//
// Answers, one per box in the order the boxes appear: yes, no, ok, cancel,
// abort, retry, ignore, help, tryagain, continue (press that button), close
// (send WM_CLOSE to the box) or a button id in decimal. Once the answers run
// out each box gets its negative answer: cancel, else no, else ok, else its
// first button, else close.
//
// The log (UTF-8, LF line ends, also copied to standard output) holds one
// record per box and the exit line:
//   box=1
//   caption=<caption>
//   text=<message text>
//   icon=error|question|warning|information|none|unknown
//   buttons=yes,no                 button ids present, in id order
//   labels=&Yes,&No                their texts, in the same order
//   topmost=1|0                    WS_EX_TOPMOST of the box
//   pressed=yes
//   ...
//   exit=<the program's exit code, unsigned decimal>   or   exit=timeout
// In texts, "\" is written "\\", CR "\r", LF "\n", tab "\t", other control
// characters "\xHH"; in labels a comma is written "\x2c".
//
// A program with a progress window (class "PlainWindow") also gets a line
// each time what the window shows changes, between the box records:
//   progress=<caption>|<status line>|<bar position>   while it is visible
//   progress=hidden                                   hidden or gone
//
// With --cancel-when, the tool presses the progress window's Cancel button
// (a click) once, as soon as the window's state as logged above begins with
// <state> (e.g. "Lexova update|Installing the update...|100") and has shown
// it for --cancel-delay-ms (default 0) with the button enabled; it then logs
//   cancel=pressed
//
// With --pose, each box waits before it is answered, so that a script can take
// a picture of it: the tool writes "<folder>\box<N>" holding the box's
// "x y width height" and answers once "<folder>\box<N>.done" exists (at most
// 30 s later).
//
// The tool's own exit code: 0 when the program ended by itself (whatever its
// exit code), 3 when the time limit (default 60000 ms) ended it, 2 for a
// usage error, 4 when the log cannot be written or the program not started.
//
// A console program; it needs gdi32 (-lgdi32), which MinGW links by default
// only into -mwindows programs.
//
// Paths: under Wine a Unix path ("/tmp/x/log.txt") for the log or the program
// is turned into its DOS form (Z:\tmp\x\log.txt) through Wine's own mapping;
// the program's arguments are passed on untouched.
#include <windows.h>
// Left out by WIN32_LEAN_AND_MEAN.
#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitNormal = 0;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;
constexpr int kExitFailure = 4;

constexpr DWORD kPollMs = 20;
// A new box is read this long after it shows, when it has been painted, and
// read again on each look until complete: text, buttons and a known icon.
constexpr ULONGLONG kSettleMs = 60;
// A box that never becomes complete is recorded as it is after this long;
// long enough for the boxes of other programs on top of it to go, which under
// Wine without a window manager takes two seconds each.
constexpr ULONGLONG kReadyDeadlineMs = 10000;
// A press that did not close the box is repeated once, as WM_COMMAND.
constexpr ULONGLONG kRepressMs = 1500;
constexpr UINT kSendTimeoutMs = 2000;

// Writes a message to standard error.
void Complain(std::string_view message) {
    std::string line = "dialog_tool: ";
    line.append(message).append("\n");
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err && err != INVALID_HANDLE_VALUE) ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Owns a kernel handle.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

// Owns a window's device context (GetDC / ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A 32-bit top-down bitmap selected into a memory DC, with its bits at hand.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        dc_ = ::CreateCompatibleDC(nullptr);
        if (!dc_) return;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_) return;
        previous_ = ::SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint32_t*>(bits);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        if (previous_) ::SelectObject(dc_, previous_);
        if (bitmap_) ::DeleteObject(bitmap_);
        if (dc_) ::DeleteDC(dc_);
    }
    bool valid() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    // The pixels as 0x00RRGGBB, row by row; GDI must be flushed before reading.
    std::vector<std::uint32_t> Pixels() const {
        ::GdiFlush();
        std::vector<std::uint32_t> pixels(bits_, bits_ + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
        for (std::uint32_t& p : pixels) p &= 0x00FFFFFFu;
        return pixels;
    }
    void Fill(std::uint32_t colour) {
        ::GdiFlush();
        std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), colour);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// UTF-8 form of a UTF-16 string.
std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = static_cast<int>(text.size());
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

// A text on one log line: backslash, CR, LF and other control characters escaped.
std::string Escape(std::wstring_view text, bool escapeComma = false) {
    std::string result;
    for (char c : Utf8(text)) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            result += "\\\\";
        } else if (c == '\r') {
            result += "\\r";
        } else if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else if (byte < 0x20 || byte == 0x7F || (escapeComma && c == ',')) {
            const char* digits = "0123456789ABCDEF";
            result += "\\x";
            result += digits[byte >> 4];
            result += digits[byte & 0xF];
        } else {
            result += c;
        }
    }
    return result;
}

// A window's text, asked of its own thread (WM_GETTEXT) so that controls of
// another process answer with their current text; bounded so that a hung
// program cannot stop the tool.
std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        std::wstring text(1024, L'\0');
        int got = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(std::max(got, 0)));
        return text;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return {};
    text.resize(std::min<std::size_t>(static_cast<std::size_t>(got), static_cast<std::size_t>(length)));
    return text;
}

// The window class name.
std::wstring ClassName(HWND window) {
    std::array<wchar_t, 256> name{};
    int length = ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::wstring(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

struct ButtonName {
    int id;
    const char* name;
};
constexpr ButtonName kButtonNames[] = {{IDOK, "ok"},       {IDCANCEL, "cancel"},     {IDABORT, "abort"},
                                       {IDRETRY, "retry"}, {IDIGNORE, "ignore"},     {IDYES, "yes"},
                                       {IDNO, "no"},       {IDHELP, "help"},         {IDTRYAGAIN, "tryagain"},
                                       {IDCONTINUE, "continue"}};

// The log name of a button id: its usual name, or the number.
std::string NameOfButton(int id) {
    for (const ButtonName& b : kButtonNames)
        if (b.id == id) return b.name;
    return std::to_string(id);
}

// An answer: a button id to press, or closing the box (id 0).
struct Answer {
    int button = 0;
    bool close = false;
};

// Parses one answer word; nothing when it is not one.
std::optional<Answer> ParseAnswer(std::string word) {
    std::transform(word.begin(), word.end(), word.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    if (word == "close") return Answer{0, true};
    for (const ButtonName& b : kButtonNames)
        if (word == b.name) return Answer{b.id, false};
    if (word.empty() || word.size() > 5 || word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    int id = std::atoi(word.c_str());
    if (id <= 0) return std::nullopt;
    return Answer{id, false};
}

// The log name of an answer.
std::string NameOfAnswer(const Answer& answer) {
    return answer.close ? "close" : NameOfButton(answer.button);
}

// The standard icons a box may show, loaded in this process.
struct StandardIcon {
    const char* name;
    HICON icon;
};

// The four message box icons, as this process loads them.
std::vector<StandardIcon> LoadStandardIcons() {
    // IDI_ERROR and the others are narrow strings unless UNICODE is defined.
    return {{"error", ::LoadIconW(nullptr, MAKEINTRESOURCEW(32513))},
            {"question", ::LoadIconW(nullptr, MAKEINTRESOURCEW(32514))},
            {"warning", ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515))},
            {"information", ::LoadIconW(nullptr, MAKEINTRESOURCEW(32516))}};
}

// The most frequent colour on the outer ring of an image: the background
// around an icon, whose corners and edges are mostly transparent.
std::uint32_t BorderColour(const std::vector<std::uint32_t>& pixels, int width, int height) {
    std::map<std::uint32_t, int> counts;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (y == 0 || x == 0 || y == height - 1 || x == width - 1)
                ++counts[pixels[static_cast<std::size_t>(y * width + x)]];
    std::uint32_t best = 0;
    int bestCount = -1;
    for (const auto& [colour, count] : counts)
        if (count > bestCount) best = colour, bestCount = count;
    return best;
}

// Whether two 0x00RRGGBB colours differ visibly (beyond rounding of blending).
bool Differs(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFFu);
        int cb = static_cast<int>((b >> shift) & 0xFFu);
        if (std::abs(ca - cb) > 40) return true;
    }
    return false;
}

// Names the icon in a box's icon control. The handle is compared with the
// standard icons first, which is enough where the system's shared icons have
// one handle for all processes. Under Wine each process has handles of its
// own, and cannot even read another's (GetIconInfo fails, as does drawing
// through a DC of the other's window), so the icon as shown on the screen is
// compared with each standard icon drawn here over the same background.
// Nothing when it cannot tell (not yet painted, covered by another window,
// or not a standard icon).
std::optional<std::string> IconOf(HWND iconControl, const std::vector<StandardIcon>& standard) {
    if (!iconControl || !::IsWindowVisible(iconControl)) return "none";
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return std::nullopt;
    auto shown = reinterpret_cast<HICON>(result);
    if (!shown) return "none";
    for (const StandardIcon& s : standard)
        if (s.icon == shown) return s.name;

    RECT client{};
    if (!::GetClientRect(iconControl, &client)) return std::nullopt;
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width < 4 || height < 4 || width > 512 || height > 512) return std::nullopt;
    POINT origin{0, 0};
    ::ClientToScreen(iconControl, &origin);
    // Boxes are centred on the screen, so the boxes of programs run side by
    // side cover each other. A covered box is read on a later look: the box
    // on top gets answered and goes. (Raising it instead makes two tools
    // raise their boxes over each other in turn without end.)
    HWND box = ::GetAncestor(iconControl, GA_ROOT);
    for (POINT corner : {POINT{0, 0}, POINT{width - 1, 0}, POINT{0, height - 1}, POINT{width - 1, height - 1},
                         POINT{width / 2, height / 2}}) {
        HWND top = ::WindowFromPoint(POINT{origin.x + corner.x, origin.y + corner.y});
        if (!top || ::GetAncestor(top, GA_ROOT) != box) return std::nullopt;
    }

    Canvas captured(width, height);
    if (!captured.valid()) return std::nullopt;
    {
        WindowDc screen(nullptr);
        if (!screen.get() ||
            !::BitBlt(captured.dc(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY | CAPTUREBLT))
            return std::nullopt;
    }
    std::vector<std::uint32_t> onScreen = captured.Pixels();
    std::uint32_t background = BorderColour(onScreen, width, height);

    const char* bestName = nullptr;
    std::size_t bestMismatches = onScreen.size();
    for (const StandardIcon& s : standard) {
        if (!s.icon) continue;
        Canvas drawn(width, height);
        if (!drawn.valid()) continue;
        drawn.Fill(background);
        if (!::DrawIconEx(drawn.dc(), 0, 0, s.icon, width, height, 0, nullptr, DI_NORMAL)) continue;
        std::vector<std::uint32_t> expected = drawn.Pixels();
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            if (Differs(expected[i], onScreen[i])) ++mismatches;
        if (mismatches < bestMismatches) bestMismatches = mismatches, bestName = s.name;
    }
    // The question and information icons differ in about 7% of their pixels;
    // an exact copy differs in none.
    if (bestName && bestMismatches * 100 <= onScreen.size()) return bestName;
    return std::nullopt;
}

// What the tool read from one box.
struct BoxRecord {
    std::string caption;
    std::string text;
    std::string icon;
    std::vector<int> buttons;
    std::vector<std::string> labels;
    bool topmost = false;
    bool complete = false;
};

struct Control {
    HWND window;
    int id;
    std::wstring className;
    LONG style;
};

// Collects the child controls of a box.
BOOL CALLBACK CollectControl(HWND window, LPARAM list) {
    auto* controls = reinterpret_cast<std::vector<Control>*>(list);
    controls->push_back({window, ::GetDlgCtrlID(window), ClassName(window), ::GetWindowLongW(window, GWL_STYLE)});
    return TRUE;
}

// Reads a box: caption, message text, icon, buttons, topmost. "complete" says
// that it had buttons, a text control and a recognisable icon.
BoxRecord ReadBox(HWND box, const std::vector<StandardIcon>& standard) {
    BoxRecord record;
    record.caption = Escape(WindowText(box));
    record.topmost = (::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;

    std::vector<Control> controls;
    ::EnumChildWindows(box, CollectControl, reinterpret_cast<LPARAM>(&controls));
    std::sort(controls.begin(), controls.end(), [](const Control& a, const Control& b) { return a.id < b.id; });

    HWND iconControl = nullptr;
    HWND textControl = nullptr;
    std::vector<HWND> buttons;
    for (const Control& c : controls) {
        if (::lstrcmpiW(c.className.c_str(), L"Button") == 0) {
            // Only shown buttons count (Wine destroys the unused ones).
            if (!::IsWindowVisible(c.window)) continue;
            record.buttons.push_back(c.id);
            buttons.push_back(c.window);
        } else if (::lstrcmpiW(c.className.c_str(), L"Static") == 0) {
            if ((c.style & SS_TYPEMASK) == SS_ICON) {
                if (!iconControl) iconControl = c.window;
            } else if (!textControl || c.id == 0xFFFF) {
                // Windows and Wine both give the message text the id 0xFFFF.
                textControl = c.window;
            }
        }
    }
    for (HWND b : buttons) record.labels.push_back(Escape(WindowText(b), true));
    if (textControl) record.text = Escape(WindowText(textControl));

    std::optional<std::string> icon = IconOf(iconControl, standard);
    record.icon = icon.value_or("unknown");
    record.complete = !record.buttons.empty() && textControl && icon;
    return record;
}

// Writes the log, each piece also to standard output.
class Log {
public:
    explicit Log(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool valid() const { return file_.valid(); }
    // Writes whole lines at once, so that a reader never sees half a record.
    void Write(std::string_view lines) {
        DWORD written = 0;
        ::WriteFile(file_.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
        HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (out && out != INVALID_HANDLE_VALUE)
            ::WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }

private:
    Handle file_;
};

// Joins names with commas.
std::string Join(const std::vector<std::string>& names) {
    std::string result;
    for (const std::string& n : names) {
        if (!result.empty()) result += ',';
        result += n;
    }
    return result;
}

// The answer for a box when the given ones have run out: the negative one.
Answer DefaultAnswer(const std::vector<int>& buttons) {
    for (int id : {IDCANCEL, IDNO, IDOK})
        if (std::find(buttons.begin(), buttons.end(), id) != buttons.end()) return {id, false};
    if (!buttons.empty()) return {buttons.front(), false};
    return {0, true};
}

// Presses an answer's button the way a click does (BM_CLICK); WM_COMMAND to
// the box when it has no such button, WM_CLOSE for "close".
void Press(HWND box, const Answer& answer, bool asCommand) {
    if (answer.close) {
        ::PostMessageW(box, WM_CLOSE, 0, 0);
        return;
    }
    HWND button = ::GetDlgItem(box, answer.button);
    if (button && !asCommand) {
        // Posted, not sent: the click ends the box, and Wine hides a window
        // only after waiting up to two seconds for a window manager, all
        // before a sent message would return.
        ::PostMessageW(button, BM_CLICK, 0, 0);
        return;
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(answer.button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

struct Options {
    std::wstring log;
    std::vector<Answer> answers;
    ULONGLONG timeoutMs = 60000;
    std::wstring poseFolder;
    std::string cancelWhen;
    ULONGLONG cancelDelayMs = 0;
    std::wstring commandLine;
};

// Wine's own Unix-to-DOS mapping of a path; the path itself elsewhere.
std::wstring DosPath(const std::wstring& path) {
    if (path.empty() || path.front() != L'/') return path;
    using ToDos = WCHAR*(CDECL*)(LPCSTR);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? ::GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
    if (!proc) return path;
    WCHAR* dos = std::bit_cast<ToDos>(proc)(Utf8(path).c_str());
    if (!dos) return path;
    std::wstring result = dos;
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return result;
}

// One argument quoted the way the C runtime splits a command line.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, L'\\');
    result += L'"';
    return result;
}

// Parses the tool's command line; nothing, with the reason in error, on a usage error.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::string& error) {
    Options options;
    std::size_t i = 1;
    bool haveLog = false;
    for (; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--") break;
        if (a != L"--log" && a != L"--answers" && a != L"--timeout-ms" && a != L"--pose" && a != L"--cancel-when" &&
            a != L"--cancel-delay-ms") {
            error = "unknown option: " + Utf8(a);
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = "no value after " + Utf8(a);
            return std::nullopt;
        }
        const std::wstring& value = args[++i];
        if (a == L"--log") {
            options.log = DosPath(value);
            haveLog = !value.empty();
        } else if (a == L"--pose") {
            options.poseFolder = DosPath(value);
        } else if (a == L"--cancel-when") {
            options.cancelWhen = Utf8(value);
        } else if (a == L"--answers") {
            std::string list = Utf8(value);
            std::size_t start = 0;
            while (!list.empty() && start <= list.size()) {
                std::size_t comma = list.find(',', start);
                std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                word.erase(0, word.find_first_not_of(' '));
                word.erase(word.find_last_not_of(' ') + 1);
                std::optional<Answer> answer = ParseAnswer(word);
                if (!answer) {
                    error = "unknown answer: '" + word + "'";
                    return std::nullopt;
                }
                options.answers.push_back(*answer);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else {
            std::string number = Utf8(value);
            if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) {
                error = "bad " + Utf8(a) + ": " + number;
                return std::nullopt;
            }
            (a == L"--timeout-ms" ? options.timeoutMs : options.cancelDelayMs) =
                std::strtoull(number.c_str(), nullptr, 10);
        }
    }
    if (!haveLog) {
        error = "--log is required";
        return std::nullopt;
    }
    if (i + 1 >= args.size()) {
        error = "no program after --";
        return std::nullopt;
    }
    options.commandLine = Quote(DosPath(args[i + 1]));
    for (std::size_t k = i + 2; k < args.size(); ++k) options.commandLine += L" " + Quote(args[k]);
    return options;
}

// The tool's arguments, split as the C runtime would.
std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!list) return args;
    for (int k = 0; k < count; ++k) args.emplace_back(list[k]);
    ::LocalFree(list);
    return args;
}

// The state of one box the tool has met.
struct Seen {
    ULONGLONG firstSeen = 0;
    bool recorded = false;
    std::optional<Answer> pressed;
    ULONGLONG pressedAt = 0;
    bool repressed = false;
};

// Watches the program's boxes and answers them.
class Watcher {
public:
    Watcher(DWORD processId, std::vector<Answer> answers, Log& log, std::wstring poseFolder, std::string cancelWhen,
            ULONGLONG cancelDelayMs)
        : processId_(processId),
          answers_(std::move(answers)),
          log_(log),
          poseFolder_(std::move(poseFolder)),
          cancelWhen_(std::move(cancelWhen)),
          cancelDelayMs_(cancelDelayMs),
          standard_(LoadStandardIcons()) {}

    // Looks at the program's progress window and its visible boxes once.
    void Poll() {
        LogProgressWindow();
        ULONGLONG now = ::GetTickCount64();
        // Forget boxes that are gone, so that a reused handle counts as new.
        for (auto it = seen_.begin(); it != seen_.end();)
            it = ::IsWindow(it->first) ? std::next(it) : seen_.erase(it);

        BoxSearch search{processId_, {}};
        ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            auto [it, inserted] = seen_.try_emplace(box);
            Seen& state = it->second;
            if (inserted) state.firstSeen = now;
            if (!state.recorded) {
                if (now - state.firstSeen < kSettleMs) continue;
                bool lastChance = now - state.firstSeen >= kReadyDeadlineMs;
                BoxRecord record = ReadBox(box, standard_);
                if (!record.complete && !lastChance) continue;
                if (record.icon == "unknown")
                    Complain("the icon of box " + std::to_string(count_ + 1) +
                             " stayed unreadable: not a standard icon, or covered by another window "
                             "(run programs that show boxes one at a time on a display)");
                Answer answer = next_ < answers_.size() ? answers_[next_++] : DefaultAnswer(record.buttons);
                Write(record, answer);
                if (!poseFolder_.empty()) Pose(box);
                state.recorded = true;
                state.pressed = answer;
                state.pressedAt = ::GetTickCount64();
                Press(box, answer, false);
            } else if (state.pressed && !state.pressed->close && !state.repressed &&
                       now - state.pressedAt >= kRepressMs) {
                // Should the click not have ended the box (a button busy with
                // the mouse, say), the box's own procedure gets the command.
                state.repressed = true;
                Press(box, *state.pressed, true);
            }
        }
    }

private:
    struct BoxSearch {
        DWORD processId;
        std::vector<HWND> boxes;
    };

    // Collects the visible dialog windows of the watched process. Wine shows
    // a box with MB_SERVICE_NOTIFICATION in the program like any other; on
    // Windows the system shows such a box, and it need not be the program's.
    static BOOL CALLBACK CollectBox(HWND window, LPARAM searchPointer) {
        auto* search = reinterpret_cast<BoxSearch*>(searchPointer);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == search->processId && ::IsWindowVisible(window) && ClassName(window) == L"#32770")
            search->boxes.push_back(window);
        return TRUE;
    }

    // The program's progress window, if it has one.
    static BOOL CALLBACK FindProgressWindow(HWND window, LPARAM searchPointer) {
        auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(searchPointer);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != search->first || ClassName(window) != L"PlainWindow") return TRUE;
        search->second = window;
        return FALSE;
    }

    // Logs what the progress window shows when it changed since the last look.
    void LogProgressWindow() {
        std::pair<DWORD, HWND> search{processId_, nullptr};
        ::EnumWindows(FindProgressWindow, reinterpret_cast<LPARAM>(&search));
        HWND window = search.second;
        if (!window && !progressSeen_) return;
        std::string state = "hidden";
        if (window && ::IsWindowVisible(window)) {
            HWND label = ::FindWindowExW(window, nullptr, L"Static", nullptr);
            HWND bar = ::FindWindowExW(window, nullptr, L"msctls_progress32", nullptr);
            DWORD_PTR position = 0;
            if (bar) ::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &position);
            state = Escape(WindowText(window)) + "|" + (label ? Escape(WindowText(label)) : "") + "|" +
                    std::to_string(position);
        }
        progressSeen_ = true;
        if (state != lastProgress_) {
            lastProgress_ = state;
            log_.Write("progress=" + state + "\n");
        }
        PressCancelWhenDue(window, state);
    }

    // Presses the window's Cancel button once its state has begun with
    // --cancel-when for the delay asked for (--cancel-when).
    void PressCancelWhenDue(HWND window, const std::string& state) {
        if (cancelWhen_.empty() || cancelPressed_) return;
        if (state.compare(0, cancelWhen_.size(), cancelWhen_) != 0) {
            cancelDueSince_ = 0;
            return;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (cancelDueSince_ == 0) cancelDueSince_ = now;
        if (now - cancelDueSince_ < cancelDelayMs_) return;
        HWND button = ::FindWindowExW(window, nullptr, L"Button", nullptr);
        if (!button || !::IsWindowEnabled(button)) return;
        // Posted, like a box's button: the program acts on it in its own time.
        ::PostMessageW(button, BM_CLICK, 0, 0);
        cancelPressed_ = true;
        log_.Write("cancel=pressed\n");
    }

    // Shows the box where it stands until the script that asked for it has
    // taken its picture (--pose).
    void Pose(HWND box) const {
        RECT rect{};
        ::GetWindowRect(box, &rect);
        const std::string place = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                                  std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top) + "\n";
        const std::wstring name = poseFolder_ + L"\\box" + std::to_wstring(count_);
        // Written aside and renamed, so the script never reads half of it.
        HANDLE file = ::CreateFileW((name + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        const bool complete = ::WriteFile(file, place.data(), static_cast<DWORD>(place.size()), &written, nullptr) &&
                              written == place.size();
        ::CloseHandle(file);
        if (!complete || !::MoveFileExW((name + L".tmp").c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
        for (int wait = 0; wait < 300 && ::GetFileAttributesW((name + L".done").c_str()) == INVALID_FILE_ATTRIBUTES; ++wait)
            ::Sleep(100);
    }

    // Writes one box's record.
    void Write(const BoxRecord& record, const Answer& answer) {
        std::vector<std::string> names;
        for (int id : record.buttons) names.push_back(NameOfButton(id));
        std::string lines;
        auto line = [&lines](std::string_view key, std::string_view value) {
            lines.append(key).append("=").append(value).append("\n");
        };
        line("box", std::to_string(++count_));
        line("caption", record.caption);
        line("text", record.text);
        line("icon", record.icon);
        line("buttons", Join(names));
        line("labels", Join(record.labels));
        line("topmost", record.topmost ? "1" : "0");
        line("pressed", NameOfAnswer(answer));
        log_.Write(lines);
    }

    DWORD processId_;
    std::vector<Answer> answers_;
    std::size_t next_ = 0;
    Log& log_;
    std::wstring poseFolder_;
    std::string cancelWhen_;
    ULONGLONG cancelDelayMs_;
    ULONGLONG cancelDueSince_ = 0;
    bool cancelPressed_ = false;
    bool progressSeen_ = false;
    std::string lastProgress_;
    std::vector<StandardIcon> standard_;
    std::map<HWND, Seen> seen_;
    int count_ = 0;
};

constexpr const char* kUsage =
    "usage: dialog_tool.exe --log <file> [--answers a1,a2,...] [--timeout-ms N] [--pose <folder>]\n"
    "                       [--cancel-when <state> [--cancel-delay-ms N]] -- <program.exe> [args...]\n"
    "  answers: yes no ok cancel abort retry ignore help tryagain continue close, or a button id\n"
    "  exit code: 0 the program ended, 3 timed out, 2 usage error, 4 could not write the log or start the program";

// Runs the program under watch; returns the tool's exit code.
int Run() {
    std::vector<std::wstring> args = Arguments();
    if (args.size() == 2 && (args[1] == L"--help" || args[1] == L"-h")) {
        std::string usage = std::string(kUsage) + "\n";
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), usage.data(), static_cast<DWORD>(usage.size()), &written, nullptr);
        return kExitNormal;
    }
    std::string error;
    std::optional<Options> options = ParseOptions(args, error);
    if (!options) {
        Complain(error);
        Complain(kUsage);
        return kExitUsage;
    }
    // Standard output may be a console; the records are UTF-8.
    ::SetConsoleOutputCP(CP_UTF8);
    Log log(options->log);
    if (!log.valid()) {
        Complain("cannot create the log " + Utf8(options->log) + " (error " + std::to_string(::GetLastError()) + ")");
        return kExitFailure;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = options->commandLine;
    // The wide call passes a path or argument on as given, whatever the ANSI
    // code page; the program inherits the environment (LC_ALL under Wine).
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        Complain("cannot start " + Utf8(commandLine) + " (error " + std::to_string(::GetLastError()) + ")");
        return kExitFailure;
    }
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);

    Watcher watcher(process.dwProcessId, options->answers, log, options->poseFolder, options->cancelWhen,
                    options->cancelDelayMs);
    ULONGLONG started = ::GetTickCount64();
    for (;;) {
        watcher.Poll();
        if (::WaitForSingleObject(processHandle.get(), kPollMs) == WAIT_OBJECT_0) break;
        if (::GetTickCount64() - started >= options->timeoutMs) {
            ::TerminateProcess(processHandle.get(), 1);
            ::WaitForSingleObject(processHandle.get(), 10000);
            log.Write("exit=timeout\n");
            Complain("timed out after " + std::to_string(options->timeoutMs) + " ms; the program was ended");
            return kExitTimeout;
        }
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    log.Write("exit=" + std::to_string(exitCode) + "\n");
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
