#include "core/LogLine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using testsupport::captureStdout;

TEST(LogLine, HeaderLayout) {
    struct Case { int level; std::uint64_t tid; std::string function; int line; std::string expected; };
    const std::string name60(60, 'f');
    const Case cases[] = {
        {0, 0x834, "createHProcess", 99, "[I][ 834, " + std::string(34, ' ') + "createHProcess,  99]: "},
        {45, 0x834, "f", 1, "[I][ 834, " + std::string(47, ' ') + "f,   1]: "},
        {20, 1, "f", 1, "[D][   1, " + std::string(47, ' ') + "f,   1]: "},
        {40, 0xabc, "f", 1, "[W][ abc, " + std::string(47, ' ') + "f,   1]: "},
        {50, 0x12345, name60, 1189, "[E][12345, " + name60 + ", 1189]: "},
        {70, 0, "f", 10, "[F][{Not-any-thread}, " + std::string(47, ' ') + "f,  10]: "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LogLine::formatHeader(c.level, c.tid, c.function.c_str(), c.line), c.expected) << c.function;
    }
}

TEST(LogLine, PrintsOneLineAndLevel100IsSilent) {
    const std::string out = captureStdout([] {
        LogLine(0, "createHProcess", 99).stream() << "startup result" << 1;
        LogLine(100, "silent", 1).stream() << "never printed";
        LogLine(50, "x", 2).appendText("a").appendText(nullptr).stream() << 7;
    });
    const std::string tid = [] {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%4llx", static_cast<unsigned long long>(LogLine::currentThreadId()));
        return std::string(buf);
    }();
    EXPECT_EQ(out, "[I][" + tid + ", " + std::string(34, ' ') + "createHProcess,  99]: startup result1\n"
                   "[E][" + tid + ", " + std::string(47, ' ') + "x,   2]: a7\n");
}

TEST(LogLine, FormatStringGrowsAndHandlesEmpty) {
    EXPECT_EQ(formatString("%s", std::string(99, 'a').c_str()), std::string(99, 'a'));
    EXPECT_EQ(formatString("%s", std::string(100, 'b').c_str()), std::string(100, 'b'));
    EXPECT_EQ(formatString("%s", std::string(450, 'c').c_str()), std::string(450, 'c'));
    EXPECT_EQ(formatString("%s", ""), "");
    EXPECT_EQ(formatString("%d%%", 42), "42%");
}
