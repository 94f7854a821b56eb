#include "env/console_output.h"

#include <gtest/gtest.h>

#include "base/random.h"

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

TEST(ConsoleOutput, ComposesTheRedirectedCommandLine) {
    EXPECT_EQ(ComposeRedirectedCommandLine("C:\\Windows\\system32\\cmd.exe", "ver", "C:\\Temp\\qhzkcwte"),
              "C:\\Windows\\system32\\cmd.exe /c ver > \"C:\\Temp\\qhzkcwte\"");
}

TEST(ConsoleOutput, NamesFilesWithEightLowerCaseLettersThatFollowTheSeed) {
    SeedRandom(7);
    std::string first = MakeRandomFileName();
    ASSERT_EQ(first.size(), 8u);
    for (char c : first) EXPECT_TRUE(c >= 'a' && c <= 'z');
    EXPECT_NE(MakeRandomFileName(), first);
    SeedRandom(7);
    EXPECT_EQ(MakeRandomFileName(), first);
}

}  // namespace
}  // namespace kavrel
