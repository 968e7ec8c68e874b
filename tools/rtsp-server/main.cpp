// nimbrosta-rtsp-server: the stand-in RTSP server on the command line.
//
// Prints the stream's address on the first line and serves until killed (or N seconds).

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include "StubRtspServer.h"
#include "ToolCommandLine.h"

namespace po = boost::program_options;

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

// "3,17,40" into indices; false when an item is not a number.
bool readIndexList(const std::string& text, std::set<std::uint64_t>& out) {
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos) return false;
        out.insert(std::strtoull(item.c_str(), nullptr, 10));
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    nimbrosta::StubRtspServerOptions options;
    ToolCommandLine cl("nimbrosta-rtsp-server", "[options]",
                       "Serves one RTSP stream on 127.0.0.1: H.264 video read from an Annex B file\n"
                       "and an Opus tone, over UDP or interleaved TCP, with Basic or Digest\n"
                       "authentication when asked. Prints the stream's address on its first line and\n"
                       "serves until it is interrupted or --seconds have passed.");
    cl.options().add_options()
        ("port", po::value<int>()->default_value(0), "port to listen on (0: chosen by the system)")
        ("h264", po::value<std::string>(), "Annex B H.264 file to serve as video (none: no video)")
        ("no-audio", "serve no audio")
        ("auth", po::value<std::string>()->default_value("none"), "authentication: none, basic or digest")
        ("user", po::value<std::string>()->default_value(options.user), "user name the authentication asks for")
        ("password", po::value<std::string>()->default_value(options.password), "password the authentication asks for")
        ("tcp-only", "refuse UDP transports (461), so clients fall back to TCP")
        ("drop", po::value<std::string>(), "video packets to drop, by index in sending order from 0 (3,17,40)")
        ("seconds", po::value<int>()->default_value(0), "serve this long, then end (0: until interrupted)");
    if (const int status = cl.parse(argc, argv); status >= 0) return status;
    if (!cl.inRange("port", 0, 65535) || !cl.inRange("seconds", 0, 100000000)) return 2;

    const std::string auth = cl.values()["auth"].as<std::string>();
    if (auth == "none") options.auth = nimbrosta::StubRtspServerOptions::Auth::None;
    else if (auth == "basic") options.auth = nimbrosta::StubRtspServerOptions::Auth::Basic;
    else if (auth == "digest") options.auth = nimbrosta::StubRtspServerOptions::Auth::Digest;
    else return cl.badValue("auth", auth, "none, basic or digest");
    if (cl.has("drop") && !readIndexList(cl.values()["drop"].as<std::string>(), options.drop))
        return cl.badValue("drop", cl.values()["drop"].as<std::string>(), "packet indices separated by commas");
    options.audio = !cl.has("no-audio");
    options.refuseUdp = cl.has("tcp-only");
    options.user = cl.values()["user"].as<std::string>();
    options.password = cl.values()["password"].as<std::string>();
    const int port = cl.values()["port"].as<int>();
    const int seconds = cl.values()["seconds"].as<int>();

    if (cl.has("h264")) {
        options.h264File = cl.values()["h264"].as<std::string>();
        // A first read tells a missing or unreadable file and a folder from a file.
        std::FILE* file = std::fopen(options.h264File.c_str(), "rb");
        const bool readable = file && (std::fgetc(file) != EOF || !std::ferror(file));
        const int error = errno;
        if (file) std::fclose(file);
        if (!readable) {
            std::fprintf(stderr, "%s: cannot read %s: %s\n", cl.program().c_str(), options.h264File.c_str(),
                         std::strerror(error));
            return 1;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    nimbrosta::StubRtspServer server(options);
    if (!options.h264File.empty() && server.videoFrameCount() == 0) {
        std::fprintf(stderr, "%s: no H.264 frames in %s\n", cl.program().c_str(), options.h264File.c_str());
        return 1;
    }
    if (!server.start(static_cast<std::uint16_t>(port))) {
        std::fprintf(stderr, "%s: cannot listen on 127.0.0.1:%d: %s\n", cl.program().c_str(), port, std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    for (int waited = 0; !gStop && (seconds == 0 || waited < seconds * 10); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    return 0;
}
