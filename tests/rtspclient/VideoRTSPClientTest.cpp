// The library through its six operations against the stand-in RTSP server on loopback.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "RecordingSink.h"
#include "TestSupport.h"
#include "StubRtspServer.h"
#include "rtspclient/VideoRTSPClient.h"
#include "rtspclient/VideoRTSPClientDiagnostics.h"
#include "rtspclient/VideoRTSPClientSettings.h"

using nimbrosta::StubRtspServer;
using nimbrosta::StubRtspServerOptions;
using Auth = StubRtspServerOptions::Auth;

namespace {

const std::string kFixture = std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/fixtures/testsrc-160x120.h264";

// NAL units of the fixture in file order.
std::vector<std::string> fixtureNals() {
    std::ifstream in(kFixture, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    std::size_t start = std::string::npos;
    for (std::size_t i = 0; i + 3 <= d.size();) {
        if (d.compare(i, 3, std::string("\0\0\1", 3)) == 0) {
            if (start != std::string::npos) {
                std::size_t end = i;
                while (end > start && d[end - 1] == 0) --end;
                out.push_back(d.substr(start, end - start));
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start != std::string::npos) out.push_back(d.substr(start));
    return out;
}

class CountingSink : public RecordingSink {
public:
    CountingSink(int prefix, int* destroyed, std::atomic<int>& count) : RecordingSink(prefix, destroyed), count_(count) {}
    void onPacket(RTSPPacketInfo* p) override {
        RecordingSink::onPacket(p);
        ++count_;
        if (onUnit) onUnit();
    }
    std::function<void()> onUnit;

private:
    std::atomic<int>& count_;
};

class TestOwner : public IVideoRTSPClient {
public:
    IRTSPSink* createSink(const char* codecName, void* subsession) override {
        codecs.push_back(codecName);
        const std::string codec = codecName;
        if (accept && !accept(codec)) return nullptr;
        auto* sink = new CountingSink(codec == "H264" ? 4 : 0, &destroyed, codec == "H264" ? videoUnits : audioUnits);
        sink->enabled = enabled;
        if (codec == "H264") {
            video = sink;
            videoSubsession = subsession;
        } else {
            audio = sink;
            audioSubsession = subsession;
        }
        if (onSink) onSink(codec, sink);
        return sink;
    }
    void onStop() override {
        ++stops;
        VideoRTSPClient::notifyStop(handle);
    }

    void* handle = nullptr;
    std::vector<std::string> codecs;
    std::function<bool(const std::string&)> accept;
    std::function<void(const std::string&, CountingSink*)> onSink;
    bool enabled = true;
    CountingSink* video = nullptr;
    CountingSink* audio = nullptr;
    void* videoSubsession = nullptr;
    void* audioSubsession = nullptr;
    std::atomic<int> videoUnits{0};
    std::atomic<int> audioUnits{0};
    std::atomic<int> stops{0};
    int destroyed = 0;
};

// Runs mainLoop on a thread until done() holds (then notifyStop) or it returns by itself.
// Returns true when mainLoop returned by itself.
bool play(TestOwner& owner, const std::function<bool()>& done, int timeoutMs = 10000) {
    std::atomic<bool> returned{false};
    std::thread t([&] {
        VideoRTSPClient::mainLoop(owner.handle);
        returned = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!returned && !done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool byItself = returned;
    VideoRTSPClient::notifyStop(owner.handle);
    t.join();
    return byItself;
}

std::string lastError(void* handle) {
    char buf[256];
    VideoRTSPClient::lastError(handle, buf, sizeof buf);
    return buf;
}

StubRtspServerOptions withVideo(StubRtspServerOptions o = StubRtspServerOptions()) {
    o.h264File = kFixture;
    o.fps = 200;  // fast: the whole fixture in 150 ms
    return o;
}

int countMethod(const StubRtspServer& s, const std::string& method) {
    int n = 0;
    for (const auto& r : s.requests()) n += r.method == method;
    return n;
}

}  // namespace

TEST(VideoRTSPClient, PlaysOverUdpAndTcpWithEveryAuthenticationScheme) {
    struct Case {
        bool tcp;
        Auth auth;
        bool qop;
        bool stale;
    };
    const Case cases[] = {{false, Auth::None, false, false}, {true, Auth::None, false, false},
                          {false, Auth::Basic, false, false}, {true, Auth::Basic, false, false},
                          {false, Auth::Digest, false, false}, {true, Auth::Digest, true, false},
                          {false, Auth::Digest, true, true}};
    const std::vector<std::string> nals = fixtureNals();
    ASSERT_GT(nals.size(), 30u);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tcp ? "tcp" : "udp") + " auth " + std::to_string(static_cast<int>(c.auth)) +
                     (c.qop ? " qop" : "") + (c.stale ? " stale" : ""));
        StubRtspServerOptions o = withVideo();
        o.auth = c.auth;
        o.digestQop = c.qop;
        o.staleOnce = c.stale;
        o.loops = 1;
        o.firstSequence = 65530;  // wraps during the run
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "user", "secret", "TestTag", c.tcp);
        ASSERT_NE(owner.handle, nullptr);
        const bool byItself = play(owner, [&] { return owner.videoUnits >= static_cast<int>(nals.size()) + 2 && owner.audioUnits >= 5; });
        EXPECT_FALSE(byItself) << lastError(owner.handle);
        EXPECT_EQ(owner.codecs, (std::vector<std::string>{"H264", "OPUS"}));
        ASSERT_NE(owner.video, nullptr);
        // Two units from the description, then every NAL unit of the file in order.
        const auto& units = owner.video->units;
        ASSERT_GE(units.size(), nals.size() + 2);
        EXPECT_TRUE(units[0].sequences.empty());
        EXPECT_EQ(static_cast<unsigned char>(units[0].bytes[0]), 0x67);
        for (std::size_t i = 0; i < nals.size(); ++i) {
            ASSERT_EQ(units[i + 2].bytes, nals[i]) << "unit " << i;
            EXPECT_TRUE(units[i + 2].paddingZero);
        }
        EXPECT_TRUE(owner.video->losses.empty());
        EXPECT_FALSE(owner.video->nullVectors);
        EXPECT_GE(owner.audio->units.size(), 5u);
        EXPECT_EQ(owner.stops, 0);
        VideoRTSPClient::deleteClient(owner.handle);
        EXPECT_EQ(owner.destroyed, 2);
        // The server saw a complete, orderly session.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto requests = server.requests();
        EXPECT_EQ(countMethod(server, "SETUP"), 2);
        EXPECT_EQ(countMethod(server, "PLAY"), 1);
        EXPECT_EQ(countMethod(server, "TEARDOWN"), 1);
        EXPECT_EQ(requests.back().method, "TEARDOWN");
        for (const auto& r : requests) EXPECT_EQ(r.header("User-Agent"), "TestTag");
        if (c.auth != Auth::None) {
            EXPECT_FALSE(requests.back().header("Authorization").empty());
        }
        for (const auto& r : requests) {
            if (r.method != "SETUP") continue;
            EXPECT_NE(r.header("Transport").find(c.tcp ? "RTP/AVP/TCP;unicast;interleaved=" : "RTP/AVP;unicast;client_port="),
                      std::string::npos);
        }
    }
}

TEST(VideoRTSPClient, EndsWithAClearReasonWhenItCannotPlay) {
    struct Case {
        const char* name;
        Auth auth;
        const char* user;
        const char* password;
        bool audioOnlyRefused;
        const char* reason;
        std::string realm = "nimbrosta";
    };
    const Case cases[] = {
        {"wrong password", Auth::Digest, "user", "wrong", false, "401"},
        {"wrong basic", Auth::Basic, "user", "wrong", false, "401"},
        {"no credentials", Auth::Basic, "", "", false, "no credentials"},
        {"no sink wanted", Auth::None, "", "", true, "no media"},
        // A challenge that would carry its bytes into our Authorization header.
        {"bare CR in the realm", Auth::Digest, "user", "secret", false,
         "refused: 401 Unauthorized, with an authentication challenge that holds a control character",
         "r\rInjected: 1"},
        {"quote in the realm", Auth::Digest, "user", "secret", false, "holds an unescaped quote", "a\"b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StubRtspServerOptions o = withVideo();
        o.auth = c.auth;
        o.realm = c.realm;
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        if (c.audioOnlyRefused) owner.accept = [](const std::string&) { return false; };
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), c.user, c.password, "t", false);
        EXPECT_TRUE(play(owner, [] { return false; }));
        EXPECT_EQ(owner.stops, 1);
        EXPECT_NE(lastError(owner.handle).find(c.reason), std::string::npos) << lastError(owner.handle);
        EXPECT_LE(countMethod(server, "DESCRIBE"), 2);
        EXPECT_EQ(countMethod(server, "PLAY"), 0);
        if (c.realm != "nimbrosta") {  // nothing of the challenge went back to the server
            for (const auto& r : server.requests()) EXPECT_EQ(r.header("Authorization"), "") << r.method;
        }
        VideoRTSPClient::deleteClient(owner.handle);
    }
    // Nobody listening.
    StubRtspServer closed(withVideo());
    ASSERT_TRUE(closed.start());
    const std::string url = closed.url();
    closed.stop();
    TestOwner owner;
    owner.handle = VideoRTSPClient::createNew(&owner, url.c_str(), "", "", "t", false);
    EXPECT_TRUE(play(owner, [] { return false; }));
    EXPECT_NE(lastError(owner.handle).find("cannot connect"), std::string::npos) << lastError(owner.handle);
    EXPECT_EQ(owner.stops, 1);
    VideoRTSPClient::deleteClient(owner.handle);

    EXPECT_EQ(VideoRTSPClient::createNew(&owner, "http://127.0.0.1/x", "", "", "t", false), nullptr);
    EXPECT_EQ(VideoRTSPClient::createNew(&owner, "rtsp://h/\r\nInjected: 1", "", "", "t", false), nullptr);
    EXPECT_EQ(VideoRTSPClient::createNew(nullptr, "rtsp://h/", "", "", "t", false), nullptr);
    // Null handles are harmless.
    VideoRTSPClient::mainLoop(nullptr);
    VideoRTSPClient::notifyStop(nullptr);
    VideoRTSPClient::startPlayingSink(nullptr, nullptr);
    VideoRTSPClient::stopPlayingSink(nullptr, nullptr);
    VideoRTSPClient::deleteClient(nullptr);
}

TEST(VideoRTSPClient, ReportsLossesAndSurvivesReorderingDuplicatesAndANewSource) {
    // Packet indices of the fixture at MTU 1000: 0 STAP-A(SPS,PPS) 1 SEI 2-4 FU-A IDR, 5.. P frames.
    struct Case {
        const char* name;
        std::set<std::uint64_t> drop, duplicate, swap;
        std::uint64_t ssrcAt;
        bool tcp;
        std::size_t lossReports;
        std::size_t missingUnits;
    };
    const Case cases[] = {
        {"drop a P frame", {6}, {}, {}, UINT64_MAX, false, 1, 1},
        {"drop a middle fragment", {3}, {}, {}, UINT64_MAX, true, 1, 1},
        {"reorder and duplicate", {}, {5, 8}, {6, 9}, UINT64_MAX, false, 0, 0},
        {"new source", {}, {}, {}, 12, true, 0, 0},
    };
    const std::vector<std::string> nals = fixtureNals();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StubRtspServerOptions o = withVideo();
        o.audio = false;
        o.loops = 1;
        o.drop = c.drop;
        o.duplicate = c.duplicate;
        o.swapWithNext = c.swap;
        o.changeSsrcAt = c.ssrcAt;
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", c.tcp);
        const int expected = static_cast<int>(nals.size() + 2 - c.missingUnits);
        play(owner, [&] { return owner.videoUnits >= expected; });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_NE(owner.video, nullptr);
        EXPECT_EQ(owner.video->units.size(), static_cast<std::size_t>(expected));
        EXPECT_EQ(owner.video->losses.size(), c.lossReports);
        for (const auto& l : owner.video->losses) {
            EXPECT_EQ(l.lostCount, 1);
            ASSERT_EQ(l.ranges.size(), 1u);
            EXPECT_EQ(l.ranges[0].packetLossCount, 1);
            EXPECT_EQ(l.ranges[0].packetSeq, static_cast<std::uint16_t>(*c.drop.begin() + 1));
        }
        // Delivered in sequence order: the sequence numbers never go back.
        int last = -1;
        for (const auto& u : owner.video->units)
            for (auto s : u.sequences) {
                if (c.ssrcAt == UINT64_MAX) {
                    EXPECT_GT(static_cast<int>(s), last);
                }
                last = s;
            }
        VideoRTSPClient::deleteClient(owner.handle);
    }
}

// Joining a stream another client already plays: packets from before the PLAY arrive
// first, the PLAY answer names where the stream starts; nothing is reported lost.
TEST(VideoRTSPClient, PacketsFromBeforeThePlayAreNoLoss) {
    const std::vector<std::string> nals = fixtureNals();
    for (bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "tcp" : "udp");
        StubRtspServerOptions o = withVideo();
        o.loops = 1;
        o.stalePacketsBeforePlay = 3;
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        std::atomic<bool> lastUnitSeen{false};
        owner.onSink = [&](const std::string& codec, CountingSink* sink) {
            if (codec == "H264")
                sink->onUnit = [&, sink] { lastUnitSeen = lastUnitSeen || sink->units.back().bytes == nals.back(); };
        };
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", tcp);
        ASSERT_NE(owner.handle, nullptr);
        play(owner, [&] { return lastUnitSeen && owner.audioUnits >= 5; });
        ASSERT_NE(owner.video, nullptr);
        const auto& units = owner.video->units;
        ASSERT_GE(units.size(), nals.size());
        for (std::size_t i = 0; i < nals.size(); ++i)
            ASSERT_EQ(units[units.size() - nals.size() + i].bytes, nals[i]) << "unit " << i;
        EXPECT_TRUE(owner.video->losses.empty());
        EXPECT_TRUE(owner.audio->losses.empty());
        VideoRTSPClient::deleteClient(owner.handle);
    }
}

TEST(VideoRTSPClient, EndsByItselfOnByeCloseServerTeardownDeadKeepaliveOrStall) {
    struct Case {
        const char* name;
        bool tcp;
        std::uint64_t byeAfter, closeAfter, freezeAfter;
        bool deadKeepalive;
        const char* reason;
        bool stalled;
    };
    const Case cases[] = {
        {"bye udp", false, 20, UINT64_MAX, UINT64_MAX, false, "", false},
        {"bye tcp", true, 20, UINT64_MAX, UINT64_MAX, false, "", false},
        {"close", true, UINT64_MAX, 20, UINT64_MAX, false, "", false},
        {"close udp", false, UINT64_MAX, 20, UINT64_MAX, false, "", false},
        {"keep-alive unanswered", false, UINT64_MAX, UINT64_MAX, UINT64_MAX, true, "keep-alive", false},
        // Media stops while requests are still answered: noticed long before the keep-alive would.
        {"frozen udp", false, UINT64_MAX, UINT64_MAX, 20, false, "stalled: no RTP or RTCP packet from the server for 0.4 s", true},
        {"frozen tcp", true, UINT64_MAX, UINT64_MAX, 20, false, "stalled", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StubRtspServerOptions o = withVideo();
        o.fps = 30;
        o.byeAfter = c.byeAfter;
        o.closeAfter = c.closeAfter;
        o.freezeAfter = c.freezeAfter;
        o.sessionTimeoutS = c.stalled ? 60 : 1;
        o.answerKeepalive = !c.deadKeepalive;
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", c.tcp);
        VideoRTSPClient::setStallTimeout(owner.handle, 400);
        EXPECT_TRUE(play(owner, [] { return false; }, 8000));
        EXPECT_EQ(owner.stops, 1);
        EXPECT_NE(lastError(owner.handle).find(c.reason), std::string::npos) << lastError(owner.handle);
        EXPECT_EQ(VideoRTSPClient::stalled(owner.handle), c.stalled);
        if (c.stalled) {
            EXPECT_GE(owner.videoUnits, 10);  // it did play before the freeze
            EXPECT_EQ(countMethod(server, "TEARDOWN"), 1);
        }
        VideoRTSPClient::deleteClient(owner.handle);
    }
    EXPECT_FALSE(VideoRTSPClient::stalled(nullptr));
}

TEST(VideoRTSPClient, KeepsTheSessionAliveAndSendsReceiverReports) {
    StubRtspServerOptions o = withVideo();
    o.fps = 30;
    o.sessionTimeoutS = 1;  // keep-alive every 500 ms
    for (bool tcp : {false, true}) {
        StubRtspServer server(o);
        ASSERT_TRUE(server.start());
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", tcp);
        VideoRTSPClient::setStallTimeout(owner.handle, 500);  // flowing media never stalls
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(play(owner, [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1800); }));
        EXPECT_GE(countMethod(server, "GET_PARAMETER"), 2) << tcp;
        EXPECT_GE(server.receiverReports(), 1u) << tcp;
        EXPECT_EQ(owner.stops, 0);
        VideoRTSPClient::deleteClient(owner.handle);
    }
}

TEST(VideoRTSPClient, FallsBackToTcpWhenTheServerRefusesUdp) {
    StubRtspServerOptions o = withVideo();
    o.refuseUdp = true;
    StubRtspServer server(o);
    ASSERT_TRUE(server.start());
    TestOwner owner;
    owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", false);
    play(owner, [&] { return owner.videoUnits >= 10 && owner.audioUnits >= 3; });
    EXPECT_GE(owner.videoUnits, 10);
    EXPECT_GE(owner.audioUnits, 3);
    VideoRTSPClient::deleteClient(owner.handle);
}

TEST(VideoRTSPClient, PausesAndResumesDeliveryAndStopsFromInsideACallback) {
    StubRtspServerOptions o = withVideo();
    o.fps = 100;
    StubRtspServer server(o);
    ASSERT_TRUE(server.start());
    TestOwner owner;
    owner.enabled = false;  // sinks start paused
    owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", false);
    std::atomic<bool> resumed{false};
    std::thread loop([&] { VideoRTSPClient::mainLoop(owner.handle); });
    while (server.videoPacketsSent() < 40) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(owner.videoUnits, 0);
    EXPECT_EQ(owner.audioUnits, 0);
    // Resume video only; its sink then stops the client from inside onPacket.
    owner.video->onUnit = [&] {
        if (owner.videoUnits == 5) VideoRTSPClient::notifyStop(owner.handle);
    };
    VideoRTSPClient::startPlayingSink(owner.handle, owner.videoSubsession);
    VideoRTSPClient::startPlayingSink(owner.handle, &owner);  // not a subsession: ignored
    resumed = true;
    loop.join();
    EXPECT_GE(owner.videoUnits, 5);
    EXPECT_EQ(owner.audioUnits, 0);
    EXPECT_EQ(owner.stops, 0);
    VideoRTSPClient::deleteClient(owner.handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(countMethod(server, "TEARDOWN"), 1);
    EXPECT_EQ(owner.destroyed, 2);
}

TEST(VideoRTSPClient, StopBeforeTheLoopAndDeleteWithoutLoopAreClean) {
    StubRtspServer server(withVideo());
    ASSERT_TRUE(server.start());
    TestOwner owner;
    owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", false);
    VideoRTSPClient::notifyStop(owner.handle);
    VideoRTSPClient::notifyStop(owner.handle);
    VideoRTSPClient::mainLoop(owner.handle);  // returns at once
    EXPECT_EQ(owner.stops, 0);
    VideoRTSPClient::deleteClient(owner.handle);
    TestOwner other;
    other.handle = VideoRTSPClient::createNew(&other, server.url().c_str(), "", "", "t", false);
    VideoRTSPClient::deleteClient(other.handle);
    EXPECT_TRUE(server.requests().empty());
}

namespace {
// A scripted RTSP peer for one connection: answers every request, and right behind its
// answer to PLAY (in the same send) asks the client to tear the session down.
class PlayThenTeardownPeer {
public:
    PlayThenTeardownPeer() {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listenFd_, 1);
        socklen_t len = sizeof addr;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PlayThenTeardownPeer() {
        ::shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        ::close(listenFd_);
    }
    std::string url() const { return "rtsp://127.0.0.1:" + std::to_string(port_) + "/stream"; }

private:
    void serve() {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) return;
        std::string in;
        char buf[4096];
        for (;;) {
            const std::size_t end = in.find("\r\n\r\n");
            if (end == std::string::npos) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0) break;
                in.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            const std::string request = in.substr(0, end + 4);
            in.erase(0, end + 4);
            if (request.rfind("RTSP/1.0", 0) == 0) continue;  // the client's answer to our TEARDOWN
            const std::size_t at = request.find("CSeq: ");
            const std::string cseq = request.substr(at + 6, request.find("\r\n", at) - at - 6);
            std::string reply = "RTSP/1.0 200 OK\r\nCSeq: " + cseq + "\r\nSession: 42\r\n";
            if (request.rfind("DESCRIBE", 0) == 0) {
                const std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=x\r\nt=0 0\r\n"
                                        "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:track1\r\n";
                reply += "Content-Type: application/sdp\r\nContent-Length: " + std::to_string(sdp.size()) + "\r\n\r\n" + sdp;
            } else if (request.rfind("SETUP", 0) == 0) {
                reply += "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n\r\n";
            } else if (request.rfind("PLAY", 0) == 0) {
                reply += "\r\nTEARDOWN " + url() + " RTSP/1.0\r\nCSeq: 1\r\nSession: 42\r\n\r\n";
            } else {
                reply += "\r\n";
            }
            ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        ::close(fd);
    }

    int listenFd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// Lines of the library's log in the order written, each cut to what follows the URL.
std::vector<std::string> streamEvents(const std::string& out) {
    std::vector<std::string> events;
    std::size_t at = 0;
    while ((at = out.find("/stream: ", at)) != std::string::npos) {
        at += 9;
        events.push_back(out.substr(at, out.find('\n', at) - at));
    }
    return events;
}
}  // namespace

// The log tells what happened: our own stop is a stop, not a server that closed the
// connection, and "playing" is never written for a stream that has already ended.
TEST(VideoRTSPClient, LogTellsStopsAndEndsAsTheyHappened) {
    {
        StubRtspServer server(withVideo());
        ASSERT_TRUE(server.start());
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, server.url().c_str(), "", "", "t", true);
        const std::string out = testsupport::captureStdout([&] { play(owner, [&] { return owner.videoUnits >= 5; }); });
        EXPECT_EQ(streamEvents(out), (std::vector<std::string>{"playing", "stream stopped on request"})) << out;
        EXPECT_EQ(out.find("[E]["), std::string::npos) << out;
        VideoRTSPClient::deleteClient(owner.handle);
    }
    {
        PlayThenTeardownPeer peer;
        TestOwner owner;
        owner.handle = VideoRTSPClient::createNew(&owner, peer.url().c_str(), "", "", "t", true);
        const std::string out = testsupport::captureStdout([&] { EXPECT_TRUE(play(owner, [] { return false; })); });
        EXPECT_EQ(streamEvents(out), (std::vector<std::string>{"stream ended: the server tore the session down"})) << out;
        VideoRTSPClient::deleteClient(owner.handle);
    }
}
