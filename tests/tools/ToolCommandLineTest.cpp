// The tools as programs: --help on standard output with status 0, a bad command line as
// one error line on standard error with status 2, start-up failures as a clear line, and
// the examples their help texts give, run as written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../rtspclient/PeerProcess.h"
#include "ProgramRun.h"
#include "TestSupport.h"

namespace {

const std::string kBin = NIMBROSTA_BIN_DIR;

struct Outcome {
    int status = -1;  // exit status; -1 when it did not end within 10 s
    std::string out, err;
};

// Runs a program of build/bin with args to its end.
Outcome runTool(const std::string& program, const std::vector<std::string>& args) {
    testsupport::ProgramRun run;
    Outcome o;
    if (!run.start(kBin + "/" + program, args)) return o;
    o.status = run.wait(10000);
    o.out = run.out();
    o.err = run.err();
    return o;
}

std::vector<std::string> programs() {
    std::vector<std::string> p = {"nimbrosta-rtsp-probe", "nimbrosta-rtsp-server", "nimbrosta-stub-streamer",
                                  "nimbrosta-stub-service", "fuzz_frame_reader"};
    if (NIMBROSTA_BENCH_BUILT) {
        p.push_back("nimbrosta-bench-smoke");
        p.push_back("rtspclient-count");
    }
    return p;
}

}  // namespace

TEST(ToolCommandLine, HelpGoesToStandardOutputUnderTheProgramsName) {
    for (const std::string& program : programs()) {
        const Outcome o = runTool(program, {"--help"});
        EXPECT_EQ(o.status, 0) << program;
        EXPECT_EQ(o.out.rfind("usage: " + program + " ", 0), 0u) << program << ":\n" << o.out;
        EXPECT_EQ(o.err, "") << program;
    }
}

TEST(ToolCommandLine, ABadCommandLineIsOneErrorLineAndStatusTwo) {
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string err;
    };
    testsupport::TempDir certs;
    std::vector<Case> cases;
    for (const std::string& program : programs()) {
        if (program == "nimbrosta-stub-service") {
            cases.push_back({program, {"--bogus", "--cert-dir", certs.path()},
                             program + ": unrecognized arguments: --bogus (see --help)\n"});
            continue;
        }
        const std::string bogus = program == "fuzz_frame_reader" ? "-bogus" : "--bogus";
        cases.push_back({program, {bogus}, program + ": unrecognised option '" + bogus + "' (see --help)\n"});
    }
    const std::vector<Case> more = {
        // Missing values.
        {"nimbrosta-rtsp-server", {"--port"},
         "nimbrosta-rtsp-server: the required argument for option '--port' is missing (see --help)\n"},
        {"nimbrosta-stub-streamer", {"--url"},
         "nimbrosta-stub-streamer: the required argument for option '--url' is missing (see --help)\n"},
        {"nimbrosta-rtsp-probe", {"rtsp://127.0.0.1:1/x", "--user"},
         "nimbrosta-rtsp-probe: the required argument for option '--user' is missing (see --help)\n"},
        {"nimbrosta-rtsp-probe", {"--seconds", "1"}, "nimbrosta-rtsp-probe: the stream's address is missing (see --help)\n"},
        {"nimbrosta-stub-service", {"--cert-dir"},
         "nimbrosta-stub-service: argument --cert-dir: expected one argument (see --help)\n"},
        {"nimbrosta-stub-service", {"--port", "0"},
         "nimbrosta-stub-service: the following arguments are required: --cert-dir (see --help)\n"},
        // Bad values.
        {"nimbrosta-rtsp-server", {"--auth", "nonsense"},
         "nimbrosta-rtsp-server: the argument ('nonsense') for option '--auth' is invalid: none, basic or digest (see "
         "--help)\n"},
        {"nimbrosta-rtsp-server", {"--port", "http"},
         "nimbrosta-rtsp-server: the argument ('http') for option '--port' is invalid (see --help)\n"},
        {"nimbrosta-rtsp-server", {"--port=70000"},
         "nimbrosta-rtsp-server: the argument ('70000') for option '--port' is invalid: from 0 to 65535 (see --help)\n"},
        {"nimbrosta-rtsp-server", {"--drop", "3,x"},
         "nimbrosta-rtsp-server: the argument ('3,x') for option '--drop' is invalid: packet indices separated by "
         "commas (see --help)\n"},
        {"nimbrosta-rtsp-server", {"stray"},
         "nimbrosta-rtsp-server: too many positional options have been specified on the command line (see --help)\n"},
        {"nimbrosta-stub-streamer", {"--auth", "nonsense"},
         "nimbrosta-stub-streamer: the argument ('nonsense') for option '--auth' is invalid: admin, view or fail (see "
         "--help)\n"},
        {"nimbrosta-rtsp-probe", {"--seconds", "soon", "rtsp://127.0.0.1:1/x"},
         "nimbrosta-rtsp-probe: the argument ('soon') for option '--seconds' is invalid (see --help)\n"},
        {"nimbrosta-rtsp-probe", {"--seconds=-1", "rtsp://127.0.0.1:1/x"},
         "nimbrosta-rtsp-probe: the argument ('-1') for option '--seconds' is invalid: from 0 to 1000000000 (see "
         "--help)\n"},
        {"nimbrosta-stub-service", {"--eta", "soon", "--cert-dir", certs.path()},
         "nimbrosta-stub-service: argument --eta: invalid float value: 'soon' (see --help)\n"},
        {"fuzz_frame_reader", {"-seconds=soon"},
         "fuzz_frame_reader: the argument ('soon') for option '-seconds' is invalid (see --help)\n"},
        {"fuzz_frame_reader", {"/no/such/corpus"},
         "fuzz_frame_reader: no such file or folder: /no/such/corpus (see --help)\n"},
    };
    cases.insert(cases.end(), more.begin(), more.end());
    for (const Case& c : cases) {
        const Outcome o = runTool(c.program, c.args);
        EXPECT_EQ(o.status, 2) << c.program << " " << c.args[0];
        EXPECT_EQ(o.err, c.err) << c.program << " " << c.args[0];
        EXPECT_EQ(o.out, "") << c.program << " " << c.args[0];
    }
}

TEST(ToolCommandLine, TheRtspServerRefusesVideoItCannotServe) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("empty.h264"), "");
    testsupport::writeFile(dir.file("text.h264"), "not a video\n");
    struct Case {
        std::string file;
        std::string err;
    };
    const Case cases[] = {
        {dir.file("missing.h264"), "cannot read " + dir.file("missing.h264") + ": No such file or directory\n"},
        {dir.path(), "cannot read " + dir.path() + ": Is a directory\n"},
        {dir.file("empty.h264"), "no H.264 frames in " + dir.file("empty.h264") + "\n"},
        {dir.file("text.h264"), "no H.264 frames in " + dir.file("text.h264") + "\n"},
    };
    for (const Case& c : cases) {
        const Outcome o = runTool("nimbrosta-rtsp-server", {"--h264", c.file, "--seconds", "5"});
        EXPECT_EQ(o.status, 1) << c.file;
        EXPECT_EQ(o.err, "nimbrosta-rtsp-server: " + c.err) << c.file;
        EXPECT_EQ(o.out, "") << c.file << ": no address before the failure";
    }
}

// The pairing the README gives: the RTSP server on a fixture, played by the probe.
TEST(ToolCommandLine, TheProbePlaysWhatTheRtspServerServes) {
    PeerProcess server({kBin + "/nimbrosta-rtsp-server", "--h264",
                        std::string(NIMBROSTA_SOURCE_DIR) + "/tests/rtspclient/fixtures/testsrc-160x120.h264",
                        "--auth", "digest", "--user", "u", "--password", "p", "--seconds", "20"});
    const std::string url = server.firstLine();
    ASSERT_EQ(url.rfind("rtsp://127.0.0.1:", 0), 0u) << url;
    // Until a few frames have arrived, so that a slow start on a loaded machine still passes.
    const Outcome o =
        runTool("nimbrosta-rtsp-probe", {"--user", "u", "--password", "p", "--frames", "10", "--seconds", "15", url});
    EXPECT_EQ(o.status, 0) << o.err;
    const auto total = o.out.find("total: ");
    ASSERT_NE(total, std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("decoded=0", total), std::string::npos) << o.out;
}

// The example request in the stand-in service's help (and the README), run as written
// against a running service, signs the user in.
TEST(ToolCommandLine, TheStandInServicesExampleRequestSignsIn) {
    const Outcome help = runTool("nimbrosta-stub-service", {"--help"});
    const auto at = help.out.find("curl ");
    ASSERT_NE(at, std::string::npos) << help.out;
    std::string example = help.out.substr(at, help.out.find('\n', at) - at);
    // The README shows the same request, for the folder its own example uses.
    std::string inReadme = example;
    inReadme.replace(inReadme.find("<cert-dir>"), 10, "/tmp/nimbrosta-ca");
    EXPECT_NE(testsupport::readFile(std::string(NIMBROSTA_SOURCE_DIR) + "/README.md").find("    " + inReadme + "\n"),
              std::string::npos)
        << inReadme;

    testsupport::TempDir certs;
    PeerProcess service({"/usr/bin/python3", kBin + "/nimbrosta-stub-service", "--cert-dir", certs.path()});
    const std::string ready = service.firstLine(30000);
    ASSERT_EQ(ready.rfind("READY port=", 0), 0u) << ready;
    const std::string port = ready.substr(11, ready.find(' ', 11) - 11);
    for (const auto& [placeholder, value] : {std::pair<std::string, std::string>{"<cert-dir>", certs.path()},
                                             std::pair<std::string, std::string>{"<port>", port}}) {
        const auto p = example.find(placeholder);
        ASSERT_NE(p, std::string::npos) << example;
        example.replace(p, placeholder.size(), value);
    }
    std::string reply;
    EXPECT_EQ(runCommand(example + " --silent --show-error 2>&1", reply), 0) << example;
    EXPECT_NE(reply.find("\"status\": 1"), std::string::npos) << reply;
    EXPECT_NE(reply.find("\"access_token\": \"AT"), std::string::npos) << reply;
}
