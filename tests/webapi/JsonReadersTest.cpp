#include "webapi/JsonReaders.h"

#include <gtest/gtest.h>

#include <climits>

namespace {
rapidjson::Document parse(const std::string& text) {
    rapidjson::Document doc;
    EXPECT_TRUE(parseJsonText(doc, text)) << text;
    return doc;
}
}  // namespace

TEST(JsonReaders, StringAndBoolSetTheirDefaultBeforeLookingUp) {
    const auto doc = parse(R"({"s":"text","b":false,"n":1,"z":"a\u0000b"})");
    const struct {
        const char* name;
        bool stringFound;
        std::string stringOut;
        bool boolFound;
        bool boolOut;
    } cases[] = {
        {"s", true, "text", false, true},
        {"b", false, "", true, false},
        {"n", false, "", false, true},
        {"missing", false, "", false, true},
        {"z", true, "a", false, true},  // text up to the first NUL byte
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string s = "old";
        bool b = false;
        EXPECT_EQ(readJsonString(doc, c.name, s), c.stringFound);
        EXPECT_EQ(s, c.stringOut);
        EXPECT_EQ(readJsonBool(doc, c.name, b), c.boolFound);
        EXPECT_EQ(b, c.boolOut);
    }
}

TEST(JsonReaders, IntAndDoubleRules) {
    const auto doc = parse(R"({"i":7,"neg":-7,"null":null,"f":2.9,"nf":-2.9,"big":4294967296,"huge":1e300,
        "max":2147483647,"min":-2147483648,"over":2147483648,"s":"7","b":true,"o":{},"a":[]})");
    const struct {
        const char* name;
        bool intOk;
        std::int32_t intOut;  // 99 = unchanged
        bool doubleOk;
        double doubleOut;  // 99 = unchanged
    } cases[] = {
        {"i", true, 7, true, 7},
        {"neg", true, -7, true, -7},
        {"null", true, 0, true, 0},
        {"f", true, 2, true, 2.9},
        {"nf", true, -2, true, -2.9},
        {"big", false, 99, false, 99},
        {"huge", false, 99, true, 1e300},
        {"max", true, INT32_MAX, true, 2147483647.0},
        {"min", true, INT32_MIN, true, -2147483648.0},
        {"over", false, 99, false, 99},
        {"s", false, 99, false, 99},
        {"b", false, 99, false, 99},
        {"o", false, 99, false, 99},
        {"a", false, 99, false, 99},
        {"missing", false, 99, false, 99},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t i = 99;
        EXPECT_EQ(readJsonInt(doc, c.name, i), c.intOk);
        EXPECT_EQ(i, c.intOut);
        if (const rapidjson::Value* value = findMember(doc, c.name)) {
            double d = 99;
            EXPECT_EQ(readJsonDouble(*value, d), c.doubleOk);
            EXPECT_EQ(d, c.doubleOut);
        }
    }
}

TEST(JsonReaders, EtaKeepsTheLow32BitsOfATruncatedNumber) {
    const auto doc = parse(R"({"a":30.7,"b":4294967326.5,"c":-1.5,"d":1e30,"e":null,"f":"5","g":20})");
    const struct {
        const char* name;
        bool ok;
        std::int32_t out;
    } cases[] = {{"a", true, 30}, {"b", true, 30}, {"c", true, -1}, {"d", false, 300},
                 {"e", true, 0},  {"f", false, 300}, {"g", true, 20}, {"missing", false, 300}};
    for (const auto& c : cases) {
        std::int32_t eta = 300;
        EXPECT_EQ(readJsonEta(doc, c.name, eta), c.ok) << c.name;
        EXPECT_EQ(eta, c.out) << c.name;
    }
}

// A value that is not an object has no members, whatever is asked of it.
TEST(JsonReaders, NonObjectsHaveNoMembers) {
    for (const char* text : {"[1,2]", "5", "\"status\"", "null", "true"}) {
        SCOPED_TRACE(text);
        const auto doc = parse(text);
        std::string s = "x";
        bool b = false;
        std::int32_t i = 4;
        EXPECT_FALSE(hasMember(doc, "status"));
        EXPECT_FALSE(readJsonString(doc, "status", s));
        EXPECT_FALSE(readJsonBool(doc, "status", b));
        EXPECT_TRUE(b);
        EXPECT_FALSE(readJsonInt(doc, "status", i));
        EXPECT_EQ(i, 4);
    }
}

TEST(JsonReaders, ParsingRejectsBadTextAndSurvivesDeepNesting) {
    rapidjson::Document doc;
    for (const char* text : {"", "not json", "{\"a\":", "{\"a\":1}x", "{'a':1}", "[1,]", "NaN"}) {
        EXPECT_FALSE(parseJsonText(doc, text)) << text;
    }
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    EXPECT_TRUE(parseJsonText(doc, deep));
    EXPECT_FALSE(parseJsonText(doc, std::string(200000, '[')));
}

TEST(JsonReaders, UnguardedAccessThrowsInsteadOfAborting) {
    const auto doc = parse(R"({"s":"x"})");
    EXPECT_THROW(doc["s"].GetInt(), JsonAssertionError);
    EXPECT_THROW(doc["s"].MemberCount(), JsonAssertionError);
}
