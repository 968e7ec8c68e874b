#include "StubRtspServer.h"

#include <arpa/inet.h>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <opus.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sstream>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace nimbrosta {
namespace {

std::int64_t nowUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string md5(const std::string& in) {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(in.data(), in.size(), d, &n, EVP_md5(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < n; ++i) {
        out += hex[d[i] >> 4];
        out += hex[d[i] & 15];
    }
    return out;
}

std::string base64(const std::string& in) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += a[(v >> 6) & 63];
        out += a[v & 63];
    }
    if (in.size() - i == 1) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += "==";
    } else if (in.size() - i == 2) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += a[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string param(const std::string& header, const std::string& name) {
    // name="value" or name=value inside a comma separated list.
    std::size_t pos = 0;
    while ((pos = header.find(name + "=", pos)) != std::string::npos) {
        if (pos == 0 || header[pos - 1] == ' ' || header[pos - 1] == ',' || header[pos - 1] == ';') {
            std::size_t v = pos + name.size() + 1;
            if (v < header.size() && header[v] == '"') {
                const std::size_t e = header.find('"', v + 1);
                return header.substr(v + 1, e == std::string::npos ? std::string::npos : e - v - 1);
            }
            const std::size_t e = header.find_first_of(",;", v);
            return header.substr(v, e == std::string::npos ? std::string::npos : e - v);
        }
        pos += name.size();
    }
    return std::string();
}

void put16(std::uint8_t* p, unsigned v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

std::string StubRtspRequest::header(const std::string& name) const {
    for (const auto& h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return std::string();
}

StubRtspServer::StubRtspServer(StubRtspServerOptions options) : options_(std::move(options)) {
    video_.ssrc = 0x1234abcd;
    video_.payloadType = 96;
    audio_.ssrc = 0x5678ef01;
    audio_.payloadType = 97;
    video_.sequence = options_.firstSequence;
    audio_.sequence = options_.firstSequence;
    nonce_ = md5(std::to_string(nowUs())).substr(0, 16);
    loadVideo();
}

StubRtspServer::~StubRtspServer() { stop(); }

std::string StubRtspServer::url() const { return "rtsp://127.0.0.1:" + std::to_string(port_) + options_.path; }

std::vector<StubRtspRequest> StubRtspServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void StubRtspServer::loadRtp() {
    std::ifstream in(options_.rtpFile, std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Packet> packets;
    std::size_t i = 0;
    while (i + 2 <= data.size()) {
        const std::size_t n = (std::size_t(data[i]) << 8) | data[i + 1];
        i += 2;
        if (n > data.size() - i) break;
        const std::uint8_t* rtp = data.data() + i;
        i += n;
        if (n < 12 || (rtp[0] >> 6) != 2) continue;
        std::size_t header = 12 + 4 * std::size_t(rtp[0] & 0x0f);
        if ((rtp[0] & 0x10) && header + 4 <= n) header += 4 + 4 * ((std::size_t(rtp[header + 2]) << 8) | rtp[header + 3]);
        std::size_t end = n;
        if ((rtp[0] & 0x20) && end > 0) end -= std::min<std::size_t>(rtp[n - 1], end);
        if (header >= end) continue;
        Packet p;
        p.payload.assign(rtp + header, rtp + end);
        p.marker = (rtp[1] & 0x80) != 0;
        p.timestamp = static_cast<std::uint32_t>(videoFrames_.size()) * (90000u / static_cast<std::uint32_t>(options_.fps));
        packets.push_back(std::move(p));
        if (packets.back().marker) videoFrames_.push_back(std::move(packets)), packets.clear();
    }
    if (!packets.empty()) videoFrames_.push_back(std::move(packets));
}

void StubRtspServer::loadVideo() {
    if (!options_.rtpFile.empty()) {
        loadRtp();
        return;
    }
    if (options_.h264File.empty()) return;
    std::ifstream in(options_.h264File, std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::size_t, std::size_t>> nals;  // offset, size
    std::size_t i = 0, start = SIZE_MAX;
    while (i + 3 <= data.size()) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (start != SIZE_MAX) {
                std::size_t end = i;
                while (end > start && data[end - 1] == 0) --end;
                nals.emplace_back(start, end - start);
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start != SIZE_MAX && start < data.size()) nals.emplace_back(start, data.size() - start);

    // Access units: one starts at a delimiter or at a slice whose first macroblock is 0 (a
    // first_mb_in_slice of 0 is the single bit 1), together with the units since the last
    // slice of the one before.
    std::vector<std::size_t> starts;  // index in nals of each access unit's first unit
    std::size_t lead = 0;             // units after the last slice
    bool hasSlice = false;
    for (std::size_t k = 0; k < nals.size(); ++k) {
        const std::uint8_t* nal = data.data() + nals[k].first;
        const std::size_t size = nals[k].second;
        if (size == 0) {
            if (hasSlice) ++lead;
            continue;
        }
        const int type = nal[0] & 0x1f;
        if ((type == 7 || type == 8) && parameterSets_.size() < 2)
            parameterSets_.push_back(base64(std::string(nal, nal + size)));
        const bool slice = type >= 1 && type <= 5;
        const bool firstSlice = slice && size > 1 && (nal[1] & 0x80) != 0;
        if (starts.empty()) starts.push_back(k);
        if (hasSlice && (type == 9 || firstSlice)) {
            starts.push_back(k - lead);
            hasSlice = false;
        }
        if (slice) hasSlice = true;
        lead = slice || !hasSlice ? 0 : lead + 1;
    }
    if (!hasSlice && !starts.empty()) starts.pop_back();  // no picture at the end
    starts.push_back(nals.size() - lead);

    const std::size_t mtu = options_.mtu;
    std::uint32_t frameIndex = 0;
    for (std::size_t au = 0; au + 1 < starts.size(); ++au) {
        std::vector<std::vector<std::uint8_t>> pending;
        for (std::size_t k = starts[au]; k < starts[au + 1]; ++k)
            if (nals[k].second > 0)
                pending.emplace_back(data.begin() + long(nals[k].first), data.begin() + long(nals[k].first + nals[k].second));
        std::vector<Packet> packets;
        const std::uint32_t ts = frameIndex * (90000u / static_cast<std::uint32_t>(options_.fps));
        std::size_t k = 0;
        while (k < pending.size()) {
            // Aggregate a run of small units that fit together.
            std::size_t total = 1, count = 0;
            while (k + count < pending.size() && total + 2 + pending[k + count].size() <= mtu) {
                total += 2 + pending[k + count].size();
                ++count;
            }
            if (count >= 2) {
                Packet p;
                p.payload.push_back(static_cast<std::uint8_t>((pending[k][0] & 0x60) | 24));
                for (std::size_t j = 0; j < count; ++j) {
                    const auto& u = pending[k + j];
                    p.payload.push_back(static_cast<std::uint8_t>(u.size() >> 8));
                    p.payload.push_back(static_cast<std::uint8_t>(u.size()));
                    p.payload.insert(p.payload.end(), u.begin(), u.end());
                }
                p.timestamp = ts;
                packets.push_back(std::move(p));
                k += count;
                continue;
            }
            const auto& u = pending[k];
            if (u.size() <= mtu) {
                Packet p;
                p.payload = u;
                p.timestamp = ts;
                packets.push_back(std::move(p));
            } else {
                std::size_t pos = 1;
                while (pos < u.size()) {
                    const std::size_t chunk = std::min(mtu - 2, u.size() - pos);
                    Packet p;
                    p.payload.push_back(static_cast<std::uint8_t>((u[0] & 0xe0) | 28));
                    std::uint8_t fu = u[0] & 0x1f;
                    if (pos == 1) fu |= 0x80;
                    if (pos + chunk == u.size()) fu |= 0x40;
                    p.payload.push_back(fu);
                    p.payload.insert(p.payload.end(), u.begin() + static_cast<long>(pos),
                                     u.begin() + static_cast<long>(pos + chunk));
                    p.timestamp = ts;
                    packets.push_back(std::move(p));
                    pos += chunk;
                }
            }
            ++k;
        }
        packets.back().marker = true;
        videoFrames_.push_back(std::move(packets));
        ++frameIndex;
    }
}

bool StubRtspServer::start(std::uint16_t port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 4) != 0) return false;
    socklen_t len = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
    return true;
}

void StubRtspServer::stop() {
    stopping_ = true;
    if (wakeFd_ >= 0) {
        const std::uint64_t v = 1;
        ssize_t ignored = ::write(wakeFd_, &v, sizeof v);
        (void)ignored;
    }
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
    listenFd_ = wakeFd_ = -1;
}

void StubRtspServer::run() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, 200) <= 0 || !(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        clientGone_ = false;
        serveClient(fd);
        ::close(fd);
        closeTracks();
        clientGone_ = true;
    }
}

void StubRtspServer::closeTracks() {
    for (Track* t : {&video_, &audio_}) {
        if (t->rtpFd >= 0) ::close(t->rtpFd);
        if (t->rtcpFd >= 0) ::close(t->rtcpFd);
        t->rtpFd = t->rtcpFd = -1;
        t->setUp = false;
    }
    playing_ = false;
    closeNow_ = false;
    frozen_ = false;
    inbuf_.clear();
}

void StubRtspServer::sendBytes(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            closeNow_ = true;
            return;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void StubRtspServer::sendStalePackets(int fd, Track& t) {
    if (options_.stalePacketsBeforePlay <= 0) return;
    // Filler data for video, an Opus frame of silence for audio: harmless if delivered.
    const std::vector<std::uint8_t> payload =
        &t == &video_ ? std::vector<std::uint8_t>{0x0c, 0xff, 0xff, 0xff} : std::vector<std::uint8_t>{0xf8, 0xff, 0xfe};
    const std::uint16_t next = t.sequence;
    t.sequence = static_cast<std::uint16_t>(next - options_.stalePacketsBeforePlay - 1);
    for (int i = 0; i < options_.stalePacketsBeforePlay; ++i) sendRtp(fd, t, payload, &t == &audio_, 0);
    t.sequence = next;
}

void StubRtspServer::sendRtp(int fd, Track& t, const std::vector<std::uint8_t>& payload, bool marker,
                             std::uint32_t ts) {
    std::vector<std::uint8_t> pkt(16 + payload.size());
    std::uint8_t* h = pkt.data() + 4;
    h[0] = 0x80;
    h[1] = static_cast<std::uint8_t>((marker ? 0x80 : 0) | t.payloadType);
    put16(h + 2, t.sequence++);
    put32(h + 4, ts);
    put32(h + 8, t.ssrc);
    std::memcpy(h + 12, payload.data(), payload.size());
    const std::size_t n = 12 + payload.size();
    if (t.tcp) {
        pkt[0] = '$';
        pkt[1] = static_cast<std::uint8_t>(t.channel);
        put16(pkt.data() + 2, static_cast<unsigned>(n));
        sendBytes(fd, pkt.data(), n + 4);
    } else {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(t.clientRtpPort);
        ::sendto(t.rtpFd, h, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
}

void StubRtspServer::sendBye(int fd, Track& t) {
    std::uint8_t pkt[12] = {'$', static_cast<std::uint8_t>(t.channel + 1), 0, 8, 0x81, 203, 0, 1};
    put32(pkt + 8, t.ssrc);
    if (t.tcp) {
        sendBytes(fd, pkt, sizeof pkt);
    } else {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(t.clientRtcpPort);
        ::sendto(t.rtcpFd, pkt + 4, 8, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
}

void StubRtspServer::sendVideoPacket(int fd, const Packet& p) {
    const std::uint64_t index = videoIndex_++;
    if (index == options_.closeAfter) {
        closeNow_ = true;
        return;
    }
    if (index == options_.byeAfter) {
        sendBye(fd, video_);
        return;
    }
    if (index == options_.freezeAfter) {
        frozen_ = true;
        return;
    }
    if (index == options_.changeSsrcAt) video_.ssrc ^= 0x0f0f0f0f;
    const bool dropIt = options_.drop.count(index) != 0;
    if (options_.swapWithNext.count(index)) {
        // Take its sequence number now, send it after the next packet.
        heldPacket_ = p;
        hasHeldPacket_ = true;
        std::uint16_t seq = video_.sequence++;
        heldPacket_.timestamp = p.timestamp;
        // Remember the number by encoding it in the held slot.
        heldSeq_ = seq;
        return;
    }
    if (dropIt) {
        ++video_.sequence;
    } else {
        sendRtp(fd, video_, p.payload, p.marker, p.timestamp);
        ++videoSent_;
        if (options_.duplicate.count(index)) {
            --video_.sequence;
            sendRtp(fd, video_, p.payload, p.marker, p.timestamp);
            ++videoSent_;
        }
    }
    if (hasHeldPacket_ && !options_.swapWithNext.count(index)) {
        const std::uint16_t saved = video_.sequence;
        video_.sequence = heldSeq_;
        sendRtp(fd, video_, heldPacket_.payload, heldPacket_.marker, heldPacket_.timestamp);
        video_.sequence = saved;
        ++videoSent_;
        hasHeldPacket_ = false;
    }
}

void StubRtspServer::readRtcp(int fd) {
    std::uint8_t buf[2048];
    while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0)
        if (buf[1] == 201) ++receiverReports_;
}

void StubRtspServer::serveClient(int fd) {
    int err = 0;
    OpusEncoder* enc = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &err);
    std::vector<std::int16_t> pcm(960 * 2);
    std::vector<std::uint8_t> opusOut(1500);
    std::uint64_t audioFrame = 0;
    std::size_t frameIndex = 0;
    int loop = 0;
    std::int64_t nextVideo = 0, nextAudio = 0;
    const std::int64_t frameUs = 1000000 / options_.fps;
    bool wasPlaying = false;

    while (!stopping_ && !closeNow_) {
        const std::int64_t now = nowUs();
        if (playing_ && !wasPlaying) {
            nextVideo = nextAudio = now;
            wasPlaying = true;
        }
        if (!playing_) wasPlaying = false;
        if (playing_ && !frozen_) {
            while (video_.setUp && !videoFrames_.empty() && now >= nextVideo && loop < options_.loops && !closeNow_ &&
                   !frozen_) {
                const std::uint32_t base = static_cast<std::uint32_t>(loop * videoFrames_.size()) *
                                           (90000u / static_cast<std::uint32_t>(options_.fps));
                for (const Packet& p : videoFrames_[frameIndex]) {
                    Packet q = p;
                    q.timestamp += base;
                    sendVideoPacket(fd, q);
                    if (closeNow_ || frozen_) break;
                }
                nextVideo += frameUs;
                if (++frameIndex == videoFrames_.size()) {
                    frameIndex = 0;
                    ++loop;
                }
            }
            while (audio_.setUp && enc && now >= nextAudio && !closeNow_ && !frozen_) {
                for (int s = 0; s < 960; ++s) {
                    const double t = static_cast<double>(audioFrame * 960 + static_cast<std::uint64_t>(s)) / 48000.0;
                    const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
                    pcm[2 * s] = pcm[2 * s + 1] = v;
                }
                const int n = opus_encode(enc, pcm.data(), 960, opusOut.data(), static_cast<opus_int32>(opusOut.size()));
                if (n > 0) {
                    sendRtp(fd, audio_, std::vector<std::uint8_t>(opusOut.begin(), opusOut.begin() + n), true,
                            static_cast<std::uint32_t>(audioFrame * 960));
                    ++audioSent_;
                }
                ++audioFrame;
                nextAudio += 20000;
            }
        }
        pollfd fds[4];
        nfds_t n = 0;
        fds[n++] = {fd, POLLIN, 0};
        fds[n++] = {wakeFd_, POLLIN, 0};
        if (video_.rtcpFd >= 0) fds[n++] = {video_.rtcpFd, POLLIN, 0};
        if (audio_.rtcpFd >= 0) fds[n++] = {audio_.rtcpFd, POLLIN, 0};
        std::int64_t wait = 50;
        if (playing_ && !frozen_) {
            const std::int64_t due = std::min(video_.setUp ? nextVideo : INT64_MAX, audio_.setUp ? nextAudio : INT64_MAX);
            wait = std::max<std::int64_t>(0, std::min<std::int64_t>(50, (due - nowUs()) / 1000));
        }
        if (::poll(fds, n, static_cast<int>(wait)) <= 0) continue;
        for (nfds_t i = 2; i < n; ++i)
            if (fds[i].revents & POLLIN) readRtcp(fds[i].fd);
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buf[4096];
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) break;
        inbuf_.append(buf, static_cast<std::size_t>(got));
        for (;;) {
            if (!inbuf_.empty() && inbuf_[0] == '$') {  // interleaved RTCP from the client
                if (inbuf_.size() < 4) break;
                const std::size_t len = (static_cast<unsigned char>(inbuf_[2]) << 8) | static_cast<unsigned char>(inbuf_[3]);
                if (inbuf_.size() < 4 + len) break;
                if (len > 1 && static_cast<unsigned char>(inbuf_[5]) == 201) ++receiverReports_;
                inbuf_.erase(0, 4 + len);
                continue;
            }
            const std::size_t end = inbuf_.find("\r\n\r\n");
            if (end == std::string::npos) break;
            const std::string text = inbuf_.substr(0, end + 4);
            inbuf_.erase(0, end + 4);
            if (!handleRequest(fd, text)) {
                closeNow_ = true;
                break;
            }
        }
    }
    if (enc) opus_encoder_destroy(enc);
}

bool StubRtspServer::authorized(const StubRtspRequest& r, std::string& challenge) {
    using Auth = StubRtspServerOptions::Auth;
    if (options_.auth == Auth::None) return true;
    const std::string given = r.header("Authorization");
    if (options_.auth == Auth::Basic) {
        challenge = "Basic realm=\"" + options_.realm + "\"";
        return given == "Basic " + base64(options_.user + ":" + options_.password);
    }
    challenge = "Digest realm=\"" + options_.realm + "\", nonce=\"" + nonce_ + "\"";
    if (options_.digestQop) challenge += ", qop=\"auth\"";
    if (given.compare(0, 7, "Digest ") != 0) return false;
    const std::string ha1 = md5(param(given, "username") + ":" + options_.realm + ":" + options_.password);
    const std::string ha2 = md5(r.method + ":" + param(given, "uri"));
    std::string expected;
    if (options_.digestQop)
        expected = md5(ha1 + ":" + nonce_ + ":" + param(given, "nc") + ":" + param(given, "cnonce") + ":auth:" + ha2);
    else
        expected = md5(ha1 + ":" + nonce_ + ":" + ha2);
    const bool ok = param(given, "username") == options_.user && param(given, "nonce") == nonce_ &&
                    param(given, "response") == expected;
    if (ok && options_.staleOnce && staleAnswered_ == 0) {
        ++staleAnswered_;
        nonce_ = md5(nonce_).substr(0, 16);
        challenge = "Digest realm=\"" + options_.realm + "\", nonce=\"" + nonce_ + "\", stale=true";
        if (options_.digestQop) challenge += ", qop=\"auth\"";
        return false;
    }
    return ok;
}

bool StubRtspServer::handleRequest(int fd, const std::string& text) {
    StubRtspRequest r;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    {
        std::istringstream first(line);
        first >> r.method >> r.uri;
    }
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        const std::size_t c = line.find(':');
        if (c == std::string::npos) continue;
        std::string v = line.substr(c + 1);
        while (!v.empty() && v[0] == ' ') v.erase(0, 1);
        r.headers.emplace_back(line.substr(0, c), v);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(r);
    }
    const std::string cseq = r.header("CSeq");
    auto reply = [&](const std::string& status, const std::string& headers, const std::string& body = "") {
        std::string out = "RTSP/1.0 " + status + "\r\nCSeq: " + cseq + "\r\n" + headers;
        if (!body.empty()) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        out += "\r\n" + body;
        sendBytes(fd, out.data(), out.size());
    };
    std::string challenge;
    if (!authorized(r, challenge)) {
        reply("401 Unauthorized", "WWW-Authenticate: " + challenge + "\r\n");
        return true;
    }
    const std::string base = "rtsp://127.0.0.1:" + std::to_string(port_) + options_.path + "/";
    const std::string sessionHeader = "Session: " + session_ + ";timeout=" + std::to_string(options_.sessionTimeoutS) + "\r\n";
    if (r.method == "OPTIONS") {
        if (!r.header("Session").empty() && !options_.answerKeepalive) return true;
        reply("200 OK", "Public: OPTIONS, DESCRIBE, SETUP, PLAY, TEARDOWN, GET_PARAMETER\r\n");
    } else if (r.method == "GET_PARAMETER") {
        if (!options_.answerKeepalive) return true;
        reply("200 OK", sessionHeader);
    } else if (r.method == "DESCRIBE") {
        std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=Nimbrosta stand-in\r\nt=0 0\r\na=control:*\r\n";
        if (!videoFrames_.empty()) {
            sdp += "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=fmtp:96 packetization-mode=1";
            if (parameterSets_.size() == 2) sdp += ";sprop-parameter-sets=" + parameterSets_[0] + "," + parameterSets_[1];
            sdp += "\r\na=control:track1\r\n";
        }
        if (options_.audio)
            sdp += "m=audio 0 RTP/AVP 97\r\na=rtpmap:97 " + options_.audioCodecName +
                   "/48000/2\r\na=fmtp:97 sprop-stereo=1\r\na=control:track2\r\n";
        reply("200 OK", "Content-Type: application/sdp\r\nContent-Base: " + base + "\r\n", sdp);
    } else if (r.method == "SETUP") {
        Track* t = nullptr;
        if (r.uri == base + "track1") t = &video_;
        if (r.uri == base + "track2") t = &audio_;
        if (!t) {
            reply("404 Not Found", "");
            return true;
        }
        const std::string transport = r.header("Transport");
        if (transport.find("RTP/AVP/TCP") != std::string::npos) {
            int a = 0, b = 1;
            std::sscanf(param(transport, "interleaved").c_str(), "%d-%d", &a, &b);
            t->tcp = true;
            t->channel = a;
            t->setUp = true;
            reply("200 OK", sessionHeader + "Transport: RTP/AVP/TCP;unicast;interleaved=" + std::to_string(a) + "-" +
                                std::to_string(b) + ";ssrc=" + std::to_string(t->ssrc) + "\r\n");
        } else {
            if (options_.refuseUdp) {
                reply("461 Unsupported Transport", "");
                return true;
            }
            int a = 0, b = 0;
            std::sscanf(param(transport, "client_port").c_str(), "%d-%d", &a, &b);
            t->tcp = false;
            t->clientRtpPort = static_cast<std::uint16_t>(a);
            t->clientRtcpPort = static_cast<std::uint16_t>(b);
            std::uint16_t ports[2] = {0, 0};
            int* fds[2] = {&t->rtpFd, &t->rtcpFd};
            for (int i = 0; i < 2; ++i) {
                *fds[i] = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                sockaddr_in s{};
                s.sin_family = AF_INET;
                s.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                ::bind(*fds[i], reinterpret_cast<sockaddr*>(&s), sizeof s);
                socklen_t len = sizeof s;
                getsockname(*fds[i], reinterpret_cast<sockaddr*>(&s), &len);
                ports[i] = ntohs(s.sin_port);
            }
            t->setUp = true;
            reply("200 OK", sessionHeader + "Transport: RTP/AVP;unicast;client_port=" + std::to_string(a) + "-" +
                                std::to_string(b) + ";server_port=" + std::to_string(ports[0]) + "-" +
                                std::to_string(ports[1]) + "\r\n");
        }
    } else if (r.method == "PLAY") {
        std::string info;
        for (Track* t : {&video_, &audio_}) {
            if (!t->setUp) continue;
            sendStalePackets(fd, *t);
            info += std::string(info.empty() ? "" : ",") + "url=" + base + (t == &video_ ? "track1" : "track2") +
                    ";seq=" + std::to_string(t->sequence);
        }
        reply("200 OK", sessionHeader + "Range: npt=0.000-\r\n" + (info.empty() ? "" : "RTP-Info: " + info + "\r\n"));
        playing_ = true;
    } else if (r.method == "TEARDOWN") {
        reply("200 OK", "");
        playing_ = false;
        return false;
    } else {
        reply("501 Not Implemented", "");
    }
    return true;
}

}  // namespace nimbrosta
