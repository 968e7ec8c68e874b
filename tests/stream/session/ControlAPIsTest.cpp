// Requests built by the feature objects of an endpoint, as the stand-in streamer receives
// them, and the ping window.
#include <gtest/gtest.h>

#include <thread>

#include "core/Random.h"
#include "input-lib/InputClient.pb.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/CommonAPI.h"
#include "stream/session/InputAPI.h"
#include "stream/session/InputInterface.h"
#include "stream/session/PingAPI.h"
#include "stream/session/SystemControlAPI.h"
#include "stream/session/VideoControlAPI.h"
#include "stubstreamer/StubStreamer.h"
#include "StreamTestSupport.h"

using namespace std::chrono_literals;
using InputClient::Request;

namespace {

class Endpoint : public InputInterface {
public:
    void onConnectionStarted() override { started = true; }
    std::atomic<bool> started{false};
};

// Connects an endpoint to a stub and returns the bodies of the requests an action sends.
class Wire {
public:
    Wire() {
        endpoint.InitiateConnection("127.0.0.1", stub.port());
        while (!endpoint.started) std::this_thread::sleep_for(1ms);
        EXPECT_TRUE(stub.waitForConnections(1));
    }
    std::vector<std::vector<int>> bodies(const std::function<void()>& action) {
        const std::size_t before = stub.frameCount();
        action();
        // A log line marks the end of what the action sent.
        endpoint.commonAPI().LogString("end");
        std::vector<std::vector<int>> out;
        EXPECT_TRUE(stub.waitUntil(
            [&] {
                auto f = stub.frames();
                return !f.empty() && f.back().type() == Request::LOG_STRING &&
                       f.back().request.logmessage() == "end" && f.size() > before;
            },
            5s));
        auto frames = stub.frames();
        for (std::size_t i = before; i + 1 < frames.size(); ++i) out.push_back(bytesOf(frames[i].body));
        return out;
    }
    StubStreamer stub;
    Endpoint endpoint;
};

class CountingListener : public IListenerBase<InputAPIEvent::eInputAPIEvent> {
public:
    void onEvent(InputAPIEvent::eInputAPIEvent) override { ++count; }
    std::atomic<int> count{0};
};

}  // namespace

TEST(InputAPI, RequestsOnTheWireAndActivityNotifications) {
    Wire w;
    InputAPI& in = w.endpoint.inputAPI();
    CountingListener listener;
    in.addListener(&listener);
    using B = std::vector<std::vector<int>>;
    struct Case {
        const char* name;
        std::function<void()> action;
        B expected;
        int notifications;
    } cases[] = {
        {"type text A", [&] { in.TypeText("A"); },
         B{{0x08, 0x1C, 0x8A, 0x03, 0x05, 0x10, 0x41, 0x18, 0x84, 0x02},
           {0x08, 0x1C, 0x8A, 0x03, 0x05, 0x10, 0x41, 0x18, 0x86, 0x02}},
         2},
        {"type empty text", [&] { in.TypeText(""); }, B{}, 0},
        {"key up keeps given flags", [&] { in.KeyUp(0x41, 0x1E, 3); },
         B{{0x08, 0x1C, 0x8A, 0x03, 0x06, 0x08, 0x41, 0x10, 0x1E, 0x18, 0x03}}, 1},
        {"key down", [&] { in.KeyDown(0x0D, 0x1C, 0); },
         B{{0x08, 0x1C, 0x8A, 0x03, 0x04, 0x08, 0x0D, 0x10, 0x1C}}, 1},
        {"relative mouse move", [&] { in.MouseMove(0, 0, 1, 2, 0, 0, false); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x06, 0x18, 0x01, 0x20, 0x02, 0x38, 0x01}}, 1},
        {"absolute mouse move", [&] { in.MouseMove(1, 0, 0, 0, 0, 0, true); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x06, 0x08, 0x01, 0x38, 0x81, 0x80, 0x02}}, 1},
        {"left press", [&] { in.MouseButton(0, 0, 0, 0, 0, true); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x02, 0x38, 0x02}}, 1},
        {"left release notifies nobody", [&] { in.MouseButton(0, 0, 0, 0, 0, false); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x02, 0x38, 0x04}}, 0},
        {"middle, right", [&] {
             in.MouseButton(0, 0, 0, 0, 1, true);
             in.MouseButton(0, 0, 0, 0, 2, false);
         },
         B{{0x08, 0x03, 0xB2, 0x01, 0x02, 0x38, 0x20}, {0x08, 0x03, 0xB2, 0x01, 0x02, 0x38, 0x10}}, 1},
        {"extra buttons", [&] {
             in.MouseButton(0, 0, 0, 0, 3, true);
             in.MouseButton(0, 0, 0, 0, 4, false);
         },
         B{{0x08, 0x03, 0xB2, 0x01, 0x05, 0x38, 0x80, 0x01, 0x40, 0x01},
           {0x08, 0x03, 0xB2, 0x01, 0x05, 0x38, 0x80, 0x02, 0x40, 0x02}},
         1},
        {"unknown button", [&] { in.MouseButton(0, 0, 0, 0, 7, true); }, B{{0x08, 0x03, 0xB2, 0x01, 0x00}}, 1},
        {"wheel 32768 wraps to -32768", [&] { in.MouseWheel(0, 0, 0, 0, 32768); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x0E, 0x38, 0x80, 0x10, 0x40, 0x80, 0x80, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
         1},
        {"wheel -120", [&] { in.MouseWheel(0, 0, 0, 0, -120); },
         B{{0x08, 0x03, 0xB2, 0x01, 0x0E, 0x38, 0x80, 0x10, 0x40, 0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
         1},
        {"joystick axis of pad 300 is pad 44", [&] { in.JoystickAxis(static_cast<std::uint8_t>(300), 2, 5); },
         B{{0x08, 0x15, 0xEA, 0x02, 0x08, 0x08, 0x02, 0x10, 0x2C, 0x20, 0x02, 0x50, 0x05}}, 1},
        {"joystick button", [&] { in.JoystickButtonDown(1, 3); },
         B{{0x08, 0x15, 0xEA, 0x02, 0x08, 0x08, 0x01, 0x10, 0x01, 0x18, 0x03, 0x50, 0x01}}, 1},
        {"resets", [&] {
             in.KeyboardReset();
             in.JoystickReset();
         },
         B{{0x08, 0x17}, {0x08, 0x16}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        listener.count = 0;
        EXPECT_EQ(w.bodies(c.action), c.expected);
        EXPECT_EQ(listener.count, c.notifications);
    }
    in.removeListener(&listener);
}

TEST(InputAPI, JoystickStatePacksAxisBytesLowFirst) {
    Wire w;
    GamepadState first;
    first.axes[0] = 1;
    GamepadState ninth;
    ninth.axes[8] = 1;
    GamepadState triggers = GamepadState::neutral();
    EXPECT_NE(triggers, [&] {
        GamepadState t = triggers;
        t.axes[11] = 1;
        return t;
    }());
    auto frames = w.bodies([&] {
        w.endpoint.inputAPI().JoystickStateV2(2, first);
        w.endpoint.inputAPI().JoystickStateV2(2, ninth);
        w.endpoint.inputAPI().JoystickStateV2(0, GamepadState::neutral());
    });
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], (std::vector<int>{0x08, 0x1B, 0x82, 0x03, 0x04, 0x08, 0x02, 0x18, 0x01}));
    EXPECT_EQ(frames[1], (std::vector<int>{0x08, 0x1B, 0x82, 0x03, 0x04, 0x08, 0x02, 0x20, 0x01}));
    Request neutral;
    neutral.ParseFromArray(std::string(frames[2].begin(), frames[2].end()).data(), static_cast<int>(frames[2].size()));
    EXPECT_EQ(neutral.joystickstatev2().axises1(), 0x8080808080808080ull);
    EXPECT_EQ(neutral.joystickstatev2().axises2(), 0x8080808000008080ull);
    EXPECT_EQ(neutral.joystickstatev2().buttons(), 0u);
}

TEST(SystemControlAPI, CommandsOnTheWire) {
    Wire w;
    SystemControlAPI& s = w.endpoint.systemControlAPI();
    auto frames = w.bodies([&] {
        s.LaunchSteamBigPictureMode();
        s.KillSteam();
        s.ChangeWindowsUILanguage(0);
        s.ChangeWindowsUILanguage(3);
        s.ChangeWindowsUILanguage(-1);
        s.ChangeWindowsUILanguage(2);
        s.ShowDesktop();
        s.UploadAndRunPython("p");
    });
    EXPECT_EQ(frames, (std::vector<std::vector<int>>{{0x08, 0x1A},
                                                     {0x08, 0x1A, 0xF8, 0x02, 0x07},
                                                     {0x08, 0x26},
                                                     {0x08, 0x26},
                                                     {0x08, 0x26},
                                                     {0x08, 0x26, 0xC0, 0x03, 0x02},
                                                     {0x08, 0x19},
                                                     {0x08, 0x24, 0xB2, 0x03, 0x01, 0x70}}));
}

TEST(VideoControlAPI, VideoRequestsOnTheWire) {
    Wire w;
    VideoControlAPI& v = w.endpoint.videoControlAPI();
    auto frames = w.bodies([&] {
        v.VideoNotifyLostPacketInfo(10, 65537, 1234);
        v.VideoNotifyLostPacketInfo(-1, 2, 0);
        v.VideoStartIntraRefresh();
        v.VideoInvalidateReferenceFrames({});
        v.VideoForceIDRFrame();
    });
    EXPECT_EQ(frames, (std::vector<std::vector<int>>{
                          {0x08, 0x14, 0xE2, 0x02, 0x07, 0x08, 0x0A, 0x10, 0x01, 0x18, 0xD2, 0x09},
                          {0x08, 0x14, 0xE2, 0x02, 0x06, 0x08, 0xFF, 0xFF, 0x03, 0x10, 0x02},
                          {0x08, 0x0D, 0xB2, 0x02, 0x00},
                          {0x08, 0x0B, 0xA2, 0x02, 0x00},
                          {0x08, 0x0C}}));
    EXPECT_EQ(v.lostPacketsTotal(), 3);
}

TEST(ClientDBAPI, SynchronisationAnnouncesTheStoreId) {
    Wire w;
    const int id = w.endpoint.clientDBAPI().db().clientId();
    auto frames = w.bodies([&] { w.endpoint.clientDBAPI().syncAll(); });
    ASSERT_EQ(frames.size(), 2u);  // the client's own variables are all local-only
    std::vector<int> connected{0x08, 0x28}, ready{0x08, 0x29};
    if (id != 0) {
        Request r;
        r.set_clientdbid(id);
        for (int b : bytesOf(r.SerializeAsString())) connected.push_back(b), ready.push_back(b);
    }
    EXPECT_EQ(frames[0], connected);
    EXPECT_EQ(frames[1], ready);
}

TEST(ClientDBAPI, VariableChangeRoundTripsThroughTheStreamer) {
    Wire w;
    StubSessionScript script;
    w.stub.scriptStandardSession(script);
    w.stub.lastConnection()->respond([] {
        InputClient::Response r;
        r.set_type(InputClient::Response::SERVER_DB_VARIABLE_EVENT);
        *r.mutable_variableevent() = StubStreamer::int32Definition("Video.Bitrate", 10000, 100, 7);
        return r;
    }());
    VideoControlAPI& v = w.endpoint.videoControlAPI();
    ASSERT_TRUE(eventually([&] { return v.bitrate.changed.load(); }));
    v.bitrate.changed = false;
    EXPECT_EQ(v.bitrate.get(), 10000);
    EXPECT_EQ(v.bitrate.set(3000), 0);
    ASSERT_TRUE(eventually([&] { return v.bitrate.changed.load(); }));  // accepted
    EXPECT_EQ(v.bitrate.get(), 3000);
    const auto request = w.stub.requests(Request::CLIENT_DB_VARIABLE_EVENT).at(0);
    const int cookie = w.endpoint.clientDBAPI().db().cookieCounter() - 1;
    Request expected;
    expected.set_type(Request::CLIENT_DB_VARIABLE_EVENT);
    auto* e = expected.mutable_variableevent();
    e->mutable_name()->set_stringname("Video.Bitrate");
    e->set_value(std::string("\x08\xB8\x17", 3));
    e->set_event(InputClient::UPDATE_REQUEST);
    e->set_oldcookie(100);
    e->set_newcookie(cookie);
    EXPECT_EQ(request.body, expected.SerializeAsString());
}

TEST(PingAPI, WindowKeepsTenSamplesAndPublishesMeanAndLast) {
    InputInterface endpoint;
    PingAPI& ping = endpoint.pingAPI();
    Int32Variable avg(&endpoint.clientDBAPI().db(), VariableNames::kClientAvgPing);
    EXPECT_EQ(ping.averagePing(), 50);
    EXPECT_EQ(ping.lastPing(), 50);
    EXPECT_EQ(avg.get(), 50);

    auto now = std::chrono::steady_clock::now();
    ping.window().setClock([&] { return now; });
    for (int rtt = 10; rtt <= 110; rtt += 10) {
        const auto number = ping.window().begin();
        now += std::chrono::milliseconds(rtt);
        EXPECT_EQ(ping.addSample(number), rtt);
    }
    EXPECT_EQ(ping.averagePing(), 65);
    EXPECT_EQ(ping.lastPing(), 110);
    EXPECT_EQ(ping.window().pendingCount(), 0u);  // answered pings leave

    // Truncation to whole milliseconds.
    auto n = ping.window().begin();
    now += std::chrono::microseconds(2500);
    EXPECT_EQ(ping.addSample(n), 2);
    n = ping.window().begin();
    now += std::chrono::microseconds(900);
    EXPECT_EQ(ping.addSample(n), 0);
    // An unknown number changes nothing; a repeated pong is unknown by then.
    EXPECT_EQ(ping.addSample(n), -1);
    // The pong handler still publishes the current figures.
    InputClient::Response pong;
    pong.set_type(InputClient::Response::NETWORK_PONG);
    pong.set_pongnumber(n);
    EXPECT_TRUE(ping.handle(pong));
    EXPECT_EQ(avg.get(), ping.averagePing());

    // Pings never answered are dropped after a minute.
    ping.window().begin();
    now += std::chrono::seconds(61);
    ping.window().begin();
    EXPECT_EQ(ping.window().pendingCount(), 1u);
}

TEST(PingAPI, EqualDrawsGiveConsecutiveNumbers) {
    InputInterface endpoint;
    setRandomSource([] { return 300; });
    const auto a = endpoint.pingAPI().window().begin();
    const auto b = endpoint.pingAPI().window().begin();
    setRandomSource(nullptr);
    EXPECT_EQ(a, 90000);
    EXPECT_EQ(b, 90001);
}

TEST(PingAPI, PingsAreAnsweredOverTheChannel) {
    Wire w;
    w.stub.scriptStandardSession();
    w.endpoint.pingAPI().Ping();
    ASSERT_TRUE(w.stub.waitForRequests(Request::NETWORK_PING));
    ASSERT_TRUE(eventually([&] { return w.endpoint.pingAPI().window().pendingCount() == 0; }));
    EXPECT_LT(w.endpoint.pingAPI().lastPing(), 1000);
}
