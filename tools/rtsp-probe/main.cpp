// nimbrosta-rtsp-probe: plays an RTSP stream through our client library into consumers
// that count (and decode the video with libavcodec, the audio with libopus).
//
// One line per second while it runs, then exactly one "total:" line. Exit status 0 when
// the stream played, 1 with a message on standard error when it could not, 2 on a bad
// command line.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}
#include <opus.h>

#include "rtspclient/VideoRTSPClient.h"
#include "rtspclient/VideoRTSPClientDiagnostics.h"
#include "ToolCommandLine.h"

namespace po = boost::program_options;

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
void onSignal(int) { gInterrupted = 1; }

struct Counters {
    std::atomic<std::uint64_t> packets{0}, units{0}, frames{0}, decoded{0}, decodeErrors{0}, audioBlocks{0},
        bytes{0}, lost{0};
};

bool gVerbose = false;

class VideoSink : public IRTSPSink {
public:
    explicit VideoSink(Counters& c) : c_(c) {
        codec_ = avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H264));
        if (codec_ && avcodec_open2(codec_, avcodec_find_decoder(AV_CODEC_ID_H264), nullptr) < 0) avcodec_free_context(&codec_);
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        accessUnit_.reserve(1 << 20);
    }
    ~VideoSink() override {
        if (codec_) {
            decode(nullptr, 0);  // drain what the decoder still holds
            avcodec_free_context(&codec_);
        }
        av_packet_free(&packet_);
        av_frame_free(&frame_);
    }
    void onLosses(const RTSPPacketInfo* report) override {
        if (!report) return;
        c_.lost += report->lostCount;
        if (gVerbose) {
            std::printf("video loss count=%u", report->lostCount);
            if (report->lostRanges)
                for (const auto& r : *report->lostRanges) std::printf(" {%u,%u}", r.packetSeq, r.packetLossCount);
            std::printf("\n");
        }
    }
    void onPacket(RTSPPacketInfo* p) override {
        if (!p || p->size <= 4) return;
        c_.units++;
        c_.packets += p->sequenceNumbers ? p->sequenceNumbers->size() : 0;
        c_.bytes += p->size - 4;
        if (gVerbose)
            std::printf("video unit type=%d size=%u seq=%d packets=%zu marker=%d\n", p->data[4] & 0x1f, p->size - 4,
                        p->sequenceNumbers && !p->sequenceNumbers->empty() ? p->sequenceNumbers->front() : -1,
                        p->sequenceNumbers ? p->sequenceNumbers->size() : 0, p->marker ? 1 : 0);
        static const std::uint8_t kStart[4] = {0, 0, 0, 1};
        std::memcpy(p->data, kStart, 4);
        accessUnit_.insert(accessUnit_.end(), p->data, p->data + p->size);
        if (p->marker) {
            c_.frames++;
            accessUnit_.insert(accessUnit_.end(), AV_INPUT_BUFFER_PADDING_SIZE, 0);
            decode(accessUnit_.data(), accessUnit_.size() - AV_INPUT_BUFFER_PADDING_SIZE);
            accessUnit_.clear();
        }
    }
    void detach(int) override {}
    int prefixSize() override { return 4; }

private:
    void decode(std::uint8_t* data, std::size_t size) {
        if (!codec_) return;
        int rc;
        if (data) {
            packet_->data = data;
            packet_->size = static_cast<int>(size);
            rc = avcodec_send_packet(codec_, packet_);
        } else {
            rc = avcodec_send_packet(codec_, nullptr);
        }
        if (rc < 0 && rc != AVERROR_EOF) c_.decodeErrors++;
        while (avcodec_receive_frame(codec_, frame_) == 0) c_.decoded++;
    }

    Counters& c_;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::vector<std::uint8_t> accessUnit_;
};

class AudioSink : public IRTSPSink {
public:
    AudioSink(Counters& c, bool opus) : c_(c) {
        int err = 0;
        if (opus) decoder_ = opus_decoder_create(48000, 2, &err);
        pcm_.resize(5760 * 2);
    }
    ~AudioSink() override {
        if (decoder_) opus_decoder_destroy(decoder_);
    }
    void onLosses(const RTSPPacketInfo* report) override {
        if (report) c_.lost += report->lostCount;
        if (gVerbose) std::printf("audio loss count=%u\n", report ? report->lostCount : 0);
    }
    void onPacket(RTSPPacketInfo* p) override {
        if (!p || p->size == 0) return;
        c_.units++;
        c_.packets += p->sequenceNumbers ? p->sequenceNumbers->size() : 0;
        c_.bytes += p->size;
        int n = 0;
        if (decoder_) {
            n = opus_decode(decoder_, p->data, static_cast<opus_int32>(p->size), pcm_.data(), 5760, 0);
            if (n > 0) c_.audioBlocks++;
        }
        if (gVerbose)
            std::printf("audio packet size=%u seq=%d samples=%d\n", p->size,
                        p->sequenceNumbers && !p->sequenceNumbers->empty() ? p->sequenceNumbers->front() : -1, n);
    }
    void detach(int) override {}
    int prefixSize() override { return 0; }

private:
    Counters& c_;
    OpusDecoder* decoder_ = nullptr;
    std::vector<std::int16_t> pcm_;
};

class Probe : public IVideoRTSPClient {
public:
    IRTSPSink* createSink(const char* codecName, void*) override {
        const std::string codec = codecName;
        std::printf("subsession %s\n", codecName);
        if (codec == "H264") return new VideoSink(counters);
        if (codec == "OPUS") return new AudioSink(counters, true);
        return nullptr;
    }
    void onStop() override { ended = true; }

    Counters counters;
    std::atomic<bool> ended{false};
};

void printCounters(const char* head, const Counters& c) {
    std::printf("%s packets=%llu units=%llu frames=%llu decoded=%llu audio_blocks=%llu bytes=%llu lost=%llu\n", head,
                static_cast<unsigned long long>(c.packets), static_cast<unsigned long long>(c.units),
                static_cast<unsigned long long>(c.frames), static_cast<unsigned long long>(c.decoded),
                static_cast<unsigned long long>(c.audioBlocks), static_cast<unsigned long long>(c.bytes),
                static_cast<unsigned long long>(c.lost));
}

}  // namespace

int main(int argc, char** argv) {
    ToolCommandLine cl("nimbrosta-rtsp-probe", "[options] URL",
                       "Plays an RTSP stream (URL: rtsp://...) through the client's RTSP library,\n"
                       "decodes its H.264 video with libavcodec and its Opus audio with libopus, and\n"
                       "counts what arrives: one line a second, then one \"total:\" line. Exit status\n"
                       "0 when media arrived, 1 with a message on standard error when none did.");
    cl.options().add_options()
        ("tcp", "ask for RTP over the RTSP connection (interleaved TCP) instead of UDP")
        ("user", po::value<std::string>()->default_value(""), "user name, when the server asks for one")
        ("password", po::value<std::string>()->default_value(""), "password, when the server asks for one")
        ("seconds", po::value<double>()->default_value(0), "stop after this long (0: when the stream ends)")
        ("frames", po::value<int>()->default_value(0), "stop once this many video frames have arrived")
        ("audio-blocks", po::value<int>()->default_value(0),
         "stop once this many audio blocks are decoded (with --frames: once both counts are reached; "
         "--seconds is then the deadline)")
        ("verbose", "one line per video unit, audio packet and loss")
        ("url", po::value<std::string>(), "the stream's rtsp:// address (also the one positional argument)");
    cl.positional("url", 1);
    if (const int status = cl.parse(argc, argv); status >= 0) return status;
    const bool tcp = cl.has("tcp");
    gVerbose = cl.has("verbose");
    const std::string user = cl.values()["user"].as<std::string>();
    const std::string password = cl.values()["password"].as<std::string>();
    if (!cl.inRange("seconds", 0.0, 1e9)) return 2;
    const double seconds = cl.values()["seconds"].as<double>();
    if (!cl.inRange("frames", 0, 1000000000) || !cl.inRange("audio-blocks", 0, 1000000000)) return 2;
    const auto wantedFrames = static_cast<std::uint64_t>(cl.values()["frames"].as<int>());
    const auto wantedAudioBlocks = static_cast<std::uint64_t>(cl.values()["audio-blocks"].as<int>());
    const bool untilCounts = wantedFrames > 0 || wantedAudioBlocks > 0;
    if (!cl.has("url")) return cl.fail("the stream's address is missing");
    const std::string url = cl.values()["url"].as<std::string>();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    Probe probe;
    void* handle = VideoRTSPClient::createNew(&probe, url.c_str(), user.c_str(), password.c_str(), "nimbrosta-rtsp-probe", tcp);
    if (!handle) {
        std::fprintf(stderr, "error: not a usable rtsp:// address: %s\n", url.c_str());
        return 1;
    }
    std::atomic<bool> returned{false};
    std::thread loop([&] {
        VideoRTSPClient::mainLoop(handle);
        returned = true;
    });
    const auto start = std::chrono::steady_clock::now();
    auto nextLine = start + std::chrono::seconds(1);
    int tick = 0;
    while (!returned && !gInterrupted) {
        const auto now = std::chrono::steady_clock::now();
        if (seconds > 0 && now - start >= std::chrono::duration<double>(seconds)) break;
        if (untilCounts && probe.counters.frames >= wantedFrames && probe.counters.audioBlocks >= wantedAudioBlocks)
            break;
        if (now >= nextLine) {
            char head[32];
            std::snprintf(head, sizeof head, "t=%d", ++tick);
            printCounters(head, probe.counters);
            nextLine += std::chrono::seconds(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    VideoRTSPClient::notifyStop(handle);
    loop.join();
    char error[512];
    const bool failed = VideoRTSPClient::lastError(handle, error, sizeof error);
    VideoRTSPClient::deleteClient(handle);  // the video decoder drains here
    printCounters("total:", probe.counters);
    if (failed && probe.counters.units == 0) {
        std::fprintf(stderr, "error: %s\n", error);
        return 1;
    }
    if (probe.counters.units == 0) {
        std::fprintf(stderr, "error: no media received\n");
        return 1;
    }
    if (failed) std::fprintf(stderr, "stream ended: %s\n", error);
    return 0;
}
