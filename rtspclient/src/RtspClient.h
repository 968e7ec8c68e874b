#pragma once
// One RTSP session: signalling on a TCP connection, media on UDP or interleaved in it,
// everything driven by one event loop on the thread that calls run().

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "RtpReceiver.h"
#include "RtspAuth.h"
#include "RtspMessage.h"
#include "RtspUrl.h"
#include "Sdp.h"
#include "rtspclient/IRTSPSink.h"
#include "rtspclient/VideoRTSPClientSettings.h"

namespace rtspclient {

struct RtspTimings {
    int connectTimeoutMs = 10000;
    int responseTimeoutMs = 10000;
    int teardownTimeoutMs = 1000;
    int rtcpIntervalMs = 5000;
    int maxKeepaliveIntervalMs = 30000;
    std::int64_t reorderDelayUs = 50000;
    std::size_t reorderPackets = 64;
    int udpReceiveBufferBytes = 4 * 1024 * 1024;
    // After PLAY, a stream with no RTP or RTCP packet for this long has stalled and ends
    // (0: never). A frozen server would otherwise be noticed only by the keep-alive.
    int stallTimeoutMs = VideoRTSPClient::kDefaultStallTimeoutMs;
};

class RtspClient {
public:
    RtspClient(IVideoRTSPClient* owner, const RtspUrl& url, std::string user, std::string password, std::string tag,
               bool overTcp, const RtspTimings& timings = RtspTimings());
    ~RtspClient();  // detaches and deletes every sink, closes every socket
    RtspClient(const RtspClient&) = delete;
    RtspClient& operator=(const RtspClient&) = delete;

    // Plays until requestStop() or until the stream ends; every callback runs in here.
    void run();
    // Any thread, also from inside a callback; repeated calls do nothing more.
    void requestStop();
    // Any thread. False when subsession is not one of ours.
    bool setDelivering(void* subsession, bool on);
    // Why the last run ended without a stop request (empty when it did not fail).
    std::string lastError() const;
    // Before run(): replaces the stall time-out of the timings (0: never).
    void setStallTimeout(int milliseconds) { timings_.stallTimeoutMs = milliseconds < 0 ? 0 : milliseconds; }
    // The last run ended because no media packet came within the stall time-out.
    bool stalled() const { return stalled_.load(); }

private:
    struct Subsession {
        SdpMedia media;
        std::string controlUrl;
        IRTSPSink* sink = nullptr;
        std::unique_ptr<RtpReceiver> receiver;
        int rtpFd = -1;
        int rtcpFd = -1;
        std::uint16_t serverRtpPort = 0;
        std::uint16_t serverRtcpPort = 0;
        int rtpChannel = -1;
        int rtcpChannel = -1;
    };

    enum class Wait { Response, Stopped, Ended };

    bool connectServer();
    bool setupSession();
    bool setupSubsession(Subsession& sub, bool& useTcp);
    bool openUdpPair(Subsession& sub);
    // The first sequence numbers of the streams as played, from the PLAY answer.
    void applyRtpInfo(const std::string& value);
    void stream();
    void teardown();

    // Sends a request and runs the loop until its response (auth retries included).
    bool transact(const std::string& method, const std::string& url, const std::string& extraHeaders,
                  RtspMessage& response);
    long sendRequest(const std::string& method, const std::string& url, const std::string& extraHeaders);
    Wait waitFor(long cseq, int timeoutMs, RtspMessage& response);
    // One pass of the event loop, blocking at most until untilUs.
    void pollOnce(std::int64_t untilUs);
    void readControl(std::int64_t nowUs);
    void handleMessage(RtspMessage& message);
    void readUdp(Subsession& sub, std::int64_t nowUs);
    void readRtcp(Subsession& sub, int fd);
    void handleRtcp(Subsession& sub, const std::uint8_t* data, std::size_t size);
    void sendReports(std::int64_t nowUs);
    void sendControl(const std::uint8_t* data, std::size_t size);
    void flushControl();
    void end(const std::string& reason);
    void fail(const std::string& reason);
    bool stopRequested() const { return stop_.load(std::memory_order_acquire); }

    IVideoRTSPClient* owner_;
    RtspUrl url_;
    std::string requestUrl_;
    std::string user_;
    std::string password_;
    std::string tag_;
    bool overTcp_;
    RtspTimings timings_;

    std::atomic<bool> stop_{false};
    int wakeFd_ = -1;
    int controlFd_ = -1;
    sockaddr_storage serverAddress_{};
    socklen_t serverAddressLength_ = 0;

    std::vector<std::uint8_t> rx_;
    std::size_t rxStart_ = 0;
    std::size_t rxEnd_ = 0;
    std::vector<std::uint8_t> tx_;
    RtspStreamParser parser_;
    RtspMessage incoming_;
    long nextCseq_ = 1;
    long awaitedCseq_ = -1;
    bool awaitedArrived_ = false;
    RtspMessage awaited_;

    RtspAuthenticator auth_;
    std::string baseUrl_;
    std::string sessionId_;
    int sessionTimeoutS_ = 60;
    bool useGetParameter_ = false;
    long keepaliveCseq_ = -1;
    std::int64_t keepaliveDueUs_ = 0;
    std::int64_t nextReportUs_ = 0;
    std::uint32_t ourSsrc_ = 0;

    std::int64_t lastMediaUs_ = 0;  // arrival of the last RTP or RTCP packet (or the start)
    std::atomic<bool> stalled_{false};
    bool ended_ = false;    // the stream is over on the server's side (or the link broke)
    bool notified_ = false; // onStop was called
    bool playing_ = false;
    bool tearingDown_ = false; // our TEARDOWN is under way: the end it brings is not news

    mutable std::mutex mutex_;  // guards subsessions_ (membership) and error_
    std::vector<std::unique_ptr<Subsession>> subsessions_;
    std::string error_;
    std::int8_t channelToSub_[256];
    bool channelIsRtcp_[256];
};

}  // namespace rtspclient
