#include "StubService.h"

#include "webapi/BaseAPIJson.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
class BaseAPIJsonFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { stub = std::make_unique<StubService>(); }
    static void TearDownTestSuite() { stub.reset(); }
    void SetUp() override {
        stub->reset();
        useStubService(*stub);
    }

    // Fetches body through the stand-in into api's client and parses it.
    bool parseReply(::BaseAPIJson& api, const std::string& body, std::string* printed = nullptr) {
        stub->replyWith("/api/v1/get_tip.json", body);
        EXPECT_TRUE(api.client.get(stub->baseUrl() + "/api/v1/get_tip.json"));
        bool result = false;
        const std::string out = captureStdout([&] {
            rapidjson::Document doc;
            result = api.parseResponse(doc);
        });
        if (printed) *printed = out;
        return result;
    }
    static std::unique_ptr<StubService> stub;
};
std::unique_ptr<StubService> BaseAPIJsonFixture::stub;

bool hasLine(const std::string& out, const char* letter, const std::string& text) {
    std::size_t at = 0;
    while ((at = out.find(text, at)) != std::string::npos) {
        const std::size_t start = out.rfind('\n', at);
        const std::size_t lineStart = start == std::string::npos ? 0 : start + 1;
        if (out.compare(lineStart, 3, std::string("[") + letter + "]") == 0 &&
            out.find("BaseAPIJson::checkResponseStatus", lineStart) < at)
            return true;
        ++at;
    }
    return false;
}
}  // namespace

namespace fixtures {
using BaseAPIJson = BaseAPIJsonFixture;

TEST_F(BaseAPIJson, EnvelopeCases) {
    const struct {
        const char* body;
        bool ok;
        int status;
        const char* error;
        const char* message;
    } cases[] = {
        {R"({"status":1,"response":{}})", true, 1, "", ""},
        {R"({"status":"1"})", true, 1, "", ""},
        {R"({"status":"9"})", true, 9, "", ""},
        {R"({"status":"-"})", false, -3, "", ""},
        {R"({"status":"10","error":"e","message":"m"})", false, -66, "e", "m"},
        {R"({"status":true,"error":"e"})", false, -66, "", "old"},
        {R"({"error":"e"})", false, -66, "", "old"},
        {"not json", false, 0, "Error: response is not JSON", "old"},
        {"", false, 0, "Error: response is not JSON", "old"},
        {R"({"status":0,"error":"x"})", false, 0, "x", ""},
        {R"({"status":-2,"error":"x","message":"y"})", false, -2, "x", "y"},
        {R"({"status":2,"response":{"message":"busy"}})", true, 2, "", "busy"},
        {R"({"status":1,"message":"m","response":{}})", true, 1, "", ""},
        {R"({"status":1,"error":"top","response":{"error":"inner"}})", true, 1, "inner", ""},
        {R"({"status":1,"error":"top","response":5})", true, 1, "", ""},
        // Values the network must not be able to crash the client with.
        {"[1]", false, -66, "", "old"},
        {"5", false, -66, "", "old"},
        {R"({"status":1.9})", true, 1, "", ""},
        {R"({"status":1e10,"error":"e"})", false, -66, "e", ""},
        {R"({"status":4294967297})", false, -66, "", ""},
        {R"({"status":-3000000000})", false, -66, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        ::BaseAPIJson api;
        api.message = "old";
        EXPECT_EQ(parseReply(api, c.body), c.ok);
        EXPECT_EQ(api.status, c.status);
        EXPECT_EQ(api.error, c.error);
        EXPECT_EQ(api.message, c.message);
    }
}

TEST_F(BaseAPIJson, FailuresAreLoggedWithTheServiceTexts) {
    ::BaseAPIJson api;
    std::string out;
    EXPECT_FALSE(parseReply(api, R"({"status":-2,"error":"x","message":"m"})", &out));
    EXPECT_TRUE(hasLine(out, "E", "Request status: -2")) << out;
    EXPECT_TRUE(hasLine(out, "E", "Request error: x")) << out;
    EXPECT_TRUE(hasLine(out, "I", "Request message: m")) << out;

    EXPECT_FALSE(parseReply(api, R"({"status":true})", &out));
    EXPECT_EQ(out, "");
    // A 200 reply that is not JSON is an error the user and the log hear about.
    EXPECT_FALSE(parseReply(api, "<html>busy</html>", &out));
    EXPECT_NE(out.find("[E]["), std::string::npos) << out;
    EXPECT_NE(out.find("BaseAPIJson::parseResponse"), std::string::npos) << out;
    EXPECT_NE(out.find("17-byte reply"), std::string::npos) << out;
    EXPECT_EQ(api.status, 0);
    EXPECT_EQ(api.getErrorText(), "Error: response is not JSON");

    EXPECT_TRUE(parseReply(api, R"({"status":1,"response":{"message":"hello"}})", &out));
    EXPECT_FALSE(hasLine(out, "E", "Request status")) << out;
    EXPECT_TRUE(hasLine(out, "I", "Request message: hello")) << out;
}

TEST_F(BaseAPIJson, FormatErrorAndErrorTexts) {
    ::BaseAPIJson api;
    std::string out = captureStdout([&] { EXPECT_FALSE(api.errorJsonFormatChanged()); });
    EXPECT_EQ(api.status, -65);
    EXPECT_EQ(api.error, "Error: response have unknown format");
    EXPECT_NE(out.find("BaseAPIJson::errorJsonFormatChanged"), std::string::npos);
    EXPECT_NE(out.find("Json parse error: Error: response have unknown format"), std::string::npos);

    ::BaseAPIJson zero;
    parseReply(zero, R"({"status":0,"error":"x"})");
    EXPECT_EQ(zero.getErrorText(), "x");
    ::BaseAPIJson minusTwo;
    parseReply(minusTwo, R"({"status":-2,"error":"x"})");
    EXPECT_EQ(minusTwo.getErrorText(), "");

    ::BaseAPIJson http;
    stub->replyWith("/api/v1/get_tip.json", R"({"status":0,"error":"x"})", 500);
    EXPECT_FALSE(http.client.get(stub->baseUrl() + "/api/v1/get_tip.json"));
    EXPECT_EQ(http.getErrorText(), "HTTP error occurred!");

    ::BaseAPIJson unreachable;
    unsetenv("NIMBROSTA_EXTRA_ROOT_CA");
    EXPECT_FALSE(unreachable.client.get(stub->baseUrl() + "/api/v1/get_tip.json"));
    EXPECT_EQ(unreachable.getErrorText(), "HTTP error occurred!Network error occurred!");
}
}  // namespace fixtures
