// nimbrosta-stub-streamer: the stand-in streamer for the local demo.
//
//   nimbrosta-stub-streamer [--url :8554/stream] [--user u] [--password p]
//                           [--auth admin|view|fail]
//
// Listens on 127.0.0.1 (port chosen by the OS, printed on the first line), authorizes any
// token, defines the usual video variables, creates the stream on request with the given
// RTSP postfix and credentials, and answers pings. Every request received is printed.
// Runs until interrupted.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "stubstreamer/StubStreamer.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }
}  // namespace

int main(int argc, char** argv) {
    StubSessionScript script;
    script.urlPortAndPostfix = ":8554/stream";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--url") {
            script.urlPortAndPostfix = value;
        } else if (key == "--user") {
            script.user = value;
        } else if (key == "--password") {
            script.password = value;
        } else if (key == "--auth") {
            script.authorizationReply = value == "view" ? 11 : value == "fail" ? 12 : 10;
        } else {
            std::fprintf(stderr, "unknown option %s\n", key.c_str());
            return 2;
        }
    }
    script.definitions = {
        StubStreamer::int32Definition("Video.Bitrate", 10000, 1, script.serverDBId),
        StubStreamer::int32Definition("Video.Framerate", 60, 1, script.serverDBId),
        StubStreamer::int32Definition("Video.QP", 0, 1, script.serverDBId),
        StubStreamer::int32Definition("System.MouseStatus", 1, 1, script.serverDBId),
    };

    StubStreamer stub;
    stub.scriptStandardSession(script);
    std::printf("nimbrosta-stub-streamer listening on 127.0.0.1:%u\n", unsigned(stub.port()));
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::size_t printed = 0;
    while (!stopRequested) {
        stub.waitForFrames(printed + 1, std::chrono::milliseconds(200));
        const auto frames = stub.frames();
        for (; printed < frames.size(); ++printed) {
            const auto& f = frames[printed];
            std::printf("[%d] seq %u len %u type %d%s\n", f.connection, unsigned(f.sequence),
                        unsigned(f.length), f.type(), f.parsed ? "" : " (unparsable)");
        }
        std::fflush(stdout);
    }
    return 0;
}
