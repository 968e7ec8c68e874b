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

TEST(Utf8, PrefixNeverEndsInsideASequence) {
    struct Case { std::string text; std::size_t maxBytes; std::string expected; };
    const std::string a25(25, 'a');
    std::string umlauts;
    for (int i = 0; i < 14; ++i) umlauts += "\xC3\x84";
    const Case cases[] = {
        {"", 26, ""},
        {"short", 26, "short"},
        {std::string(40, 'x'), 26, std::string(26, 'x')},
        {a25 + "\xE2\x82\xAC", 26, a25},                         // the euro sign straddles the limit
        {a25 + "b\xE2\x82\xAC", 26, a25 + "b"},                  // the cut falls on its lead byte
        {umlauts, 26, umlauts.substr(0, 26)},                    // 13 whole characters fit exactly
        {umlauts, 27, umlauts.substr(0, 26)},
        {"\xF0\x9F\x98\x80" "x", 3, ""},                         // nothing whole fits
        {std::string(5, '\x80'), 3, ""},                         // only continuation bytes
    };
    for (const auto& c : cases) EXPECT_EQ(utf8Prefix(c.text, c.maxBytes), c.expected) << c.maxBytes;
}
