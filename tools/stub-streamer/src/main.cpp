// nimbrosta-stub-streamer: the stand-in streamer for the local demo.
//
// Listens on 127.0.0.1 (port chosen by the OS, printed on the first line), authorizes any
// token, defines the usual video variables, creates the stream on request with the given
// RTSP postfix and credentials, and answers pings. Every request received is printed.
// Runs until interrupted.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "ToolCommandLine.h"
#include "stubstreamer/StubStreamer.h"

namespace po = boost::program_options;

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

// The fields of a keyboard, mouse or gamepad request on one line; empty for other requests.
std::string inputFields(const InputClient::Request& r) {
    using InputClient::Request;
    switch (r.type()) {
        case Request::KEYBOARD_ACTION_V2: return r.keyactionv2().ShortDebugString();
        case Request::MOUSE_ACTION: return r.mouseaction().ShortDebugString();
        case Request::JOYSTICK_ACTION: return r.joystickaction().ShortDebugString();
        case Request::JOYSTICK_STATE_V2: return r.joystickstatev2().ShortDebugString();
        default: return "";
    }
}
}  // namespace

int main(int argc, char** argv) {
    StubSessionScript script;
    ToolCommandLine cl("nimbrosta-stub-streamer", "[options]",
                       "The streamer's side of the client's control channel on 127.0.0.1, for the\n"
                       "local demo. Prints \"nimbrosta-stub-streamer listening on 127.0.0.1:<port>\"\n"
                       "(port chosen by the system), authorizes any token, defines a few video\n"
                       "variables, announces the stream on request with the given RTSP address and\n"
                       "credentials, answers pings and prints one line per request it receives:\n"
                       "\"[<connection>] seq <n> len <bytes> type <number> <name>\", for keyboard,\n"
                       "mouse and gamepad input followed by the request's fields. Runs until\n"
                       "interrupted.");
    cl.options().add_options()
        ("url", po::value<std::string>()->default_value(":8554/stream"),
         "port and path of the stream's RTSP address (the client plays rtsp://<streamer host><this>)")
        ("user", po::value<std::string>()->default_value(script.user), "RTSP user name announced with the stream")
        ("password", po::value<std::string>()->default_value(script.password), "RTSP password announced with the stream")
        ("auth", po::value<std::string>()->default_value("admin"),
         "the token's authorization: admin (full control), view (view only) or fail (refused)");
    if (const int status = cl.parse(argc, argv); status >= 0) return status;
    const std::string auth = cl.values()["auth"].as<std::string>();
    if (auth == "admin") script.authorizationReply = 10;
    else if (auth == "view") script.authorizationReply = 11;
    else if (auth == "fail") script.authorizationReply = 12;
    else return cl.badValue("auth", auth, "admin, view or fail");
    script.urlPortAndPostfix = cl.values()["url"].as<std::string>();
    script.user = cl.values()["user"].as<std::string>();
    script.password = cl.values()["password"].as<std::string>();
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
            const std::string name = f.parsed ? InputClient::Request::RequestType_Name(f.request.type()) : "";
            // Input shows what the machine would do with it; other requests may carry the
            // session's secrets and show their type alone.
            const std::string fields = f.parsed ? inputFields(f.request) : "";
            std::printf("[%d] seq %u len %u type %d%s%s%s%s%s\n", f.connection, unsigned(f.sequence),
                        unsigned(f.length), f.type(), name.empty() ? "" : " ", name.c_str(),
                        f.parsed ? "" : " (unparsable)", fields.empty() ? "" : ": ", fields.c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}
