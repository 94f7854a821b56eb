#include "platform/console_command_rules.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(ConsoleOutput, ReadsLinesEndedByCrLfOrLf) {
    EXPECT_EQ(ReadAsTextLines(""), "\r\n");
    EXPECT_EQ(ReadAsTextLines("\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n"),
              "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n");
    EXPECT_EQ(ReadAsTextLines("a\nb"), "a\r\nb\r\n");
    EXPECT_EQ(ReadAsTextLines("a\r\n\r\n"), "a\r\n\r\n");
    EXPECT_EQ(ReadAsTextLines("a\rb\n"), "a\rb\r\n");
}

TEST(ConsoleOutput, TheInterpreterIsTheSystemFoldersAndItsPathIsQuoted) {
    EXPECT_EQ(SystemInterpreterPath(L"C:\\Windows\\system32"), L"C:\\Windows\\system32\\cmd.exe");
    EXPECT_EQ(SystemInterpreterPath(L"D:\\"), L"D:\\cmd.exe");
    EXPECT_EQ(SystemInterpreterPath(L""), L"");
    struct Row {
        const wchar_t* interpreter;
        const wchar_t* command;
        const wchar_t* line;
    };
    // "/d" before "/c": the user's AutoRun never runs, and "/d" is never taken as the command.
    const Row rows[] = {
        {L"C:\\Program Files\\sys\\cmd.exe", L"ver", L"\"C:\\Program Files\\sys\\cmd.exe\" /d /c ver"},
        {L"C:\\Windows\\system32\\cmd.exe", L"", L"\"C:\\Windows\\system32\\cmd.exe\" /d /c "},
        {L"", L"vol /d", L"\"\" /d /c vol /d"},
    };
    for (const Row& row : rows) EXPECT_EQ(ComposeInterpreterCommandLine(row.interpreter, row.command), row.line);
}

// A console without a window (CREATE_NO_WINDOW, never beside CREATE_NEW_CONSOLE
// or DETACHED_PROCESS, which void it), suspended until its job holds it, and
// the extended startup information only with the handle list.
TEST(ConsoleOutput, TheInterpreterStartsWindowlessAndSuspended) {
    const struct {
        bool handleList;
        std::uint32_t flags;
    } rows[] = {{false, 0x08000204u}, {true, 0x08080204u}};
    for (const auto& row : rows) EXPECT_EQ(InterpreterCreationFlags(row.handleList), row.flags) << row.handleList;
}

}  // namespace
}  // namespace kavrel
