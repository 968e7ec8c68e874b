// rtspclient-count [--tcp] URL SECONDS: plays a stream through librtspclient into sinks
// that only assemble frames (no decoding), for CPU comparisons with other RTSP clients.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ToolCommandLine.h"
#include "rtspclient/VideoRTSPClient.h"

namespace {

class AssemblingSink : public IRTSPSink {
public:
    explicit AssemblingSink(int prefix) : prefix_(prefix) { frame_.reserve(4 << 20); }
    void onLosses(const RTSPPacketInfo* r) override { lost += r ? r->lostCount : 0; }
    void onPacket(RTSPPacketInfo* p) override {
        bytes += p->size;
        if (prefix_ == 4) std::memcpy(p->data, "\0\0\0\1", 4);
        frame_.insert(frame_.end(), p->data, p->data + p->size);
        if (p->marker || prefix_ == 0) {
            ++frames;
            frame_.clear();
        }
    }
    void detach(int) override {}
    int prefixSize() override { return prefix_; }
    std::uint64_t bytes = 0, frames = 0, lost = 0;

private:
    int prefix_;
    std::vector<std::uint8_t> frame_;
};

struct Owner : IVideoRTSPClient {
    IRTSPSink* createSink(const char* codec, void*) override {
        sinks.push_back(new AssemblingSink(std::strcmp(codec, "H264") == 0 ? 4 : 0));
        return sinks.back();
    }
    void onStop() override {}
    std::vector<AssemblingSink*> sinks;
};

}  // namespace

int main(int argc, char** argv) {
    namespace po = boost::program_options;
    ToolCommandLine cl("rtspclient-count", "[--tcp] URL SECONDS",
                       "Plays an RTSP stream through librtspclient for SECONDS into sinks that only\n"
                       "assemble frames (no decoding), then prints one line per sink: frames, bytes\n"
                       "and packets lost. For CPU comparisons with other RTSP clients.");
    cl.options().add_options()
        ("tcp", "ask for RTP over the RTSP connection (interleaved TCP) instead of UDP")
        ("url", po::value<std::string>(), "the stream's rtsp:// address (first positional argument)")
        ("seconds", po::value<double>(), "how long to play (second positional argument)");
    cl.positional("url", 1);
    cl.positional("seconds", 1);
    if (const int status = cl.parse(argc, argv); status >= 0) return status;
    if (!cl.has("url") || !cl.has("seconds")) return cl.fail("an address and a duration are needed");
    if (!cl.inRange("seconds", 0.0, 1e6)) return 2;
    const double seconds = cl.values()["seconds"].as<double>();
    const std::string url = cl.values()["url"].as<std::string>();
    Owner owner;
    void* h = VideoRTSPClient::createNew(&owner, url.c_str(), "", "", "rtspclient-count", cl.has("tcp"));
    if (!h) return 1;
    std::thread t([h] { VideoRTSPClient::mainLoop(h); });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    VideoRTSPClient::notifyStop(h);
    t.join();
    for (auto* s : owner.sinks)
        std::printf("sink frames=%llu bytes=%llu lost=%llu\n", static_cast<unsigned long long>(s->frames),
                    static_cast<unsigned long long>(s->bytes), static_cast<unsigned long long>(s->lost));
    VideoRTSPClient::deleteClient(h);
    return 0;
}
