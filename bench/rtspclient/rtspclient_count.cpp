// rtspclient-count URL SECONDS [--tcp]: plays a stream through librtspclient into sinks
// that only assemble frames (no decoding), for CPU comparisons with other RTSP clients.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s URL SECONDS [--tcp]\n", argv[0]);
        return 2;
    }
    Owner owner;
    void* h = VideoRTSPClient::createNew(&owner, argv[1], "", "", "rtspclient-count", argc > 3 && std::strcmp(argv[3], "--tcp") == 0);
    if (!h) return 1;
    std::thread t([h] { VideoRTSPClient::mainLoop(h); });
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[2])));
    VideoRTSPClient::notifyStop(h);
    t.join();
    for (auto* s : owner.sinks)
        std::printf("sink frames=%llu bytes=%llu lost=%llu\n", static_cast<unsigned long long>(s->frames),
                    static_cast<unsigned long long>(s->bytes), static_cast<unsigned long long>(s->lost));
    VideoRTSPClient::deleteClient(h);
    return 0;
}
