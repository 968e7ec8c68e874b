#pragma once
// A scriptable RTSP server for tests: serves H.264 (from an Annex B file) and Opus (a
// tone encoded on the fly) over UDP or interleaved TCP, with or without Basic or Digest
// authentication, and can drop, duplicate, reorder video packets, change the SSRC, say
// BYE, close the connection or stop sending media on cue. One client at a time; everything it was asked is
// recorded.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace nimbrosta {

struct StubRtspServerOptions {
    enum class Auth { None, Basic, Digest };
    Auth auth = Auth::None;
    std::string user = "user";
    std::string password = "secret";
    std::string realm = "nimbrosta";
    bool digestQop = false;        // offer qop="auth"
    bool staleOnce = false;        // refuse the first good Digest answer as stale

    std::string path = "/stream";
    std::string h264File;          // Annex B; empty: no video
    // Recorded RTP packets (each a 16-bit big-endian length and the packet) sent with their
    // payloads and marker bits as they are, in place of h264File; a frame ends at a marker.
    std::string rtpFile;
    bool audio = true;
    std::string audioCodecName = "opus";
    int fps = 30;
    std::size_t mtu = 1000;        // largest RTP payload
    std::uint16_t firstSequence = 0;
    int loops = 1000000;           // times the file is played

    // As a shared stream that another client already plays: this many packets of each
    // track numbered from before the play (with one more missing after them) go out just
    // before the PLAY answer, whose RTP-Info names the first number of the stream played.
    int stalePacketsBeforePlay = 0;

    bool refuseUdp = false;        // 461 on UDP transports
    int sessionTimeoutS = 60;
    bool answerKeepalive = true;

    // Video packet script, by 0-based index of the packet in sending order.
    std::set<std::uint64_t> drop;
    std::set<std::uint64_t> duplicate;
    std::set<std::uint64_t> swapWithNext;  // sent after the packet that follows it
    std::uint64_t changeSsrcAt = UINT64_MAX;
    std::uint64_t byeAfter = UINT64_MAX;   // send RTCP BYE after this many video packets
    std::uint64_t closeAfter = UINT64_MAX; // close the connection after this many
    std::uint64_t freezeAfter = UINT64_MAX; // send no media at all after this many, but
                                            // keep answering requests (a frozen server)
};

struct StubRtspRequest {
    std::string method;
    std::string uri;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string header(const std::string& name) const;
};

class StubRtspServer {
public:
    explicit StubRtspServer(StubRtspServerOptions options);
    ~StubRtspServer();

    // Listens on 127.0.0.1 (port 0: the system chooses) and serves on its own thread.
    bool start(std::uint16_t port = 0);
    void stop();
    std::uint16_t port() const { return port_; }
    std::string url() const;

    // Frames of video read from the H.264 file (0 without one, or when it holds none).
    std::size_t videoFrameCount() const { return videoFrames_.size(); }

    std::vector<StubRtspRequest> requests() const;
    std::uint64_t videoPacketsSent() const { return videoSent_.load(); }
    std::uint64_t audioPacketsSent() const { return audioSent_.load(); }
    std::uint64_t receiverReports() const { return receiverReports_.load(); }
    bool clientGone() const { return clientGone_.load(); }

private:
    struct Packet {
        std::vector<std::uint8_t> payload;
        bool marker = false;
        std::uint32_t timestamp = 0;
    };
    struct Track {
        bool setUp = false;
        bool tcp = false;
        int channel = 0;
        int rtpFd = -1;
        int rtcpFd = -1;
        std::uint16_t clientRtpPort = 0;
        std::uint16_t clientRtcpPort = 0;
        std::uint16_t sequence = 0;
        std::uint32_t ssrc = 0;
        std::uint8_t payloadType = 96;
    };

    void run();
    void serveClient(int fd);
    bool handleRequest(int fd, const std::string& text);
    bool authorized(const StubRtspRequest& r, std::string& challenge);
    void sendRtp(int fd, Track& t, const std::vector<std::uint8_t>& payload, bool marker, std::uint32_t ts);
    void sendVideoPacket(int fd, const Packet& p);
    void sendBye(int fd, Track& t);
    void sendStalePackets(int fd, Track& t);
    void sendBytes(int fd, const void* data, std::size_t size);
    void closeTracks();
    void loadVideo();
    void loadRtp();
    void readRtcp(int fd);

    StubRtspServerOptions options_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int wakeFd_ = -1;

    mutable std::mutex mutex_;
    std::vector<StubRtspRequest> requests_;
    std::atomic<std::uint64_t> videoSent_{0};
    std::atomic<std::uint64_t> audioSent_{0};
    std::atomic<std::uint64_t> receiverReports_{0};
    std::atomic<bool> clientGone_{false};

    std::vector<std::vector<Packet>> videoFrames_;  // packets per frame
    std::vector<std::string> parameterSets_;        // base64 SPS, PPS
    Track video_;
    Track audio_;
    bool playing_ = false;
    bool closeNow_ = false;
    bool frozen_ = false;
    int staleAnswered_ = 0;
    std::string nonce_;
    std::uint64_t videoIndex_ = 0;
    bool hasHeldPacket_ = false;
    Packet heldPacket_;
    std::uint16_t heldSeq_ = 0;
    std::string session_ = "7c3b21f0";
    std::string inbuf_;
};

}  // namespace nimbrosta
