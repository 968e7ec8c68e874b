#pragma once
// Player mode of the real executable under Xvfb against the stand-in web service: the
// fixture (the service and a connection to the X server), an account's access token, and
// screenshots of the player's window saved to build/artifacts/.

#include <gtest/gtest.h>

// Before the X11 headers, whose macros clash with the JSON reader's names.
#include "webapi/JsonReaders.h"

#include <cstdint>
#include <set>
#include <string>

#include "../app/ClientTestSupport.h"
#include "../shell/X11TestSupport.h"
#include "../webapi/StubService.h"

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace playertest {

// The access token the stand-in service holds for the account of email, "" without one.
inline std::string accessTokenOf(StubService& stub, const char* email) {
    rapidjson::Document doc;
    const std::string state = stub.control("state");
    if (!parseJsonText(doc, state)) return std::string();
    const rapidjson::Value* account = findMember(doc, email);
    std::string token;
    if (account) readJsonString(*account, "access_token", token);
    return token;
}

// Saves the pixels as build/artifacts/<name>.png.
inline void saveScreenshot(const x11test::Pixels& p, const std::string& name) {
    ASSERT_FALSE(p.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", p.width, p.height, p.rgba.data()));
}

// Distinct colours among the pixels (a cleared window has one, a popup many, a decoded
// test picture hundreds).
inline std::size_t colourCount(const x11test::Pixels& p) {
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i + 3 < p.rgba.size(); i += 4)
        colours.insert(std::uint32_t(p.rgba[i]) << 16 | std::uint32_t(p.rgba[i + 1]) << 8 | p.rgba[i + 2]);
    return colours.size();
}

class PlayerModeFixture : public StubServiceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(x);
        StubServiceTest::SetUp();
    }

    x11test::Connection x;
};

}  // namespace playertest
