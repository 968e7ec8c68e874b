// formatString checks a format against its arguments before printf sees it: formats from a
// translated language file that do not fit come back as they stand instead of reading the
// wrong memory.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "TestSupport.h"
#include "core/FormatString.h"

TEST(FormatString, FormatsWhatFitsAndReturnsTheRawTextOtherwise) {
    const char* text = "abcdef";
    int n = 0;
    const struct {
        std::string got;
        std::string expected;
    } cases[] = {
        // Fitting formats are formatted as printf does.
        {formatString("%d%% of %s", 42, "bitrate"), "42% of bitrate"},
        {formatString("100%% done"), "100% done"},
        {formatString("plain"), "plain"},
        {formatString("%5.2f|%-3d|%03u|%x", 3.14159, 7, 9u, 255), " 3.14|7  |009|ff"},
        {formatString("%.3s", text), "abc"},
        {formatString("%c%c", 'o', 'k'), "ok"},
        {formatString("%ld %zu %lld", 5L, std::size_t{6}, 7LL), "5 6 7"},
        {formatString("%*d|%.*s", 4, 7, 2, "xyz"), "   7|xy"},
        {formatString("%hhd %hd", 1, 2), "1 2"},
        {formatString("%d", true), "1"},
        {formatString("%Lf", 1.5L), "1.500000"},
        // Arguments left over are ignored, as printf does.
        {formatString("%d", 1, 2), "1"},
        {formatString("no conversion", "x"), "no conversion"},
        // Numbered conversions may reorder, as translators need.
        {formatString("%2$s has %1$d", 3, "Desktop"), "Desktop has 3"},
        {formatString("%1$s and %1$s", "a"), "a and a"},
        // Conversions that do not fit their arguments: the raw text.
        {formatString("%s left", 3), "%s left"},
        {formatString("%d minutes", "ten"), "%d minutes"},
        {formatString("%s and %s", "one"), "%s and %s"},
        {formatString("%ld", 5), "%ld"},
        {formatString("%d", 5L), "%d"},
        {formatString("%f", 5), "%f"},
        {formatString("%s", nullptr), "%s"},
        {formatString("%*d", 4.0, 7), "%*d"},
        {formatString("%n", &n), "%n"},
        {formatString("%y", 1), "%y"},
        {formatString("50%", 1), "50%"},
        {formatString("%lc%hs", 1, "x"), "%lc%hs"},
        {formatString("%2$s %d", 1, "x"), "%2$s %d"},
        {formatString("%3$s", 1, 2, "x"), "%3$s"},
        {formatString("%2$s", "x"), "%2$s"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
    EXPECT_EQ(n, 0) << "%n never writes";
}

TEST(FormatString, PointersAndLongTexts) {
    int x = 0;
    const std::string pointer = formatString("%p", static_cast<void*>(&x));
    EXPECT_EQ(pointer.substr(0, 2), "0x");
    EXPECT_EQ(formatString("%p", "text").substr(0, 2), "0x") << "a C string may be printed as a pointer";
    const std::string big(5000, 'q');
    EXPECT_EQ(formatString("[%s]", big.c_str()), "[" + big + "]");
}

TEST(FormatString, ARejectedFormatIsLogged) {
    const std::string out = testsupport::captureStdout([] { formatString("%s minutes", 10); });
    EXPECT_NE(out.find("[E]"), std::string::npos) << out;
    EXPECT_NE(out.find("formatString"), std::string::npos) << out;
    EXPECT_NE(out.find("\"%s minutes\""), std::string::npos) << out;
    EXPECT_EQ(testsupport::captureStdout([] { formatString("%d minutes", 10); }), "");
}
