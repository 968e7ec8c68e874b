// The connection check against the stand-in streamer: it tests the machine the account
// model holds as selected, keeps trying while the streamer refuses or is not there yet, and
// posts the in-stream screen's command exactly when the streamer has readied its shared
// variables. Its log lines mark each step.

#include "SelectOsTestSupport.h"

#include "input-lib/InputClient.pb.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/selectos/CheckVmAndStartStream.h"
#include "stubstreamer/StubStreamer.h"

using InputClient::Request;
using InputClient::Response;
using playeruitest::Bench;
using selectostest::FakeWindow;

namespace {

void selectMachineAt(FakeWindow& window, int port) {
    DesktopInfo d;
    d.name = "Windows";
    d.state = "On";
    d.ip = "127.0.0.1";
    d.port = port;
    d.streamerKey = "stub-streamer-key";
    window.api.clientState.setDesktops({d});
    window.api.clientState.setSelectedDesktop("Windows");
}

}  // namespace

TEST(CheckVmAndStartStream, RetriesUntilTheStreamerAcceptsThenOpensTheStream) {
    Bench bench;
    FakeWindow window(bench.gui.get());
    StubStreamer streamer;
    std::atomic<int> attempts{0};
    std::string key;
    streamer.onRequest(Request::AUTHORIZATION, [&](StubConnection& c, const Request& r) {
        key = r.authorization().token();
        if (++attempts < 3) {
            c.respond(Response::AUTHORIZATION_FAILED);
            c.close();
        } else {
            c.respond(Response::AUTHORIZATION_SUCCESS_ADMIN);
        }
    });
    streamer.onRequest(Request::CLIENT_DB_READY_EVENT,
                       [](StubConnection& c, const Request&) { c.respond(Response::SERVER_DB_READY_EVENT); });
    selectMachineAt(window, streamer.port());

    const std::string log = testsupport::captureStdout([&] {
        CheckVmAndStartStream check(&window, std::chrono::milliseconds(30));
        ASSERT_TRUE(selectostest::waitFor([&] { return !window.posted().empty(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(window.posted(), std::vector<int>{kCommandStreamScreen}) << "posted once";
    });
    EXPECT_EQ(attempts.load(), 3);
    EXPECT_EQ(key, "stub-streamer-key");
    EXPECT_NE(log.find("ConnectionTester begin testing connection"), std::string::npos);
    EXPECT_NE(log.find("ConnectionTester critical error!"), std::string::npos) << "a refused key is logged";
    EXPECT_NE(log.find("ConnectionTester reconnect"), std::string::npos);
    EXPECT_NE(log.find("ConnectionTester success"), std::string::npos);
    EXPECT_NE(log.find("ConnectionTester finish"), std::string::npos);
    EXPECT_LT(log.find("ConnectionTester success"), log.find("ConnectionTester finish"));
    EXPECT_EQ(log.find("stub-streamer-key"), std::string::npos) << "the key never reaches the log";
}

TEST(CheckVmAndStartStream, KeepsTryingUntilTheStreamerIsThere) {
    Bench bench;
    FakeWindow window(bench.gui.get());
    int port;
    {
        StubStreamer gone;
        port = gone.port();
    }
    selectMachineAt(window, port);
    testsupport::captureStdout([&] {
        CheckVmAndStartStream check(&window, std::chrono::milliseconds(30));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(window.posted().empty()) << "nothing listens: no stream";
    });
}
