// The updater window in this process, under Xvfb, against the stand-in service: the run
// through to the launcher with the texts of the update screen, the one-time reset of the
// guided tours, and the status text's server name.

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <sys/stat.h>

#include "../shell/ShellTestSupport.h"
#include "UpdaterTestSupport.h"
#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "shell/GLFWMessageThread.h"
#include "updater/UpdaterScreens.h"
#include "updater/UpdaterWindow.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using updatertest::StubFile;
namespace fs = std::filesystem;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string status, progress;
    std::string config;
    std::string launched;
};

// One updater run in this process: the per-user folder is installed (so it is used without
// asking) and holds a launcher stand-in; the program's own folder is left alone.
RunResult runUpdater(const std::vector<StubFile>& files) {
    StubService& s = updatertest::stub();
    s.reset();
    updatertest::serveUpdates(s, files);
    TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    const std::string user = home.file("Nimbrosta");
    fs::create_directories(user + "/lib");
    writeFile(user + "/firewall_authorized_apps.txt", "1\tNimbrosta Client\t" + getModuleFilePath() + "\n");
    const std::string launched = home.file("launched");
    writeFile(user + "/NimbrostaClient", "#!/bin/sh\nprintf '%s' \"$*\" > " + launched + "\n");
    ::chmod((user + "/NimbrostaClient").c_str(), 0755);
    ConfigStore::instance().setPathAndLoad(home.file("config.ini"));

    RunResult result;
    updater::UpdaterWindow window(updatertest::fastTimings());
    window.setProcessExit([&](int code) {
        std::lock_guard<std::recursive_mutex> lock(window.guiLock());
        if (auto* screen = dynamic_cast<updater::UpdateWindowState*>(window.getCurrentState().get())) {
            result.status = screen->statusText();
            result.progress = screen->progressText();
        }
        result.exitCode = code;
        window.close();
    });
    EXPECT_TRUE(window.create(430, 275, "Nimbrosta Updater", false, true));
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && result.exitCode < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        window.close();
    });
    GLFWApp::instance().run(&window);
    watchdog.join();
    x11test::waitUntil([&] { return fs::exists(launched); }, 5000);
    result.config = readFile(home.file("config.ini"));
    result.launched = readFile(launched);
    return result;
}

}  // namespace

TEST(UpdaterWindow, AnEmptyListFinishesAtOnceAndLeavesTheToursAlone) {
    const RunResult r = runUpdater({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.progress, "100%");
    EXPECT_EQ(r.status, "Everything is ready");
    EXPECT_EQ(r.launched, "--launcher");
    EXPECT_EQ(r.config.find("Tutorial"), std::string::npos) << r.config;
}

TEST(UpdaterWindow, AWrittenFileOffersTheToursAgain) {
    const RunResult r = runUpdater({StubFile("lib/a.txt", "a"), StubFile("lib/b.txt", "b"), StubFile("lib/c.txt", "c")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.progress, "100%");
    EXPECT_EQ(r.launched, "--launcher");
    EXPECT_NE(r.config.find("SelectOsFinished=0"), std::string::npos) << r.config;
    EXPECT_NE(r.config.find("MenuFinished=0"), std::string::npos) << r.config;
}

TEST(UpdateWindowState, TheStatusTextNamesTheServerWithoutItsScheme) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://upd1.example:8443", "upd1.example:8443"},
        {"http://a/https://b", "a/b"},
        {"upd.example", "upd.example"},
        {"https://a/http://b/http://c", "a/b/http://c"},
    };
    for (const auto& c : cases) EXPECT_EQ(updater::UpdateWindowState::serverForDisplay(c.first), c.second);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new shelltest::GlfwEnvironment());
    return RUN_ALL_TESTS();
}
