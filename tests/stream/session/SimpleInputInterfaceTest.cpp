// The session controller against the stand-in streamer, with a stand-in RTSP player.
#include <gtest/gtest.h>

#include <thread>

#include "input-lib/InputClient.pb.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/SimpleInputInterface.h"
#include "stubstreamer/StubStreamer.h"
#include "StreamTestSupport.h"
#include "TestSupport.h"

using namespace std::chrono_literals;
using InputClient::Request;
using InputClient::Response;

namespace {
SimpleInputInterface::Timings fast(std::chrono::milliseconds timeout = 15s,
                                   std::chrono::milliseconds replyTimeout = 5s) {
    SimpleInputInterface::Timings t;
    t.inactivityTimeout = timeout;
    t.replyTimeout = replyTimeout;
    t.statisticsPeriodMs = 200;
    return t;
}

struct Session {
    explicit Session(std::chrono::milliseconds timeout = 15s, std::chrono::milliseconds replyTimeout = 5s)
        : session(&app, &factory, fast(timeout, replyTimeout)) {}
    StubStreamer stub;
    RecordingApp app;
    FakePlayerFactory factory;
    SimpleInputInterface session;
};
}  // namespace

TEST(SimpleInputInterface, RunsFromConnectToStreamCreatedAndBackToACleanStop) {
    static const char kInitiate[] = "\x08\x04\xFA\x01\x17\x0A\x10Streamed Desktop\x12\x03s60";
    Session s;
    s.stub.scriptStandardSession();
    FakeRenderConsumer video;
    s.app.video = &video;
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "secret", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    ASSERT_TRUE(s.stub.waitForRequests(Request::NETWORK_PING));  // statistics run

    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1002}));
    const auto frames = s.stub.frames();
    std::vector<int> types;
    for (const auto& f : frames) types.push_back(f.type());
    ASSERT_GE(types.size(), 4u);
    EXPECT_EQ(std::vector<int>(types.begin(), types.begin() + 4),
              (std::vector<int>{Request::AUTHORIZATION, Request::CLIENT_DB_CONNECTED_EVENT,
                                Request::CLIENT_DB_READY_EVENT, Request::STREAM_INITIATE}));
    EXPECT_EQ(frames[0].request.authorization().token(), "secret");
    EXPECT_EQ(frames[0].request.authorization().lang(), "en");
    EXPECT_EQ(bytesOf(frames[3].body),
              bytesOf(std::string(kInitiate, sizeof kInitiate - 1)));

    auto players = s.factory.players();
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0]->url, "rtsp://127.0.0.1:554/stream");
    EXPECT_EQ(players[0]->user, "u");
    EXPECT_EQ(players[0]->password, "p");
    EXPECT_EQ(players[0]->tag, "SimpleInputInterface");
    EXPECT_EQ(players[0]->video.load(), s.app.video);
    EXPECT_TRUE(players[0]->running);
    EXPECT_EQ(s.factory.session, static_cast<IMediaSession*>(&s.session));

    // The media path's requests travel as video requests; its end is event 1003.
    s.factory.session->VideoForceIDRFrame();
    ASSERT_TRUE(s.stub.waitForRequests(Request::VIDEO_FORCE_IDR_FRAME));
    s.factory.session->onVideoClientFinished();
    EXPECT_TRUE(s.app.waitFor(kClientAppVideoClientFinished));

    s.app.clear();
    s.session.StopAllConnections();
    EXPECT_FALSE(players[0]->running);
    EXPECT_EQ(players[0]->video.load(), nullptr);  // consumers cleared before the stop
    EXPECT_FALSE(s.session.streamPlayer.statistics().isRunning());
    ASSERT_TRUE(s.stub.waitForClose());
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(s.app.events().empty());  // stopping raises nothing
}

// The streamer's port-and-path text follows the host; one that would name another host
// (and so hand it the stream's credentials) starts no player.
TEST(SimpleInputInterface, StreamAddressKeepsTheHostItConnectedTo) {
    struct Case {
        const char* postfix;
        const char* url;  // null: refused
    } cases[] = {
        {":554/stream", "rtsp://127.0.0.1:554/stream"},
        {"/stream", "rtsp://127.0.0.1/stream"},
        {"", "rtsp://127.0.0.1"},  // no configuration: the host alone
        {"@other-host:554/x", nullptr},
        {":554@other-host/x", nullptr},
        {"/x@other-host", nullptr},
        {".other-domain:554/x", nullptr},
        {"other-host", nullptr},
        {"\r\n:554/x", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.postfix);
        Session s;
        StubSessionScript script;
        script.urlPortAndPostfix = c.postfix;
        s.stub.scriptStandardSession(script);
        const std::string log = testsupport::captureStdout([&] {
            s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
            ASSERT_TRUE(s.app.waitFor(c.url ? kClientAppStreamCreated : kClientAppVideoClientFinished));
        });
        const auto players = s.factory.players();
        if (c.url) {
            ASSERT_EQ(players.size(), 1u);
            EXPECT_EQ(players[0]->url, c.url);
            EXPECT_EQ(players[0]->user, "u");
            continue;
        }
        EXPECT_TRUE(players.empty());
        EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1003}));
        EXPECT_NE(log.find("[E]"), std::string::npos) << log;
        EXPECT_NE(log.find("refused the stream address"), std::string::npos) << log;
        EXPECT_EQ(log.find('\r'), std::string::npos);
        EXPECT_FALSE(s.session.streamPlayer.statistics().isRunning());
    }
}

TEST(SimpleInputInterface, AdministratorWordGetsItsBlankOtherTokensGoUnchanged) {
    struct Case {
        const char* token;
        const char* sent;
    } cases[] = {{"KOLVANTRIX", "KOLVANTRIX "}, {"KOLVANTRIX ", "KOLVANTRIX "},
                 {"kolvantrix", "kolvantrix"}, {"xKOLVANTRIX", "xKOLVANTRIX"}};
    for (const auto& c : cases) {
        Session s;
        s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), c.token, "de", true);
        ASSERT_TRUE(s.stub.waitForRequests(Request::AUTHORIZATION));
        EXPECT_EQ(s.stub.requests(Request::AUTHORIZATION)[0].request.authorization().token(), c.sent);
    }
}

TEST(SimpleInputInterface, WithoutAutoStartNoStreamIsRequestedOrStarted) {
    Session s;
    s.stub.scriptStandardSession();
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", false);
    ASSERT_TRUE(s.app.waitFor(kClientAppVariablesReady));
    // A STREAM_CREATED nobody asked for is ignored.
    Response created;
    created.set_type(Response::STREAM_CREATED);
    s.stub.lastConnection()->respond(created);
    s.stub.lastConnection()->respond(Response::AUTHORIZATION_SUCCESS_VIEW);  // again: 1004, sync again
    ASSERT_TRUE(s.app.waitFor(kClientAppAuthorized, 2));
    ASSERT_TRUE(s.stub.waitForRequests(Request::CLIENT_DB_READY_EVENT, 2));
    EXPECT_TRUE(s.stub.requests(Request::STREAM_INITIATE).empty());
    EXPECT_EQ(s.stub.requests(Request::AUTHORIZATION).size(), 1u);  // once per connection
    EXPECT_TRUE(s.factory.players().empty());
}

TEST(SimpleInputInterface, SecondStreamCreatedAndStreamStopped) {
    Session s;
    s.stub.scriptStandardSession();
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    Response created;
    created.set_type(Response::STREAM_CREATED);
    s.stub.lastConnection()->respond(created);  // no request outstanding: ignored
    s.stub.lastConnection()->respond(Response::STREAM_STOPPED);
    ASSERT_TRUE(eventually([&] { return !s.factory.players()[0]->running; }));
    EXPECT_EQ(s.factory.players().size(), 1u);
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1002}));
}

TEST(SimpleInputInterface, RefusalsAndCompetingClientsAreReported) {
    for (int reply : {Response::AUTHORIZATION_FAILED, Response::ANOTHER_CLIENT_LOGGED_IN}) {
        Session s;
        s.stub.onRequest(Request::AUTHORIZATION, [reply](StubConnection& c, const Request&) {
            c.respond(reply);
            c.close();
        });
        s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
        ASSERT_TRUE(s.app.waitFor(kClientAppConnectionError));
        const int expected = reply == Response::AUTHORIZATION_FAILED ? 2003 : 2004;
        EXPECT_EQ(s.app.events(), (std::vector<int>{1001, expected, 2000}));
    }
}

TEST(SimpleInputInterface, StreamerCloseStopsThePlayerAndRaisesError) {
    Session s;
    s.stub.scriptStandardSession();
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    s.stub.lastConnection()->close();
    ASSERT_TRUE(s.app.waitFor(kClientAppConnectionError));
    // The close that follows the error stops the player.
    EXPECT_TRUE(eventually([&] { return !s.factory.players()[0]->running; }));
    EXPECT_FALSE(s.session.streamPlayer.initiateRequested());
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1002, 2000}));
}

TEST(SimpleInputInterface, SilentStreamerTimesOutAfterTheClose) {
    Session s(300ms);
    s.stub.onRequest(Request::AUTHORIZATION, [](StubConnection& c, const Request&) {
        c.respond(Response::AUTHORIZATION_SUCCESS_ADMIN);
    });
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    // The close comes first (no event), then the time-out, then the aborted read of the
    // closed socket.
    ASSERT_TRUE(s.app.waitFor(kClientAppConnectionError, 1, 3s));
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 2001, 2000}));
}

// A frozen streamer (SIGSTOP) keeps its socket: our input and pings still go out, and only
// the pongs stop.
TEST(SimpleInputInterface, AStreamerThatStopsAnsweringMidStreamIsReportedAsATimeOut) {
    Session s(15s, 400ms);
    s.stub.scriptStandardSession();
    FakeRenderConsumer video;  // the statistics thread, which pings, runs with a consumer
    s.app.video = &video;
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    // Answered pings keep the stream up for several reply time-outs.
    ASSERT_TRUE(s.stub.waitForRequests(Request::NETWORK_PING, 2, 5s));
    EXPECT_TRUE(s.factory.players()[0]->running);

    s.stub.onRequest(Request::NETWORK_PING, nullptr);
    ASSERT_TRUE(s.app.waitFor(kClientAppTimeout, 1, 5s));
    EXPECT_TRUE(s.stub.waitForClose());
    EXPECT_TRUE(eventually([&] { return !s.factory.players()[0]->running; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1002, 2001}));
    EXPECT_EQ(s.session.lastFailure(), "the streamer stopped answering (nothing for 0.4 s)");
}

TEST(SimpleInputInterface, AStreamerThatTakesTheConnectionButNeverAuthorizesIsReportedAsATimeOut) {
    Session s(15s, 300ms);
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppTimeout, 1, 5s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 2001}));
}

TEST(SimpleInputInterface, SetupWhileStreamingStartsAFreshSequenceWithTheSameStore) {
    Session s;
    s.stub.scriptStandardSession();
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    const int storeId = s.session.clientDBAPI().db().clientId();
    auto first = s.factory.players()[0];

    s.app.clear();
    s.session.SetupConnectionAndStartStream("127.0.0.1", s.stub.port(), "t", "en", true);
    EXPECT_FALSE(first->running);
    ASSERT_TRUE(s.app.waitFor(kClientAppStreamCreated));
    EXPECT_EQ(s.app.events(), (std::vector<int>{1001, 1004, 1005, 1002}));  // no 2000/2001
    ASSERT_EQ(s.stub.connectionCount(), 2u);
    std::vector<ReceivedFrame> second;
    for (const auto& f : s.stub.frames())
        if (f.connection == 1) second.push_back(f);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second[0].sequence, 0);
    EXPECT_EQ(second[0].type(), Request::AUTHORIZATION);
    EXPECT_EQ(s.session.clientDBAPI().db().clientId(), storeId);
    EXPECT_EQ(s.factory.players().size(), 2u);
    // 1002 is raised just before the player starts.
    EXPECT_TRUE(eventually([&] { return s.factory.players()[1]->running.load(); }));
}

TEST(SimpleInputInterface, UnresolvableHostRaisesConnectionError) {
    RecordingApp app;
    FakePlayerFactory factory;
    SimpleInputInterface session(&app, &factory);
    session.SetupConnectionAndStartStream("bad host", 1, "t", "en", true);
    EXPECT_TRUE(app.waitFor(kClientAppConnectionError));
}

TEST(SimpleInputInterface, DestroyedWhileStreaming) {
    StubStreamer stub;
    stub.scriptStandardSession();
    RecordingApp app;
    FakePlayerFactory factory;
    {
        SimpleInputInterface session(&app, &factory, fast());
        session.SetupConnectionAndStartStream("127.0.0.1", stub.port(), "t", "en", true);
        ASSERT_TRUE(app.waitFor(kClientAppStreamCreated));
        // Keep the channel busy while the session goes.
        for (int i = 0; i < 50; ++i) stub.lastConnection()->respond(Response::NETWORK_PONG);
    }
    EXPECT_FALSE(factory.players()[0]->running);
    EXPECT_TRUE(stub.waitForClose());
}
