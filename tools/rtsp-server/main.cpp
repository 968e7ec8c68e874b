// nimbrosta-rtsp-server: the stand-in RTSP server on the command line.
//
//   nimbrosta-rtsp-server [--port N] [--h264 FILE] [--no-audio] [--auth none|basic|digest]
//                         [--user U] [--password P] [--tcp-only] [--drop i,j,...] [--seconds N]
//
// Prints the stream's address on the first line and serves until killed (or N seconds).

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include "StubRtspServer.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }
}  // namespace

int main(int argc, char** argv) {
    nimbrosta::StubRtspServerOptions options;
    int port = 0;
    int seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--port" && hasValue) port = std::atoi(argv[++i]);
        else if (a == "--h264" && hasValue) options.h264File = argv[++i];
        else if (a == "--no-audio") options.audio = false;
        else if (a == "--tcp-only") options.refuseUdp = true;
        else if (a == "--user" && hasValue) options.user = argv[++i];
        else if (a == "--password" && hasValue) options.password = argv[++i];
        else if (a == "--seconds" && hasValue) seconds = std::atoi(argv[++i]);
        else if (a == "--auth" && hasValue) {
            const std::string v = argv[++i];
            options.auth = v == "basic"    ? nimbrosta::StubRtspServerOptions::Auth::Basic
                           : v == "digest" ? nimbrosta::StubRtspServerOptions::Auth::Digest
                                           : nimbrosta::StubRtspServerOptions::Auth::None;
        } else if (a == "--drop" && hasValue) {
            std::istringstream in(argv[++i]);
            std::string item;
            while (std::getline(in, item, ',')) options.drop.insert(std::strtoull(item.c_str(), nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--h264 FILE] [--no-audio] [--auth none|basic|digest] "
                                 "[--user U] [--password P] [--tcp-only] [--drop i,j] [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    nimbrosta::StubRtspServer server(options);
    if (!server.start(static_cast<std::uint16_t>(port))) {
        std::fprintf(stderr, "cannot listen on port %d\n", port);
        return 1;
    }
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    for (int waited = 0; !gStop && (seconds == 0 || waited < seconds * 10); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    return 0;
}
