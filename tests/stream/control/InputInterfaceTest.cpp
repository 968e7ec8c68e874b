// The control-channel endpoint and its transport against the stand-in streamer on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"
#include "input-lib/InputClient.pb.h"
#include "stream/control/FrameReader.h"
#include "stream/session/InputInterface.h"
#include "stubstreamer/StubStreamer.h"
#include "TestSupport.h"

using namespace std::chrono_literals;
using InputClient::Request;
using InputClient::Response;

namespace {

// An endpoint that records its callbacks as short strings.
class RecordingInterface : public InputInterface {
public:
    explicit RecordingInterface(std::chrono::milliseconds timeout = kDefaultInactivityTimeout,
                                std::chrono::milliseconds replyTimeout = kDefaultReplyTimeout)
        : InputInterface(timeout, replyTimeout) {}
    ~RecordingInterface() override {
        StopAllConnections();
        stopIoThread();
    }

    void onTimeout() override { record("timeout"); }
    void onError(int code) override { record("error " + std::to_string(code)); }
    void onConnectionStarted() override { record("started"); }
    void onConnectionClosed() override { record("closed"); }
    bool onResponse(const Response& response) override {
        record("response " + std::to_string(response.type()));
        return InputInterface::onResponse(response);
    }

    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool waitFor(const std::string& event, std::chrono::milliseconds timeout = 5s) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
    }
    bool waitForCount(std::size_t n, std::chrono::milliseconds timeout = 5s) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return events_.size() >= n; });
    }

private:
    void record(const std::string& event) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(event);
        }
        cv_.notify_all();
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<std::string> events_;
};

Request ping(int number) {
    Request r;
    r.set_type(Request::NETWORK_PING);
    r.set_pingnumber(number);
    return r;
}

Response typed(int type) {
    Response r;
    r.set_type(static_cast<Response::ResponseType>(type));
    return r;
}

struct Connected {
    StubStreamer stub;
    RecordingInterface endpoint;
    explicit Connected(std::chrono::milliseconds timeout = InputInterface::kDefaultInactivityTimeout,
                       std::chrono::milliseconds replyTimeout = InputInterface::kDefaultReplyTimeout)
        : endpoint(timeout, replyTimeout) {
        endpoint.InitiateConnection("127.0.0.1", stub.port());
        EXPECT_TRUE(endpoint.waitFor("started"));
        EXPECT_TRUE(stub.waitForConnections(1));
    }
};

}  // namespace

TEST(InputInterface, FramesCarryExactHeadersAndConsecutiveSequences) {
    Connected c;
    ASSERT_TRUE(c.endpoint.send(ping(7)));
    Request big;
    big.set_type(Request::LOG_STRING);
    big.set_logmessage(std::string(294, 'x'));  // 300-byte body
    ASSERT_TRUE(c.endpoint.send(big));
    ASSERT_TRUE(c.stub.waitForFrames(2));
    const auto frames = c.stub.frames();
    EXPECT_EQ(frames[0].header, (std::array<std::uint8_t, 8>{0, 0, 0, 5, 1, 6, 0, 0}));
    EXPECT_EQ(frames[0].body, std::string("\x08\x23\xA8\x03\x07", 5));
    EXPECT_EQ(frames[1].header, (std::array<std::uint8_t, 8>{0, 0, 1, 0x2C, 1, 0x2F, 0, 1}));

    // A message whose fields are all defaults travels as a bare header.
    ASSERT_TRUE(c.endpoint.send(Request()));
    ASSERT_TRUE(c.stub.waitForFrames(3));
    EXPECT_EQ(c.stub.frames()[2].header, (std::array<std::uint8_t, 8>{0, 0, 0, 0, 1, 3, 0, 2}));
}

TEST(InputInterface, OutgoingSequenceWrapsAfter65535) {
    Connected c;
    const int total = 65537 + 2;  // three frames already sent above 65535
    for (int i = 0; i < total; ++i) c.endpoint.send(ping(i));
    ASSERT_TRUE(c.stub.waitForFrames(total, 30s));
    const auto frames = c.stub.frames();
    for (int i = 0; i < total; ++i) {
        ASSERT_EQ(frames[i].sequence, static_cast<std::uint16_t>(i)) << i;
        ASSERT_TRUE(frames[i].checksumOk);
        ASSERT_EQ(frames[i].request.pingnumber(), i);  // delivered in order
    }
    EXPECT_EQ(frames[65536].sequence, 0);
}

TEST(InputInterface, SendersOnSeveralThreadsKeepTheirOwnOrder) {
    Connected c;
    constexpr int kPerThread = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) c.endpoint.send(ping(t * 1000000 + i));
        });
    for (auto& t : threads) t.join();
    ASSERT_TRUE(c.stub.waitForFrames(4 * kPerThread, 20s));
    int next[4] = {0, 0, 0, 0};
    std::uint16_t sequence = 0;
    for (const auto& f : c.stub.frames()) {
        ASSERT_EQ(f.sequence, sequence++);
        const int n = f.request.pingnumber();
        ASSERT_EQ(n % 1000000, next[n / 1000000]++);
    }
}

namespace {

// A loopback peer that accepts one connection and reads only when asked to.
class SlowReader {
public:
    // A small receive buffer: the socket fills up quickly.
    SlowReader() : listener_(testsupport::listenOnLoopback(port_, 16 * 1024)) {}
    ~SlowReader() {
        if (connection_ >= 0) ::close(connection_);
        ::close(listener_);
    }
    int port() const { return port_; }
    void accept() { connection_ = ::accept(listener_, nullptr, nullptr); }
    // Reads until count whole frames have arrived (or the peer closed); returns them.
    std::vector<Request> read(std::size_t count, std::vector<std::uint16_t>& sequences) {
        std::vector<Request> out;
        FrameReader reader;
        while (out.size() < count) {
            const ssize_t n = ::recv(connection_, reader.writePointer(), reader.writableSize(), 0);
            if (n <= 0) break;
            reader.commit(static_cast<std::size_t>(n));
            const std::uint8_t* body;
            std::uint32_t length;
            FrameReader::Result r;
            while ((r = reader.next(body, length)) == FrameReader::Result::Frame) {
                sequences.push_back(static_cast<std::uint16_t>(reader.expectedSequence() - 1));
                out.emplace_back();
                out.back().ParseFromArray(body, static_cast<int>(length));
            }
            if (r != FrameReader::Result::NeedMore) {
                ADD_FAILURE() << "torn or misnumbered frame: " << FrameReader::describe(r);
                break;
            }
        }
        return out;
    }

private:
    int port_ = 0;
    int listener_;
    int connection_ = -1;
};

}  // namespace

// A peer that stops reading fills the socket: senders must not block, the frames that do
// not fit wait in order, and none is lost, torn or misnumbered once the peer reads again.
TEST(InputInterface, SendersNeverBlockOnAPeerThatStopsReadingAndNothingIsLost) {
    SlowReader peer;
    RecordingInterface endpoint;
    endpoint.InitiateConnection("127.0.0.1", peer.port());
    peer.accept();
    ASSERT_TRUE(endpoint.waitFor("started"));
    constexpr int kThreads = 4;
    constexpr int kPerThread = 1000;  // 2 KB each: 8 MB, far more than the socket buffers
    auto sending = std::async(std::launch::async, [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                Request r;
                r.set_type(Request::LOG_STRING);
                for (int i = 0; i < kPerThread; ++i) {
                    r.set_logmessage(std::to_string(t) + " " + std::to_string(i) + " " + std::string(2000, 'x'));
                    endpoint.send(r);
                }
            });
        for (auto& t : threads) t.join();
    });
    // Every send returns while the peer reads nothing (a blocked sender never would).
    ASSERT_EQ(sending.wait_for(20s), std::future_status::ready);

    std::vector<std::uint16_t> sequences;
    const auto frames = peer.read(kThreads * kPerThread, sequences);
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(kThreads * kPerThread));
    int next[kThreads] = {};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(sequences[i], static_cast<std::uint16_t>(i));
        int t = -1, n = -1;
        ASSERT_EQ(std::sscanf(frames[i].logmessage().c_str(), "%d %d", &t, &n), 2);
        ASSERT_TRUE(t >= 0 && t < kThreads);
        ASSERT_EQ(n, next[t]++) << "thread " << t;
    }
    EXPECT_EQ(endpoint.events(), (std::vector<std::string>{"started"}));
}

TEST(InputInterface, BadFramesFromThePeerReachTheOwnerBeforeTheClose) {
    struct Case {
        const char* name;
        std::function<void(StubConnection&)> fault;
        std::vector<std::string> expected;
    } cases[] = {
        {"bad checksum", [](StubConnection& s) { s.sendBadChecksum(typed(2)); },
         {"started", "error 2", "closed"}},
        {"bad version", [](StubConnection& s) { s.sendBadVersion(typed(2)); },
         {"started", "error 1", "closed"}},
        {"zero length", [](StubConnection& s) { s.sendZeroLength(); },
         {"started", "error 0", "closed"}},
        {"skipped sequence",
         [](StubConnection& s) {
             s.respond(3);
             s.skipSequence();
             s.respond(3);
         },
         {"started", "response 3", "error 0", "closed"}},
        {"body over the limit",
         [](StubConnection& s) { s.sendHeader(FrameHeader::kMaxBodyLength + 1, 1, 0); },
         {"started", "error 0", "closed"}},
        {"peer closes", [](StubConnection& s) { s.close(); }, {"started", "error 0", "closed"}},
        {"peer closes in the middle of a body",
         [](StubConnection& s) {
             s.sendHeader(10, 1, 0);
             s.sendRaw("abc");
             s.close();
         },
         {"started", "error 0", "closed"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Connected conn;
        c.fault(*conn.stub.lastConnection());
        ASSERT_TRUE(conn.endpoint.waitFor("closed"));
        std::this_thread::sleep_for(50ms);  // nothing more may follow
        EXPECT_EQ(conn.endpoint.events(), c.expected);
        EXPECT_TRUE(conn.stub.waitForClose());
        conn.endpoint.send(ping(1));  // sending after the close is harmless
    }
}

TEST(InputInterface, UnparsableBodyIsStillDispatched) {
    Connected c;
    c.stub.lastConnection()->sendUnparsable();  // type STREAM_CREATED, then a broken field
    c.stub.lastConnection()->respond(3);
    ASSERT_TRUE(c.endpoint.waitFor("response 3"));
    EXPECT_EQ(c.endpoint.events(),
              (std::vector<std::string>{"started", "response 2", "response 3"}));
}

TEST(InputInterface, BodySplitAcrossSegmentsIsDispatchedOnceAfterItsLastByte) {
    Connected c;
    Response r = typed(0);
    r.set_text(std::string(300, 't'));
    c.stub.lastConnection()->respondSplit(r, 7, 2ms);
    c.stub.lastConnection()->respond(3);
    ASSERT_TRUE(c.endpoint.waitFor("response 3"));
    EXPECT_EQ(c.endpoint.events(),
              (std::vector<std::string>{"started", "response 0", "response 3"}));
}

TEST(InputInterface, SilentPeerTimesOutAfterTheCloseThenReportsTheAbortedRead) {
    Connected c(300ms);
    ASSERT_TRUE(c.endpoint.waitFor("error 0", 3s));
    EXPECT_EQ(c.endpoint.events(),
              (std::vector<std::string>{"started", "closed", "timeout", "error 0"}));
    EXPECT_TRUE(c.stub.waitForClose());
}

TEST(InputInterface, TrafficKeepsTheConnectionAlive) {
    Connected c(400ms);
    // Each side is active in turn, every 100 ms, for well over the time-out.
    for (int i = 0; i < 12; ++i) {
        std::this_thread::sleep_for(100ms);
        if (i % 2)
            c.endpoint.send(ping(i));
        else
            c.stub.lastConnection()->respond(3);
    }
    const auto events = c.endpoint.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "timeout"), 0);
    EXPECT_TRUE(c.stub.lastConnection()->isOpen());
}

// A streamer that stops (SIGSTOP) still takes what we write: only the missing answers tell.
TEST(InputInterface, APeerThatLeavesARequestUnansweredIsLostOnceAfterTheReplyTimeOut) {
    Connected c(15s, 300ms);
    // Our own traffic goes on all the while, as input and pings do in a stream.
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        for (int i = 0; sending; ++i) {
            c.endpoint.send(ping(i), i % 5 == 0);
            std::this_thread::sleep_for(20ms);
        }
    });
    const bool lost = c.endpoint.waitFor("timeout", 3s);
    sending = false;
    sender.join();
    ASSERT_TRUE(lost);
    EXPECT_TRUE(c.stub.waitForClose());
    std::this_thread::sleep_for(100ms);
    // No error for the read that the close ended: the loss is reported once.
    EXPECT_EQ(c.endpoint.events(), (std::vector<std::string>{"started", "closed", "timeout"}));
    EXPECT_EQ(c.endpoint.lastFailure(), "the streamer stopped answering (nothing for 0.3 s)");
}

TEST(InputInterface, AnyFrameFromThePeerAnswersAndRequestsWithoutReplyAreNotTimed) {
    {
        SCOPED_TRACE("answered: each request awaiting a reply gets some frame back after 50 ms");
        Connected c(15s, 400ms);
        c.stub.onRequest(Request::NETWORK_PING, [](StubConnection& conn, const Request&) {
            conn.pause(50ms);
            conn.respond(Response::STREAMER_SHUTDOWN);  // a type nobody handles still counts
        });
        // Together well over the reply time-out.
        for (int i = 0; i < 20; ++i) {
            c.endpoint.send(ping(i), true);
            ASSERT_TRUE(c.stub.waitForRequests(Request::NETWORK_PING, std::size_t(i + 1)));
            ASSERT_TRUE(c.endpoint.waitForCount(std::size_t(i + 2)));  // its answer
        }
        EXPECT_TRUE(c.stub.lastConnection()->isOpen());
        const auto events = c.endpoint.events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "timeout"), 0);
    }
    {
        SCOPED_TRACE("not timed: requests that await no reply, over several reply time-outs");
        Connected c(15s, 100ms);
        for (int i = 0; i < 10; ++i) {
            c.endpoint.send(ping(i));
            ASSERT_TRUE(c.stub.waitForRequests(Request::NETWORK_PING, std::size_t(i + 1)));
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_TRUE(c.stub.lastConnection()->isOpen());
        EXPECT_EQ(c.endpoint.events(), (std::vector<std::string>{"started"}));
    }
}

TEST(InputInterface, ConnectThatNeverCompletesTimesOutWithoutClose) {
    BlackholeListener blackhole;
    RecordingInterface endpoint(300ms);
    endpoint.InitiateConnection("127.0.0.1", blackhole.port());
    EXPECT_TRUE(endpoint.send(ping(1)));  // a transport exists, the request is dropped
    ASSERT_TRUE(endpoint.waitFor("timeout", 3s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(endpoint.events(), (std::vector<std::string>{"timeout"}));
}

TEST(InputInterface, RefusedConnectReportsOneErrorAndNoClose) {
    int port;
    {
        StubStreamer gone;
        port = gone.port();
    }
    RecordingInterface endpoint;
    endpoint.InitiateConnection("127.0.0.1", port);
    ASSERT_TRUE(endpoint.waitFor("error 0"));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(endpoint.events(), (std::vector<std::string>{"error 0"}));
}

TEST(InputInterface, UnresolvableHostIsReportedAsError) {
    RecordingInterface endpoint;
    endpoint.InitiateConnection("bad host", 1);  // fails locally, without a DNS query
    ASSERT_TRUE(endpoint.waitFor("error 0"));
    EXPECT_EQ(endpoint.events(), (std::vector<std::string>{"error 0"}));
    EXPECT_FALSE(endpoint.send(ping(1)));  // no transport was made
}

TEST(InputInterface, SendWithoutTransportReturnsFalse) {
    StubStreamer stub;
    RecordingInterface endpoint;
    EXPECT_FALSE(endpoint.send(ping(1)));
    endpoint.InitiateConnection("127.0.0.1", stub.port());
    ASSERT_TRUE(endpoint.waitFor("started"));
    EXPECT_TRUE(endpoint.send(ping(2)));
    endpoint.StopAllConnections();
    EXPECT_FALSE(endpoint.send(ping(3)));
    ASSERT_TRUE(stub.waitForClose());
    EXPECT_EQ(stub.frameCount(), 1u);
}

TEST(InputInterface, StopFromAnotherThreadEndsAllCallbacks) {
    Connected c;
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        auto s = c.stub.lastConnection();
        while (flooding && s->isOpen()) {
            for (int i = 0; i < 50; ++i) s->respond(3);
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(c.endpoint.waitForCount(20));
    c.endpoint.StopAllConnections();
    const auto atStop = c.endpoint.events().size();
    std::this_thread::sleep_for(100ms);
    flooding = false;
    flood.join();
    const auto events = c.endpoint.events();
    EXPECT_EQ(events.size(), atStop);
    EXPECT_EQ(std::count(events.begin(), events.end(), "closed"), 0);
    EXPECT_TRUE(c.stub.waitForClose());
}

// The transport's log line says what happened in words: our own stop is no error, socket
// errors carry their message text rather than a category and a number.
TEST(InputInterface, LogLineOfTheSocketsEndSaysWhatHappened) {
    struct Case {
        const char* name;
        std::function<void()> run;
        const char* line;  // the expected line's level letter and text
    };
    const Case cases[] = {
        {"our stop",
         [] {
             Connected c;
             c.endpoint.StopAllConnections();
             EXPECT_TRUE(c.stub.waitForClose());
             std::this_thread::sleep_for(50ms);
         },
         "[I] connection closed on request"},
        {"the streamer closes",
         [] {
             Connected c;
             c.stub.lastConnection()->close();
             EXPECT_TRUE(c.endpoint.waitFor("error 0"));
         },
         "[E] connection error: the streamer closed the connection"},
        {"refused",
         [] {
             int port;
             {
                 StubStreamer gone;
                 port = gone.port();
             }
             RecordingInterface endpoint;
             endpoint.InitiateConnection("127.0.0.1", port);
             EXPECT_TRUE(endpoint.waitFor("error 0"));
         },
         "[E] connection error: Connection refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = testsupport::captureStdout(c.run);
        const std::size_t at = out.find("AsyncInputClient::on_error");
        ASSERT_NE(at, std::string::npos) << out;
        const std::size_t lineStart = out.rfind('\n', at) + 1;  // npos + 1 is 0
        const std::string line = out.substr(lineStart, out.find('\n', at) - lineStart);
        const std::string expected = c.line;
        EXPECT_EQ(line.substr(0, 3), expected.substr(0, 3)) << line;
        EXPECT_NE(line.find("]: " + expected.substr(4)), std::string::npos) << line;
        EXPECT_EQ(out.find("system:"), std::string::npos) << out;
    }
}

namespace {
class NamedHandler : public IResponseHandler {
public:
    NamedHandler(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    bool handle(const Response& r) override {
        log_.push_back(name_ + ":" + std::to_string(r.type()));
        return true;
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
};
}  // namespace

TEST(InputInterface, HandlersRunInRegistrationOrderPerType) {
    std::vector<std::string> log;  // written on the io thread, read after the last response
    NamedHandler h1("h1", log), h2("h2", log), h3("h3", log);
    Connected c;
    c.endpoint.registerHandler(11, &h1);
    for (int type : {11, 12, 13}) c.endpoint.registerHandler(type, &h2);
    c.endpoint.registerHandler(11, &h3);
    c.endpoint.registerHandler(12, &h1);

    auto s = c.stub.lastConnection();
    for (int type : {11, 12, 13, 29}) s->respond(type);
    ASSERT_TRUE(c.endpoint.waitFor("response 29"));
    EXPECT_EQ(log, (std::vector<std::string>{"h1:11", "h2:11", "h3:11", "h2:12", "h1:12", "h2:13"}));

    log.clear();
    c.endpoint.unregisterHandler(&h2);
    for (int type : {11, 12, 13}) s->respond(type);
    s->respond(2);
    ASSERT_TRUE(c.endpoint.waitFor("response 2"));
    EXPECT_EQ(log, (std::vector<std::string>{"h1:11", "h3:11", "h1:12"}));
    c.endpoint.StopAllConnections();
}
