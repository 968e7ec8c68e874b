#include "core/Utf8.h"

#include <gtest/gtest.h>

using CodePoints = std::vector<std::uint32_t>;

TEST(Utf8, DecodesLeniently) {
    struct Case { std::string bytes; CodePoints expected; };
    const Case cases[] = {
        {"", {}},
        {"abc", {'a', 'b', 'c'}},
        {"\x68\xC3\xA9", {0x68, 0xE9}},
        {"\xA9\x41", {0x41}},                          // stray continuation byte skipped
        {"\xC3\x41\xA9", {0xE9}},                      // byte inside a sequence passed over
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\xFE\xFFx", {'x'}},                          // 0xFE and 0xFF skipped
        {std::string("a\0b", 3), {'a'}},               // ends at the first zero byte
        {"a\xE2\x82", {'a'}},                          // cut short at the end: dropped
        {std::string("\xE2\x82\0\xAC", 4), {}},       // zero byte inside a sequence ends the text
        {"\xFD\xBF\xBF\xBF\xBF\xBF", {0x7FFFFFFF}},    // six-byte form
        {"\xC0\x80", {0}},                             // overlong form not rejected
    };
    for (const auto& c : cases) EXPECT_EQ(utf8ToCodePoints(c.bytes), c.expected);
}

TEST(Utf8, EncodesOneToSixBytes) {
    struct Case { CodePoints cps; std::string expected; };
    const Case cases[] = {
        {{}, ""},
        {{'A'}, "A"},
        {{0xE9}, "\xC3\xA9"},
        {{0x7FF, 0x800}, "\xDF\xBF\xE0\xA0\x80"},
        {{0x20AC}, "\xE2\x82\xAC"},
        {{0x1F600}, "\xF0\x9F\x98\x80"},
        {{0x200000}, "\xF8\x88\x80\x80\x80"},
        {{0x7FFFFFFF}, "\xFD\xBF\xBF\xBF\xBF\xBF"},
        {{0x80000000u, 'x'}, "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(codePointsToUtf8(c.cps), c.expected);
}

TEST(Utf8, RoundTripsEveryScalarValueSample) {
    CodePoints all;
    for (std::uint32_t cp = 1; cp < 0x110000; cp += 97) all.push_back(cp);
    EXPECT_EQ(utf8ToCodePoints(codePointsToUtf8(all)), all);
}
