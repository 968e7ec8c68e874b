#include "RtspClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include "core/LogLine.h"

namespace rtspclient {
namespace {

constexpr std::size_t kMaxSubsessions = 8;
constexpr std::size_t kControlReadChunk = 70 * 1024;  // an interleaved frame fits whole
constexpr std::size_t kControlBufferBytes =
    RtspStreamParser::kMaxHeaderBytes + RtspStreamParser::kMaxBodyBytes + kControlReadChunk;
constexpr std::size_t kMaxPendingOutput = 1024 * 1024;
constexpr int kUdpPacketsPerPoll = 256;

std::int64_t nowUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// "10 s", "0.3 s".
std::string seconds(int milliseconds) {
    char text[32];
    if (milliseconds % 1000 == 0)
        std::snprintf(text, sizeof text, "%d s", milliseconds / 1000);
    else
        std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
    return text;
}

std::string upperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool hasControlCharacters(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7f) return true;
    return false;
}

std::string headerSafe(const std::string& s) {
    std::string out;
    for (unsigned char c : s)
        if (c >= 0x20 && c != 0x7f) out += static_cast<char>(c);
    return out;
}

bool parsePortPair(const std::string& text, int& first, int& second) {
    const std::size_t dash = text.find('-');
    const std::string a = text.substr(0, dash);
    const std::string b = dash == std::string::npos ? std::string() : text.substr(dash + 1);
    auto number = [](const std::string& s, int& out) {
        if (s.empty() || s.size() > 5) return false;
        int v = 0;
        for (char c : s) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            v = v * 10 + (c - '0');
        }
        if (v > 65535) return false;
        out = v;
        return true;
    };
    if (!number(a, first)) return false;
    if (b.empty()) {
        second = first + 1;
        return true;
    }
    return number(b, second);
}

void setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool sameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    if (a.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

void setPort(sockaddr_storage& a, std::uint16_t port) {
    if (a.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(a).sin_port = htons(port);
    if (a.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6&>(a).sin6_port = htons(port);
}

std::uint16_t getPort(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return 0;
}

}  // namespace

RtspClient::RtspClient(IVideoRTSPClient* owner, const RtspUrl& url, std::string user, std::string password,
                       std::string tag, bool overTcp, const RtspTimings& timings)
    : owner_(owner),
      url_(url),
      requestUrl_(url.requestUrl()),
      user_(std::move(user)),
      password_(std::move(password)),
      tag_(headerSafe(tag)),
      overTcp_(overTcp),
      timings_(timings) {
    if (user_.empty() && password_.empty()) {
        user_ = url_.user;
        password_ = url_.password;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::memset(channelToSub_, -1, sizeof channelToSub_);
    std::memset(channelIsRtcp_, 0, sizeof channelIsRtcp_);
    std::random_device rd;
    ourSsrc_ = rd();
    tx_.reserve(4096);
}

RtspClient::~RtspClient() {
    std::vector<std::unique_ptr<Subsession>> subs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        subs.swap(subsessions_);
    }
    for (auto& sub : subs) {
        closeFd(sub->rtpFd);
        closeFd(sub->rtcpFd);
        sub->receiver.reset();
        if (sub->sink) {
            try {
                sub->sink->detach(0);
                delete sub->sink;
            } catch (...) {
            }
            sub->sink = nullptr;
        }
    }
    closeFd(controlFd_);
    closeFd(wakeFd_);
}

void RtspClient::requestStop() {
    if (stop_.exchange(true, std::memory_order_acq_rel)) return;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
        (void)ignored;
    }
}

bool RtspClient::setDelivering(void* subsession, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& sub : subsessions_) {
        if (sub.get() != subsession) continue;
        if (sub->receiver) sub->receiver->setDelivering(on);
        return true;
    }
    return false;
}

std::string RtspClient::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

void RtspClient::fail(const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_.empty()) error_ = reason;
    }
    LogLine(50, "VideoRTSPClient::mainLoop", __LINE__).stream() << requestUrl_ << ": " << reason;
    end(reason);
}

void RtspClient::end(const std::string& reason) {
    if (!ended_ && !tearingDown_)
        LogLine(0, "VideoRTSPClient::mainLoop", __LINE__).stream() << requestUrl_ << ": stream ended: " << reason;
    ended_ = true;
}

void RtspClient::run() {
    try {
        rx_.resize(kControlBufferBytes);  // here, so that making a client costs little
        if (wakeFd_ < 0) {
            fail("cannot create the wake-up descriptor");
        } else if (!stopRequested() && connectServer() && setupSession()) {
            stream();
        }
        // A stop of ours is told as such, not as whatever the closing connection shows.
        const bool stoppedByUs = stopRequested() && !ended_;
        if (stopRequested() || (ended_ && playing_ && controlFd_ >= 0)) teardown();
        if (stoppedByUs) LogLine(0, "VideoRTSPClient::mainLoop", __LINE__).stream() << requestUrl_ << ": stream stopped on request";
    } catch (const std::exception& e) {
        fail(std::string("internal error: ") + e.what());
    } catch (...) {
        fail("internal error");
    }
    if (!stopRequested() && !notified_) {
        notified_ = true;
        try {
            owner_->onStop();
        } catch (...) {
        }
    }
}

bool RtspClient::connectServer() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* result = nullptr;
    const std::string port = std::to_string(url_.port);
    const int rc = getaddrinfo(url_.host.c_str(), port.c_str(), &hints, &result);
    if (rc != 0 || !result) {
        fail("cannot resolve host " + url_.host + ": " + gai_strerror(rc));
        return false;
    }
    std::string lastError = "no address";
    const std::int64_t deadline = nowUs() + static_cast<std::int64_t>(timings_.connectTimeoutMs) * 1000;
    for (addrinfo* ai = result; ai && controlFd_ < 0 && !stopRequested(); ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        setNonBlocking(fd);
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            lastError = std::strerror(errno);
            ::close(fd);
            continue;
        }
        bool connected = false;
        for (;;) {
            const std::int64_t left = (deadline - nowUs()) / 1000;
            if (left <= 0) {
                lastError = "timed out";
                break;
            }
            pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
            const int n = ::poll(fds, 2, static_cast<int>(std::min<std::int64_t>(left, INT_MAX)));
            if (n < 0 && errno == EINTR) continue;
            if (stopRequested()) break;
            if (n > 0 && fds[0].revents) {
                int err = 0;
                socklen_t len = sizeof err;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                if (err == 0) connected = true;
                else lastError = std::strerror(err);
                break;
            }
        }
        if (!connected) {
            ::close(fd);
            continue;
        }
        controlFd_ = fd;
        std::memcpy(&serverAddress_, ai->ai_addr, ai->ai_addrlen);
        serverAddressLength_ = ai->ai_addrlen;
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (overTcp_) {
            const int size = timings_.udpReceiveBufferBytes;
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
    }
    freeaddrinfo(result);
    if (controlFd_ < 0) {
        if (!stopRequested()) fail("cannot connect to " + url_.host + ":" + port + ": " + lastError);
        return false;
    }
    return true;
}

long RtspClient::sendRequest(const std::string& method, const std::string& url, const std::string& extraHeaders) {
    const long cseq = nextCseq_++;
    std::string request = method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) + "\r\n";
    if (!tag_.empty()) request += "User-Agent: " + tag_ + "\r\n";
    if (auth_.active()) request += "Authorization: " + auth_.authorization(method, url) + "\r\n";
    if (!sessionId_.empty()) request += "Session: " + sessionId_ + "\r\n";
    request += extraHeaders;
    request += "\r\n";
    sendControl(reinterpret_cast<const std::uint8_t*>(request.data()), request.size());
    return cseq;
}

bool RtspClient::transact(const std::string& method, const std::string& url, const std::string& extraHeaders,
                          RtspMessage& response) {
    std::string lastNonce;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const long cseq = sendRequest(method, url, extraHeaders);
        const Wait w = waitFor(cseq, timings_.responseTimeoutMs, response);
        if (w == Wait::Stopped) return false;
        if (w == Wait::Ended) {
            if (!ended_) fail(method + ": no response from the server");
            return false;
        }
        if (response.status != 401) return true;

        std::vector<std::string> challenges;
        for (const auto& h : response.headers)
            if (strcasecmp(h.first.c_str(), "WWW-Authenticate") == 0) challenges.push_back(h.second);
        std::string refused;
        const AuthChallenge challenge = chooseChallenge(challenges, &refused);
        if (!refused.empty()) {
            fail(method + " refused: 401 Unauthorized, with " + refused + " (not answered)");
            return false;
        }
        if (!auth_.hasCredentials()) {
            fail(method + " refused: 401 Unauthorized (no credentials)");
            return false;
        }
        if (challenge.scheme == AuthChallenge::Scheme::None) {
            fail(method + " refused: 401 Unauthorized (no authentication scheme we support)");
            return false;
        }
        // A second refusal of the same challenge means the credentials are wrong; a
        // stale nonce alone earns one more try.
        const bool retried = auth_.active() && auth_.challenge().scheme == challenge.scheme &&
                             (challenge.scheme == AuthChallenge::Scheme::Basic || challenge.nonce == lastNonce);
        if ((retried && !challenge.stale) || attempt == 2) {
            fail(method + " refused: 401 Unauthorized (credentials not accepted)");
            return false;
        }
        lastNonce = challenge.nonce;
        if (!usableCredentials(user_, password_)) {
            fail("credentials contain control characters");
            return false;
        }
        auth_.setCredentials(user_, password_);
        auth_.setChallenge(challenge);
    }
    return false;
}

RtspClient::Wait RtspClient::waitFor(long cseq, int timeoutMs, RtspMessage& response) {
    awaitedCseq_ = cseq;
    awaitedArrived_ = false;
    const std::int64_t deadline = nowUs() + static_cast<std::int64_t>(timeoutMs) * 1000;
    while (!awaitedArrived_) {
        if (stopRequested()) return Wait::Stopped;
        if (ended_) return Wait::Ended;
        if (nowUs() >= deadline) {
            fail("no response from the server within " + std::to_string(timeoutMs) + " ms");
            return Wait::Ended;
        }
        pollOnce(deadline);
    }
    awaitedCseq_ = -1;
    response = std::move(awaited_);
    return Wait::Response;
}

bool RtspClient::setupSession() {
    auth_.setCredentials(user_, password_);
    RtspMessage response;
    if (!transact("OPTIONS", requestUrl_, std::string(), response)) return false;
    if (response.status / 100 == 2) {
        if (const std::string* pub = response.header("Public"))
            useGetParameter_ = pub->find("GET_PARAMETER") != std::string::npos;
    }

    if (!transact("DESCRIBE", requestUrl_, "Accept: application/sdp\r\n", response)) return false;
    if (response.status / 100 != 2) {
        fail("DESCRIBE refused: " + std::to_string(response.status) + " " + response.reason);
        return false;
    }
    baseUrl_ = requestUrl_;
    const std::string* base = response.header("Content-Base");
    if (!base) base = response.header("Content-Location");
    if (base && !base->empty() && strncasecmp(base->c_str(), "rtsp://", 7) == 0 && !hasControlCharacters(*base))
        baseUrl_ = *base;

    SdpSession sdp;
    std::string error;
    if (!parseSdp(response.body, sdp, error)) {
        fail("DESCRIBE gave no usable session description: " + error);
        return false;
    }

    for (const SdpMedia& m : sdp.media) {
        if (subsessions_.size() >= kMaxSubsessions) break;
        if (m.codec.empty() || m.payloadType < 0 || m.protocol.find("RTP/AVP") == std::string::npos) continue;
        if (hasControlCharacters(m.control)) continue;
        auto sub = std::make_unique<Subsession>();
        sub->media = m;
        sub->controlUrl = resolveControlUrl(baseUrl_, m.control);
        const std::string codec = upperCase(m.codec);
        IRTSPSink* sink = owner_->createSink(codec.c_str(), sub.get());
        if (!sink) {
            LogLine(0, "VideoRTSPClient::mainLoop", __LINE__).stream() << "no sink for " << m.media << " " << codec;
            continue;
        }
        sub->sink = sink;
        const int prefix = sink->prefixSize();
        RtpReceiverConfig config;
        config.payload = codec == "H264" ? RtpReceiverConfig::Payload::H264 : RtpReceiverConfig::Payload::Whole;
        config.payloadType = m.payloadType;
        config.clockRate = m.clockRate ? m.clockRate : (m.media == "audio" ? 8000 : 90000);
        config.audio = m.media == "audio";
        config.reorderPackets = timings_.reorderPackets;
        config.reorderDelayUs = timings_.reorderDelayUs;
        if (config.payload == RtpReceiverConfig::Payload::H264) findParameter(m.fmtp, "sprop-parameter-sets", config.spropParameterSets);
        const bool usable = prefix >= 0 && prefix <= static_cast<int>(RtpReceiver::kMaxPrefix);
        if (usable) {
            sub->receiver = std::make_unique<RtpReceiver>(sink, config);
            sub->receiver->setDelivering(sink->enabled);
        } else {
            LogLine(50, "VideoRTSPClient::mainLoop", __LINE__).stream() << "sink for " << codec << " wants a prefix of "
                                                                       << prefix << " bytes; not received";
        }
        std::lock_guard<std::mutex> lock(mutex_);
        subsessions_.push_back(std::move(sub));
    }

    bool useTcp = overTcp_;
    int setUp = 0;
    for (auto& sub : subsessions_) {
        if (!sub->receiver) continue;
        if (!setupSubsession(*sub, useTcp)) {
            if (ended_ || stopRequested()) return false;
            continue;
        }
        ++setUp;
    }
    if (setUp == 0) {
        if (!ended_ && !stopRequested()) fail("no media to play (no subsession could be set up)");
        return false;
    }

    const std::string aggregate = resolveControlUrl(baseUrl_, sdp.control);
    if (!transact("PLAY", sessionId_.empty() ? requestUrl_ : aggregate, "Range: npt=0.000-\r\n", response)) return false;
    if (response.status / 100 != 2) {
        fail("PLAY refused: " + std::to_string(response.status) + " " + response.reason);
        return false;
    }
    if (const std::string* info = response.header("RTP-Info")) applyRtpInfo(*info);
    playing_ = true;
    return true;
}

void RtspClient::applyRtpInfo(const std::string& value) {
    const std::vector<RtpInfoEntry> entries = parseRtpInfo(value);
    std::size_t receiving = 0;
    for (const auto& sub : subsessions_) receiving += sub->receiver != nullptr;
    for (const RtpInfoEntry& entry : entries) {
        if (!entry.haveSequence) continue;
        for (auto& sub : subsessions_) {
            if (!sub->receiver) continue;
            // The url names the stream as its control URL, absolute or as written in the
            // description; a single stream needs no name.
            const std::string& control = sub->media.control;
            const std::string tail = "/" + control;
            const bool same =
                entry.url == sub->controlUrl || (!control.empty() && control != "*" && entry.url == control) ||
                (!control.empty() && control != "*" && entry.url.size() > tail.size() &&
                 entry.url.compare(entry.url.size() - tail.size(), tail.size(), tail) == 0) ||
                (entries.size() == 1 && receiving == 1);
            if (same) sub->receiver->setFirstSequence(entry.sequence);
        }
    }
}

bool RtspClient::openUdpPair(Subsession& sub) {
    const int family = serverAddress_.ss_family;
    for (int attempt = 0; attempt < 32; ++attempt) {
        int rtp = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (rtp < 0) return false;
        sockaddr_storage local{};
        local.ss_family = static_cast<sa_family_t>(family);
        socklen_t len = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (::bind(rtp, reinterpret_cast<sockaddr*>(&local), len) != 0) {
            ::close(rtp);
            return false;
        }
        getsockname(rtp, reinterpret_cast<sockaddr*>(&local), &len);
        const std::uint16_t port = getPort(local);
        if (port % 2 != 0 || port == 65534) {
            ::close(rtp);
            continue;
        }
        int rtcp = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        setPort(local, static_cast<std::uint16_t>(port + 1));
        if (rtcp < 0 || ::bind(rtcp, reinterpret_cast<sockaddr*>(&local), len) != 0) {
            ::close(rtp);
            if (rtcp >= 0) ::close(rtcp);
            continue;
        }
        const int size = timings_.udpReceiveBufferBytes;
        setsockopt(rtp, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sub.rtpFd = rtp;
        sub.rtcpFd = rtcp;
        return true;
    }
    return false;
}

bool RtspClient::setupSubsession(Subsession& sub, bool& useTcp) {
    RtspMessage response;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string transport;
        int channel = -1;
        if (useTcp) {
            channel = 0;
            while (channel < 254 && channelToSub_[channel] != -1) channel += 2;
            transport = "Transport: RTP/AVP/TCP;unicast;interleaved=" + std::to_string(channel) + "-" +
                        std::to_string(channel + 1) + "\r\n";
        } else {
            if (sub.rtpFd < 0 && !openUdpPair(sub)) {
                fail("cannot open UDP ports for RTP");
                return false;
            }
            sockaddr_storage local{};
            socklen_t len = sizeof local;
            getsockname(sub.rtpFd, reinterpret_cast<sockaddr*>(&local), &len);
            const std::uint16_t port = getPort(local);
            transport = "Transport: RTP/AVP;unicast;client_port=" + std::to_string(port) + "-" +
                        std::to_string(port + 1) + "\r\n";
        }
        if (!transact("SETUP", sub.controlUrl, transport, response)) return false;
        if (response.status == 461 && !useTcp) {
            // The server does not send over UDP: take the media in the connection instead.
            LogLine(0, "VideoRTSPClient::mainLoop", __LINE__).stream() << "UDP refused, using interleaved TCP";
            closeFd(sub.rtpFd);
            closeFd(sub.rtcpFd);
            useTcp = true;
            continue;
        }
        if (response.status / 100 != 2) {
            LogLine(50, "VideoRTSPClient::mainLoop", __LINE__).stream()
                << "SETUP " << sub.controlUrl << " refused: " << response.status << " " << response.reason;
            closeFd(sub.rtpFd);
            closeFd(sub.rtcpFd);
            return false;
        }
        if (const std::string* session = response.header("Session")) {
            std::string id = *session;
            std::string timeout;
            if (findParameter(id, "timeout", timeout)) {
                int t = 0;
                for (char c : timeout)
                    if (std::isdigit(static_cast<unsigned char>(c)) && t < 100000) t = t * 10 + (c - '0');
                if (t > 0) sessionTimeoutS_ = t;
            }
            id = id.substr(0, id.find(';'));
            while (!id.empty() && id.back() == ' ') id.pop_back();
            if (!id.empty() && !hasControlCharacters(id) && id.size() < 256) sessionId_ = id;
        }
        const std::string* t = response.header("Transport");
        std::string value;
        int a = -1, b = -1;
        if (useTcp) {
            if (t && findParameter(*t, "interleaved", value) && parsePortPair(value, a, b) && a < 256 && b < 256) {
                channel = a;
            } else {
                b = channel + 1;
            }
            if (channel < 0 || channel > 255 || b < 0 || b > 255) {
                fail("SETUP gave unusable interleaved channels");
                return false;
            }
            std::int8_t subIndex = -1;
            for (std::size_t i = 0; i < subsessions_.size(); ++i)
                if (subsessions_[i].get() == &sub) subIndex = static_cast<std::int8_t>(i);
            sub.rtpChannel = channel;
            sub.rtcpChannel = b;
            channelToSub_[channel] = subIndex;
            channelIsRtcp_[channel] = false;
            channelToSub_[b] = subIndex;
            channelIsRtcp_[b] = true;
        } else {
            if (t && findParameter(*t, "server_port", value) && parsePortPair(value, a, b)) {
                sub.serverRtpPort = static_cast<std::uint16_t>(a);
                sub.serverRtcpPort = static_cast<std::uint16_t>(b);
            }
            // Open the path through NAT: the server's ports now know our ports.
            std::uint8_t report[64];
            ReceiverReport rr;
            rr.ourSsrc = ourSsrc_;
            const std::size_t n = buildReceiverReport(rr, tag_.empty() ? "rtspclient" : tag_.c_str(), report, sizeof report);
            sockaddr_storage dest = serverAddress_;
            if (n && sub.serverRtpPort) {
                setPort(dest, sub.serverRtpPort);
                ::sendto(sub.rtpFd, report, n, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&dest), serverAddressLength_);
            }
            if (n && sub.serverRtcpPort) {
                setPort(dest, sub.serverRtcpPort);
                ::sendto(sub.rtcpFd, report, n, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&dest), serverAddressLength_);
            }
        }
        return true;
    }
    return false;
}

void RtspClient::stream() {
    // The server may end the session right behind its answer to PLAY (a TEARDOWN, an RTCP
    // BYE or its close in the same read): then nothing plays.
    if (ended_) return;
    const std::int64_t start = nowUs();
    nextReportUs_ = start;  // a first report at once
    int intervalMs = sessionTimeoutS_ * 1000 / 2;
    if (intervalMs > timings_.maxKeepaliveIntervalMs) intervalMs = timings_.maxKeepaliveIntervalMs;
    if (intervalMs < 500) intervalMs = 500;
    keepaliveDueUs_ = start + static_cast<std::int64_t>(intervalMs) * 1000;
    lastMediaUs_ = start;
    const std::int64_t stallUs = static_cast<std::int64_t>(timings_.stallTimeoutMs) * 1000;
    LogLine(0, "VideoRTSPClient::mainLoop", __LINE__).stream() << requestUrl_ << ": playing";
    while (!stopRequested() && !ended_) {
        const std::int64_t now = nowUs();
        if (stallUs > 0 && now - lastMediaUs_ >= stallUs) {
            stalled_ = true;
            fail("the stream stalled: no RTP or RTCP packet from the server for " + seconds(timings_.stallTimeoutMs));
            break;
        }
        if (now >= nextReportUs_) {
            sendReports(now);
            nextReportUs_ = now + static_cast<std::int64_t>(timings_.rtcpIntervalMs) * 1000;
        }
        if (now >= keepaliveDueUs_) {
            if (keepaliveCseq_ >= 0) {
                fail("keep-alive got no response");
                break;
            }
            keepaliveCseq_ = sendRequest(useGetParameter_ ? "GET_PARAMETER" : "OPTIONS",
                                         useGetParameter_ ? (baseUrl_) : requestUrl_, std::string());
            keepaliveDueUs_ = now + static_cast<std::int64_t>(intervalMs) * 1000;
        }
        std::int64_t until = std::min(nextReportUs_, keepaliveDueUs_);
        if (stallUs > 0) until = std::min(until, lastMediaUs_ + stallUs);
        for (auto& sub : subsessions_)
            if (sub->receiver) until = std::min(until, sub->receiver->nextDeadlineUs());
        pollOnce(until);
    }
}

void RtspClient::teardown() {
    if (controlFd_ < 0 || sessionId_.empty()) return;
    ended_ = false;  // the connection may still carry the answer
    tearingDown_ = true;
    RtspMessage response;
    const long cseq = sendRequest("TEARDOWN", baseUrl_, std::string());
    awaitedCseq_ = cseq;
    awaitedArrived_ = false;
    const std::int64_t deadline = nowUs() + static_cast<std::int64_t>(timings_.teardownTimeoutMs) * 1000;
    while (!awaitedArrived_ && !ended_ && nowUs() < deadline && controlFd_ >= 0) pollOnce(deadline);
    awaitedCseq_ = -1;
    ended_ = true;
    tearingDown_ = false;
    sessionId_.clear();
}

void RtspClient::sendControl(const std::uint8_t* data, std::size_t size) {
    if (controlFd_ < 0) return;
    if (tx_.empty()) {
        const ssize_t n = ::send(controlFd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(size)) return;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            end(std::string("connection error: ") + std::strerror(errno));
            return;
        }
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    if (tx_.size() + size > kMaxPendingOutput) return;  // the server does not read; drop
    tx_.insert(tx_.end(), data, data + size);
}

void RtspClient::flushControl() {
    while (!tx_.empty() && controlFd_ >= 0) {
        const ssize_t n = ::send(controlFd_, tx_.data(), tx_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
            end(std::string("connection error: ") + std::strerror(errno));
            return;
        }
        tx_.erase(tx_.begin(), tx_.begin() + n);
    }
}

void RtspClient::pollOnce(std::int64_t untilUs) {
    pollfd fds[2 + 2 * kMaxSubsessions];
    Subsession* owners[2 + 2 * kMaxSubsessions];
    nfds_t n = 0;
    fds[n] = {wakeFd_, POLLIN, 0};
    owners[n++] = nullptr;
    if (controlFd_ >= 0) {
        fds[n] = {controlFd_, static_cast<short>(POLLIN | (tx_.empty() ? 0 : POLLOUT)), 0};
        owners[n++] = nullptr;
    }
    for (auto& sub : subsessions_) {
        if (sub->rtpFd >= 0) {
            fds[n] = {sub->rtpFd, POLLIN, 0};
            owners[n++] = sub.get();
        }
        if (sub->rtcpFd >= 0) {
            fds[n] = {sub->rtcpFd, POLLIN, 0};
            owners[n++] = sub.get();
        }
    }
    std::int64_t now = nowUs();
    std::int64_t waitMs = untilUs == INT64_MAX ? 1000 : (untilUs - now + 999) / 1000;
    if (waitMs < 0) waitMs = 0;
    if (waitMs > 1000) waitMs = 1000;
    const int ready = ::poll(fds, n, static_cast<int>(waitMs));
    now = nowUs();
    if (ready > 0) {
        for (nfds_t i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == wakeFd_) {
                std::uint64_t value;
                ssize_t ignored = ::read(wakeFd_, &value, sizeof value);
                (void)ignored;
            } else if (fds[i].fd == controlFd_) {
                if (fds[i].revents & POLLOUT) flushControl();
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) readControl(now);
            } else if (owners[i] && fds[i].fd == owners[i]->rtpFd) {
                readUdp(*owners[i], now);
            } else if (owners[i]) {
                readRtcp(*owners[i], fds[i].fd);
            }
            if (stopRequested()) return;
        }
    }
    for (auto& sub : subsessions_)
        if (sub->receiver && sub->receiver->nextDeadlineUs() <= now) sub->receiver->onTimer(now);
}

void RtspClient::readControl(std::int64_t now) {
    // rx_ keeps its size; [rxStart_, rxEnd_) holds what is not parsed yet.
    if (rxStart_ == rxEnd_) {
        rxStart_ = rxEnd_ = 0;
    } else if (rx_.size() - rxEnd_ < kControlReadChunk) {
        std::memmove(rx_.data(), rx_.data() + rxStart_, rxEnd_ - rxStart_);
        rxEnd_ -= rxStart_;
        rxStart_ = 0;
    }
    const ssize_t got = ::recv(controlFd_, rx_.data() + rxEnd_, rx_.size() - rxEnd_, MSG_DONTWAIT);
    if (got <= 0) {
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        closeFd(controlFd_);
        tx_.clear();
        end(got == 0 ? "the server closed the connection" : std::string("connection error: ") + std::strerror(errno));
        return;
    }
    rxEnd_ += static_cast<std::size_t>(got);

    while (rxStart_ < rxEnd_ && !stopRequested()) {
        std::size_t consumed = 0;
        RtspStreamParser::Frame frame;
        const auto result = parser_.parse(rx_.data() + rxStart_, rxEnd_ - rxStart_, consumed, incoming_, frame);
        if (result == RtspStreamParser::Result::NeedMore) break;
        if (result == RtspStreamParser::Result::Error) {
            closeFd(controlFd_);
            fail("protocol error: " + parser_.error());
            return;
        }
        if (result == RtspStreamParser::Result::Interleaved) {
            const std::int8_t index = channelToSub_[frame.channel];
            if (index >= 0 && static_cast<std::size_t>(index) < subsessions_.size()) {
                lastMediaUs_ = now;
                Subsession& sub = *subsessions_[static_cast<std::size_t>(index)];
                if (channelIsRtcp_[frame.channel])
                    handleRtcp(sub, frame.data, frame.size);
                else if (sub.receiver)
                    sub.receiver->onPacket(frame.data, frame.size, now);
            }
            rxStart_ += consumed;
            continue;
        }
        rxStart_ += consumed;
        handleMessage(incoming_);
        if (controlFd_ < 0) return;
    }
}

void RtspClient::handleMessage(RtspMessage& message) {
    const long cseq = message.cseq();
    if (message.isResponse) {
        if (cseq >= 0 && cseq == awaitedCseq_) {
            awaited_ = std::move(message);
            awaitedArrived_ = true;
        } else if (cseq >= 0 && cseq == keepaliveCseq_) {
            keepaliveCseq_ = -1;
            if (message.status == 454) {
                fail("keep-alive: the server lost the session (454)");
            } else if (message.status / 100 != 2 && useGetParameter_) {
                useGetParameter_ = false;  // answered, so the session lives; use OPTIONS from now on
            }
        }
        return;
    }
    // A request from the server.
    std::string reply;
    if (message.method == "TEARDOWN") {
        reply = "RTSP/1.0 200 OK\r\n";
        end("the server tore the session down");
    } else if (message.method == "OPTIONS" || message.method == "GET_PARAMETER" || message.method == "SET_PARAMETER") {
        reply = "RTSP/1.0 200 OK\r\n";
    } else {
        reply = "RTSP/1.0 501 Not Implemented\r\n";
    }
    if (cseq >= 0) reply += "CSeq: " + std::to_string(cseq) + "\r\n";
    reply += "\r\n";
    sendControl(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
}

void RtspClient::readUdp(Subsession& sub, std::int64_t now) {
    // Datagrams come in bursts (a picture is tens of packets): one call takes a batch,
    // each straight into a buffer of the reorder window.
    constexpr std::size_t kBatch = RtpReceiver::kReceiveBatch;
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
    sockaddr_storage from[kBatch];
    for (int taken = 0; taken < kUdpPacketsPerPoll;) {
        for (std::size_t i = 0; i < kBatch; ++i) {
            vectors[i] = {sub.receiver->receiveBuffer(i), sub.receiver->maxPacket()};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int got = ::recvmmsg(sub.rtpFd, messages, kBatch, MSG_DONTWAIT, nullptr);
        if (got <= 0) return;
        for (int i = 0; i < got; ++i) {
            if (!sameHost(from[i], serverAddress_)) continue;  // not from our server
            lastMediaUs_ = now;
            if (messages[i].msg_hdr.msg_flags & MSG_TRUNC) continue;
            sub.receiver->onPacket(messages[i].msg_len, now, static_cast<std::size_t>(i));
            if (stopRequested() || ended_) return;
        }
        if (static_cast<std::size_t>(got) < kBatch) return;  // the socket is drained
        taken += got;
    }
}

void RtspClient::readRtcp(Subsession& sub, int fd) {
    std::uint8_t buffer[2048];
    for (int i = 0; i < 16; ++i) {
        sockaddr_storage from;
        socklen_t fromLen = sizeof from;
        const ssize_t got =
            ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (got < 0) return;
        if (!sameHost(from, serverAddress_) || static_cast<std::size_t>(got) > sizeof buffer) continue;
        lastMediaUs_ = nowUs();
        handleRtcp(sub, buffer, static_cast<std::size_t>(got));
    }
}

void RtspClient::handleRtcp(Subsession& sub, const std::uint8_t* data, std::size_t size) {
    RtcpInfo info;
    if (!parseRtcp(data, size, info)) return;
    if (info.haveSenderReport && sub.receiver) sub.receiver->onSenderReport(info.ntpMiddle, nowUs());
    if (info.bye) end("the server said goodbye (RTCP BYE)");
}

void RtspClient::sendReports(std::int64_t now) {
    std::uint8_t packet[4 + 320];
    for (auto& sub : subsessions_) {
        if (!sub->receiver) continue;
        ReceiverReport rr;
        rr.ourSsrc = ourSsrc_;
        sub->receiver->fillReport(rr, now);
        const std::size_t n =
            buildReceiverReport(rr, tag_.empty() ? "rtspclient" : tag_.c_str(), packet + 4, sizeof packet - 4);
        if (!n) continue;
        if (sub->rtcpChannel >= 0 && controlFd_ >= 0) {
            packet[0] = '$';
            packet[1] = static_cast<std::uint8_t>(sub->rtcpChannel);
            packet[2] = static_cast<std::uint8_t>(n >> 8);
            packet[3] = static_cast<std::uint8_t>(n);
            sendControl(packet, n + 4);
        } else if (sub->rtcpFd >= 0 && sub->serverRtcpPort) {
            sockaddr_storage dest = serverAddress_;
            setPort(dest, sub->serverRtcpPort);
            ::sendto(sub->rtcpFd, packet + 4, n, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&dest), serverAddressLength_);
        }
    }
}

}  // namespace rtspclient
