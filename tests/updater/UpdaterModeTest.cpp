// Updater mode end to end: the client started without arguments under Xvfb, with a
// temporary home, the stand-in service as web service and update server, and a helper
// script standing in for the launcher. Each screen is checked by its pixels, clicked with
// xdotool and saved to build/artifacts/updater-*.png.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "../crashreport/CrashNames.h"
#include "../shell/X11TestSupport.h"
#include "UpdaterTestSupport.h"
#include "gui/testing/GLTestWindow.h"
#include "gui/Button.h"
#include "platform/Process.h"
#include "updater/UpdateFiles.h"

using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::writeFile;
using updatertest::StubFile;
namespace fs = std::filesystem;

namespace {

const char* const kTitle = "Nimbrosta Updater";

// Window coordinates (430 x 275, logo 39 high): the centres of the question buttons (clicked
// there) and a row just inside their top edges, clear of the captions (checked there); a
// point of the error screen's Exit button left of its caption, where it is whether the
// button sits where the layout puts it or lower under a longer error text.
const int kLeftButtonX = 125, kRightButtonX = 305, kCentreX = 215, kButtonY = 39 + 150 + 19;
const int kButtonTopY = 39 + 150 + 5;
const int kExitX = kCentreX - 35, kExitY = 39 + 90 + 17;
// The rows of the label under the logo, and how far from the window's edges its text keeps.
const int kLabelTopY = 39 + 90 - 5, kEdgeBand = 8;

// A client in a program folder of its own, with its own home.
class UpdaterRun {
public:
    testsupport::TempDir dir;
    std::string app = dir.file("app");
    std::string exe = app + "/NimbrostaClient";
    std::string data = dir.file("home/.local/share");
    std::string userFolder = data + "/Nimbrosta";
    std::string launched = dir.file("launched");
    std::string outFile = dir.file("stdout");
    platform::ProcessHandle process;

    // portableInstalled: the program folder has its "lib" folder (an installed client)
    // with the crash-report sender, so the crash handler installs.
    explicit UpdaterRun(bool portableInstalled) {
        fs::create_directories(portableInstalled ? app + "/lib" : app);
        fs::copy_file(std::string(NIMBROSTA_BIN_DIR) + "/NimbrostaClient", exe);
        if (portableInstalled) {
            for (const char* file : {"CrashReportSender", "crashreport_lang.ini"})
                fs::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/" + file, app + "/lib/" + file);
        }
        fs::create_directories(data);
    }
    ~UpdaterRun() {
        if (process.pid > 0 && !process.exited) {
            platform::terminateProcess(process);
            platform::waitForExit(process, 5000);
        }
        platform::releaseProcess(process);
    }

    // What stands in for the launcher: it records where it ran from and its arguments.
    std::string launcherScript() const { return "#!/bin/sh\nprintf '%s %s' \"$0\" \"$*\" > " + launched + "\n"; }

    void listInFirewall() {
        fs::create_directories(userFolder);
        writeFile(userFolder + "/firewall_authorized_apps.txt", "1\tNimbrosta Client\t" + exe + "\n");
    }

    bool start(const StubService& stub) {
        ScopedEnv home("HOME", dir.file("home").c_str());
        ScopedEnv xdg("XDG_DATA_HOME", data.c_str());
        ScopedEnv state("XDG_STATE_HOME", dir.file("home/.local/state").c_str());
        ScopedEnv service("NIMBROSTA_SERVICE_URL", stub.baseUrl().c_str());
        ScopedEnv update("NIMBROSTA_UPDATE_URL", stub.baseUrl().c_str());
        ScopedEnv ca("NIMBROSTA_EXTRA_ROOT_CA", stub.caPath().c_str());
        ScopedEnv elevation("NIMBROSTA_ELEVATION_COMMAND", "");
        return platform::spawnProcess("/bin/sh", {"-c", "exec \"$0\" > \"$1\" 2>&1", exe, outFile}, process) == 0;
    }
    // Starts the client and waits for its window; 0 when none appeared.
    Window show(const StubService& stub, Display* d) { return start(stub) ? x11test::waitForWindow(d, kTitle) : 0; }
    int wait(int timeoutMs = 30000) { return platform::waitForExit(process, timeoutMs) ? process.exitStatus : -1; }
    std::string out() const { return readFile(outFile); }
};

struct Rgb {
    int r = 0, g = 0, b = 0;
};

class WindowPixels {
public:
    explicit WindowPixels(Display* d, Window w) : d_(d), w_(w) {}
    void grab() { rgba_ = x11test::windowRgba(d_, w_, width_, height_); }
    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
        const std::uint8_t* p = &rgba_[(std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4];
        return {p[0], p[1], p[2]};
    }
    // The buttons' cyan, as against the dark background.
    bool isButton(int x, int y) const {
        const Rgb c = at(x, y);
        return c.b > 150 && c.g > 110 && c.r < 90;
    }
    // White text pixels in the rows [y0, y1): within band columns of the window's left or
    // right edge, and elsewhere.
    struct TextSpread {
        int atEdges = 0, inside = 0;
    };
    TextSpread textIn(int y0, int y1, int band) const {
        TextSpread t;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < width_; ++x) {
                const Rgb c = at(x, y);
                if (c.r < 190 || c.g < 190 || c.b < 190) continue;
                if (x < band || x >= width_ - band) ++t.atEdges;
                else ++t.inside;
            }
        return t;
    }
    // The label under the logo keeps clear of the window's edges, and of the row of the
    // question's buttons when there is one.
    void expectLabelInside(bool buttonsBelow) const {
        const TextSpread t = textIn(kLabelTopY, kButtonTopY - 10, kEdgeBand);
        EXPECT_GT(t.inside, 200) << "the label is there";
        EXPECT_EQ(t.atEdges, 0) << "text within " << kEdgeBand << " columns of the window's edges";
        if (!buttonsBelow) return;
        int between = 0;  // text between the two buttons, at the height of the buttons
        for (int y = kButtonTopY - 10; y < kButtonY + 19; ++y)
            for (int x = kLeftButtonX + 60 + 6; x < kRightButtonX - 60 - 6; ++x) {
                const Rgb c = at(x, y);
                between += c.r > 190 && c.g > 190 && c.b > 190;
            }
        EXPECT_EQ(between, 0) << "the label runs into the buttons";
    }
    // The error text keeps clear of the Exit button below it.
    void expectErrorTextAboveExit() const {
        int top = kExitY;
        while (top > 0 && isButton(kExitX, top - 1)) --top;
        int touching = 0;
        for (int y = top - Button::kFrameOutset - 3; y < top + 3; ++y)
            for (int x = kCentreX - 60; x < kCentreX + 60; ++x) {
                const Rgb c = at(x, y);
                touching += c.r > 190 && c.g > 190 && c.b > 190;
            }
        EXPECT_EQ(touching, 0) << "the error text runs into the Exit button at row " << top;
        const TextSpread t = textIn(39 + 40, top - Button::kFrameOutset, kEdgeBand);
        EXPECT_GT(t.inside, 200) << "the error text is there";
        EXPECT_EQ(t.atEdges, 0) << "text within " << kEdgeBand << " columns of the window's edges";
    }
    // Grabs until the buttons are there (and nothing at the other places), up to 15 s.
    bool waitForButtons(const std::vector<std::pair<int, int>>& at, const std::vector<std::pair<int, int>>& notAt = {}) {
        const bool found = x11test::waitUntil(
            [&] {
                grab();
                for (const auto& p : at)
                    if (!isButton(p.first, p.second)) return false;
                for (const auto& p : notAt)
                    if (isButton(p.first, p.second)) return false;
                return true;
            },
            15000);
        if (!found) {
            // What the screen showed instead, for the person reading the failure.
            save("unexpected");
            const Rgb c = at.empty() ? Rgb() : this->at(at[0].first, at[0].second);
            std::printf("pixel at the first button: %d %d %d\n", c.r, c.g, c.b);
        }
        return found;
    }
    void save(const std::string& name) {
        // A screen is switched in after the frame that built it: the next frames settle it.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        grab();
        ASSERT_FALSE(rgba_.empty());
        EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/updater-" + name + ".png", width_, height_, rgba_.data()));
    }
    void click(int x, int y) { ASSERT_TRUE(x11test::click(w_, x, y)) << x << "," << y; }

private:
    Display* d_;
    Window w_;
    std::vector<std::uint8_t> rgba_;
    int width_ = 0, height_ = 0;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

bool waitForFile(const std::string& path, int timeoutMs = 15000) {
    return x11test::waitUntil([&] { return fs::exists(path) && fs::file_size(path) > 0; }, timeoutMs);
}

const auto* const kKeepServerAlive = ::testing::AddGlobalTestEnvironment(new x11test::KeepServerAlive());

}  // namespace

TEST(UpdaterMode, FilesToUpdateLandWithTheirMd5AndModesThenTheLauncherStarts) {
    StubService& s = updatertest::stub();
    s.reset();
    x11test::Connection x;
    UpdaterRun run(true);
    run.listInFirewall();
    writeFile(run.app + "/lib/local.cfg", "edited by the user");
    const std::string program = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(5000, '\0');
    std::string data(200000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7 + 3);
    updatertest::serveUpdates(s, {StubFile("NimbrostaClient", run.launcherScript()), StubFile("lib/data.bin", data),
                                  StubFile("bin/tool", program), StubFile("lib/local.cfg", "new defaults", "", 1)});
    s.delay("/files/2", 1.5);  // time to look at the progress
    const Window w = run.show(s, x.get());
    ASSERT_NE(w, 0u) << run.out();
    WindowPixels screen(x.get(), w);
    // The progress ring (cyan) around the percentage.
    ASSERT_TRUE(x11test::waitUntil([&] { return run.out().find("/files/0 successfully downloaded") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    screen.save("progress");
    // "Connecting to 127.0.0.1:<port> and downloading updates, please wait..."
    screen.expectLabelInside(false);
    EXPECT_EQ(run.wait(), 1) << run.out();
    // The updater ends from an engine worker; its crash handler's shared names go with it.
    EXPECT_EQ(crashtest::descriptionsOfProcess(run.process.pid), std::vector<std::string>());

    // The running program was replaced by the launcher stand-in, which kept its mode.
    ASSERT_TRUE(waitForFile(run.launched));
    EXPECT_EQ(readFile(run.launched), run.exe + " --launcher");
    EXPECT_EQ(readFile(run.exe), run.launcherScript());
    EXPECT_EQ(modeOf(run.exe), 0755u);
    EXPECT_EQ(md5HexOfFile(run.app + "/lib/data.bin"), md5HexOfBuffer(data.data(), data.size()));
    EXPECT_EQ(modeOf(run.app + "/lib/data.bin") & 0111, 0u);
    EXPECT_EQ(readFile(run.app + "/bin/tool"), program);
    EXPECT_NE(modeOf(run.app + "/bin/tool") & 0100, 0u) << "a new program is executable";
    EXPECT_EQ(readFile(run.app + "/lib/local.cfg"), "edited by the user");
    // A written file offers the guided tours again.
    const std::string config = readFile(run.app + "/lib/config.ini");
    EXPECT_NE(config.find("SelectOsFinished=0"), std::string::npos) << config;
    EXPECT_NE(config.find("MenuFinished=0"), std::string::npos) << config;
}

TEST(UpdaterMode, UpToDateInTheInstalledUserFolderTheLauncherStartsFromThere) {
    StubService& s = updatertest::stub();
    s.reset();
    x11test::Connection x;
    UpdaterRun run(false);
    run.listInFirewall();
    fs::create_directories(run.userFolder + "/lib");
    writeFile(run.userFolder + "/NimbrostaClient", run.launcherScript());
    ::chmod((run.userFolder + "/NimbrostaClient").c_str(), 0755);
    updatertest::serveUpdates(s, {StubFile("NimbrostaClient", run.launcherScript())});
    writeFile(run.app + "/devel", "");  // a "devel" entry beside the program picks that branch
    ASSERT_TRUE(run.start(s));
    EXPECT_EQ(run.wait(), 1) << run.out();
    ASSERT_TRUE(waitForFile(run.launched));
    EXPECT_EQ(readFile(run.launched), run.userFolder + "/NimbrostaClient --launcher");
    bool develChecked = false;
    for (const LoggedRequest& r : s.log())
        develChecked = develChecked || (r.path == "/updater/check_update.json" && r.query.find("&branch=devel") != std::string::npos);
    EXPECT_TRUE(develChecked);
    EXPECT_EQ(updatertest::requestsTo(s, "/files/0"), 0) << "a current file is not fetched";
    EXPECT_FALSE(fs::exists(run.app + "/lib")) << "nothing is installed beside the program";
}

TEST(UpdaterMode, ACorruptedDownloadShowsTheErrorAfterThreeTriesAndKeepsTheOldFile) {
    StubService& s = updatertest::stub();
    s.reset();
    x11test::Connection x;
    UpdaterRun run(true);
    run.listInFirewall();
    writeFile(run.app + "/lib/data.bin", "old copy");
    updatertest::serveUpdates(s, {StubFile("lib/data.bin", "corrupted", md5HexOfBuffer("good", 4))});
    const Window w = run.show(s, x.get());
    ASSERT_NE(w, 0u) << run.out();
    WindowPixels screen(x.get(), w);
    ASSERT_TRUE(screen.waitForButtons({{kExitX, kExitY}})) << run.out();
    screen.save("error-files");
    screen.expectErrorTextAboveExit();
    EXPECT_EQ(updatertest::requestsTo(s, "/files/0"), 3);
    EXPECT_NE(run.out().find("failed to download!"), std::string::npos);
    EXPECT_EQ(readFile(run.app + "/lib/data.bin"), "old copy");
    screen.click(kExitX, kExitY);
    EXPECT_EQ(run.wait(), 0) << run.out();
    EXPECT_FALSE(fs::exists(run.launched));
}

TEST(UpdaterMode, NoServerReachableShowsTheCheckError) {
    StubService& s = updatertest::stub();
    s.reset();
    x11test::Connection x;
    UpdaterRun run(true);
    run.listInFirewall();
    // Both the service (server list) and the default update server refuse.
    s.replyWith("/api/v1/update_servers_list.json", "{}", 503, -1);
    s.resetConnection("/updater/check_update.json", -1);
    const Window w = run.show(s, x.get());
    ASSERT_NE(w, 0u) << run.out();
    WindowPixels screen(x.get(), w);
    ASSERT_TRUE(screen.waitForButtons({{kExitX, kExitY}})) << run.out();
    screen.save("error-check");
    screen.expectErrorTextAboveExit();
    EXPECT_EQ(updatertest::requestsTo(s, "/api/v1/update_servers_list.json"), 3);
    EXPECT_EQ(updatertest::requestsTo(s, "/updater/check_update.json"), 3);
    // Closing the window ends updater mode like Exit, and starts nothing.
    x11test::sendDeleteWindow(x.get(), w);
    EXPECT_EQ(run.wait(), 0) << run.out();
    EXPECT_FALSE(fs::exists(run.launched));
}

TEST(UpdaterMode, TheFirewallQuestionAnsweredYesOrNo) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        StubService& s = updatertest::stub();
        s.reset();
        x11test::Connection x;
        // "No" on a freshly unpacked client: no installation anywhere and no per-user folder,
        // so the install question offers "Run Only" alone, centred.
        UpdaterRun run(yes);
        updatertest::serveUpdates(s, {StubFile("NimbrostaClient", run.launcherScript())});
        const Window w = run.show(s, x.get());
        ASSERT_NE(w, 0u) << run.out();
        WindowPixels screen(x.get(), w);
        ASSERT_TRUE(screen.waitForButtons({{kLeftButtonX, kButtonTopY}, {kRightButtonX, kButtonTopY}}, {{kCentreX, kButtonTopY}}))
            << run.out();
        if (yes) {
            screen.save("firewall-question");
            screen.expectLabelInside(false);
        }
        screen.click(yes ? kLeftButtonX : kRightButtonX, kButtonY);
        const std::string list = run.userFolder + "/firewall_authorized_apps.txt";
        if (!yes) {
            ASSERT_TRUE(screen.waitForButtons({{kCentreX, kButtonTopY}}, {{kLeftButtonX, kButtonTopY}, {kRightButtonX, kButtonTopY}}))
                << run.out();
            screen.save("install-question-run-only");
            screen.click(kCentreX, kButtonY);
        }
        EXPECT_EQ(run.wait(), 1) << run.out();
        ASSERT_TRUE(waitForFile(run.launched));
        EXPECT_EQ(readFile(run.launched), run.exe + " --launcher");
        if (yes) {
            // The elevated child (started plainly here) added the program.
            ASSERT_TRUE(waitForFile(list));
            EXPECT_EQ(readFile(list), "1\tNimbrosta Client\t" + run.exe + "\n");
        } else {
            EXPECT_FALSE(fs::exists(list));
        }
    }
}

TEST(UpdaterMode, TheInstallQuestionOffersBothFoldersAndInstallUsesThePerUserFolder) {
    StubService& s = updatertest::stub();
    s.reset();
    x11test::Connection x;
    UpdaterRun run(false);
    run.listInFirewall();  // makes the per-user folder, not installed
    updatertest::serveUpdates(s, {StubFile("NimbrostaClient", run.launcherScript()), StubFile("lib/data.txt", "data")});
    const Window w = run.show(s, x.get());
    ASSERT_NE(w, 0u) << run.out();
    WindowPixels screen(x.get(), w);
    // "Install" on the left, "Run Only" on the right.
    ASSERT_TRUE(screen.waitForButtons({{kLeftButtonX, kButtonTopY}, {kRightButtonX, kButtonTopY}}, {{kCentreX, kButtonTopY}}))
        << run.out();
    screen.save("install-question");
    screen.click(kLeftButtonX, kButtonY);
    EXPECT_EQ(run.wait(), 1) << run.out();
    ASSERT_TRUE(waitForFile(run.launched));
    EXPECT_EQ(readFile(run.launched), run.userFolder + "/NimbrostaClient --launcher");
    EXPECT_EQ(readFile(run.userFolder + "/lib/data.txt"), "data");
    EXPECT_EQ(readFile(run.exe).substr(1, 3), "ELF") << "the program folder is left alone";
}
