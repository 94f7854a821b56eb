#include "platform/run_log.h"

#include <windows.h>

#include "base/log_rules.h"
#include "base/text_decoding.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

UniqueHandle& LogFile() {
    static UniqueHandle file;
    return file;
}

}  // namespace

bool StartRunLog(const std::wstring& path) {
    // Appended to, so that several runs share one file; open to readers (and
    // to another run's appends) while this run writes.
    LogFile().reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return RunLogOn();
}

bool RunLogOn() { return static_cast<bool>(LogFile()); }

void LogLine(const ShownText& text) {
    if (!RunLogOn()) return;
    try {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        const std::string line =
            FormatLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds},
                          EncodeText(DecodeShownText(text, kSystemCodePage), kUtf8CodePage));
        DWORD written = 0;
        // A log that cannot be written is given up, never the run.
        if (!::WriteFile(LogFile().get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size())
            LogFile().reset();
    } catch (...) {
        // No memory for a line: the line is left out.
    }
}

void StopRunLog() { LogFile().reset(); }

}  // namespace kavrel
