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
    EXPECT_EQ(ComposeInterpreterCommandLine(L"C:\\Program Files\\sys\\cmd.exe", L"ver"),
              L"\"C:\\Program Files\\sys\\cmd.exe\" /c ver");
}

}  // namespace
}  // namespace kavrel
