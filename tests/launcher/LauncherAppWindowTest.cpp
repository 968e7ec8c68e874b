// The launcher window under Xvfb against the stand-in web service: the user types into the
// sign-in screen with xdotool, the screens follow each other, the player (a helper program)
// is started with the access token and watched, and the tray icon's operations happen in
// order. Screenshots go to build/artifacts.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "LauncherTestSupport.h"
#include "core/Folders.h"
#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/CheckBox.h"
#include "gui/Image.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "gui/TextEdit.h"
#include "launcher/LauncherAppWindowWin32.h"
#include "launcher/LauncherErrorState.h"
#include "launcher/LauncherLogonState.h"
#include "launcher/LauncherWaitActivateState.h"
#include "platform/TopLevelWindow.h"
#include "platform/TrayIcon.h"

#include "../shell/ShellTestSupport.h"
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

using namespace shelltest;
using testsupport::readFile;

// From the toolkit's test helpers (their header clashes with the X11 headers here).
namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

namespace {

// The tray as the tests see it: every operation recorded, the icon shown, and a menu choice
// the test decides.
class RecordingTray : public platform::ITrayIcon {
public:
    struct Item {
        int position;
        unsigned flags;
        int id;
        std::string text;
        bool enabled;
    };

    std::atomic<bool> shown{true};
    std::atomic<int> choice{0};
    std::atomic<int> menusShown{0};

    bool isShown() const override { return shown.load(); }
    bool notify(platform::TrayAction action, const platform::TrayIconData& data) override {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back({action, data});
        return true;
    }
    void createMenu() override {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.clear();
        menu_ = true;
    }
    bool insertMenuItem(int position, unsigned flags, int id, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back({position, flags, id, text, (flags & platform::kMenuDisabled) == 0});
        return true;
    }
    bool enableMenuItem(int id, bool enabled) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Item& item : items_)
            if (item.id == id && !(item.flags & platform::kMenuSeparator)) item.enabled = enabled;
        return true;
    }
    int trackMenu(int, int) override {
        ++menusShown;
        return choice.load();
    }
    void destroyMenu() override {
        std::lock_guard<std::mutex> lock(mutex_);
        menu_ = false;
    }

    std::vector<Item> items() {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_;
    }
    bool itemEnabled(int id) {
        for (const Item& item : items())
            if (item.id == id) return item.enabled;
        return false;
    }
    std::vector<std::pair<platform::TrayAction, platform::TrayIconData>> records() {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }
    bool hasMenu() {
        std::lock_guard<std::mutex> lock(mutex_);
        return menu_;
    }

private:
    std::mutex mutex_;
    std::vector<Item> items_;
    std::vector<std::pair<platform::TrayAction, platform::TrayIconData>> records_;
    bool menu_ = false;
};

// One launcher window with a scratch per-user folder, a URL opener that records, and the
// helper program as its player.
class LauncherRun {
public:
    explicit LauncherRun(std::string playerProgram = NIMBROSTA_FAKE_PLAYER) {
        const std::string opener = home.file("opener.sh");
        testsupport::writeFile(opener, "#!/bin/sh\necho \"$1\" >> \"" + home.file("opened") + "\"\n");
        chmod(opener.c_str(), 0755);
        openerEnv = std::make_unique<testsupport::ScopedEnv>("NIMBROSTA_URL_OPENER", opener.c_str());
        playerEnv = std::make_unique<testsupport::ScopedEnv>("NIMBROSTA_TEST_PLAYER_LOG", home.file("player").c_str());
        LauncherOptions options;
        options.api.retryPauseMs = 30;
        options.api.watcherPeriodMs = 200;
        options.playerWatchPeriodMs = 100;
        options.playerProgram = std::move(playerProgram);
        auto recording = std::make_unique<RecordingTray>();
        tray = recording.get();
        window = new LauncherAppWindowWin32(options, std::move(recording));
    }
    ~LauncherRun() {
        stopPlayer();
        delete window;
    }

    // Runs the launcher's main loop while script drives it from another thread.
    void run(const std::function<void()>& script) {
        ASSERT_TRUE(window->create(900, 450, "Nimbrosta Launcher", false, true));
        runWithScript(window, script);
    }

    // ---- what the script reads (on the main thread, under the GUI lock) ----
    template <typename T>
    T inGui(std::function<T()> fn) {
        return onMain<T>([&] {
            std::lock_guard<std::recursive_mutex> lock(window->guiLock());
            return fn();
        });
    }
    std::string screen() {
        return inGui<std::string>([&] {
            LauncherState* s = window->currentState();
            return std::string(s ? s->name() : "");
        });
    }
    bool waitForScreen(const std::string& name, int timeoutMs = 10000) {
        return x11test::waitUntil([&] { return screen() == name && window->framesDrawn() > 0; }, timeoutMs);
    }
    template <typename Screen, typename T>
    T onScreen(std::function<T(Screen&)> fn) {
        return inGui<T>([&] {
            auto* s = dynamic_cast<Screen*>(window->currentState());
            return s ? fn(*s) : T();
        });
    }
    std::string signInBoxes() {
        return onScreen<LauncherLogonState, std::string>([](LauncherLogonState& s) {
            return s.loginBox()->getText() + "|" + s.passwordBox()->getText() +
                   (s.rememberBox()->isChecked() ? "|ticked" : "|");
        });
    }
    bool visible() {
        return onMain<bool>([&] { return glfwGetWindowAttrib(window->getWindow(), GLFW_VISIBLE) == GLFW_TRUE; });
    }
    unsigned long xid() {
        return onMain<unsigned long>([&] { return glfwGetX11Window(window->getWindow()); });
    }

    // ---- what the user does ----
    void xdotool(const std::string& args) {
        const std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    void type(const std::string& text) {
        xdotool("windowfocus --sync " + std::to_string(xid()) + " type --delay 5 '" + text + "'");
    }
    void key(const std::string& name) {
        xdotool("windowfocus --sync " + std::to_string(xid()) + " key " + name);
    }
    // A left click at a point of the window, in logical pixels (the UI scale is 1). The
    // pointer comes from elsewhere, so the window sees it move there even when an earlier
    // test left it at that very point.
    void click(int x, int y) {
        const std::string window = std::to_string(xid());
        xdotool("mousemove --window " + window + " 1 1 mousemove --window " + window + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
    }
    void clickWidget(const std::function<Widget*()>& widget) {
        const Rect r = inGui<Rect>([&] {
            Widget* w = widget();
            return w ? Rect{w->x, w->y, w->width, w->height} : Rect{};
        });
        ASSERT_GT(r.width, 0);
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    // Types the credentials into the sign-in screen (ticking "remember me" first when asked)
    // and signs in: with Enter, or with a click on the button.
    void signIn(const std::string& email, const std::string& password, bool remember, bool withButton = false) {
        auto logon = [&] { return dynamic_cast<LauncherLogonState*>(window->currentState()); };
        if (remember) clickWidget([&] { return logon()->rememberBox(); });
        clickWidget([&] { return logon()->loginBox(); });
        type(email);
        key("Tab");
        type(password);
        if (withButton) clickWidget([&] { return logon()->signInButton(); });
        else key("Return");
    }
    void trayMessage(long lParam) {
        window->postNativeMessage({LauncherAppWindowWin32::kTrayCallbackMessage, 0, lParam});
    }

    // ---- the player ----
    std::vector<std::string> playerStarts() {
        std::vector<std::string> lines;
        std::istringstream in(readFile(home.file("player")));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The process id of the n-th player started.
    pid_t playerPid(std::size_t n) {
        const std::vector<std::string> starts = playerStarts();
        return n < starts.size() ? static_cast<pid_t>(std::stol(starts[n])) : 0;
    }
    void stopPlayer() { testsupport::writeFile(home.file("player.stop"), ""); }
    std::vector<std::string> opened() {
        std::vector<std::string> lines;
        std::istringstream in(readFile(home.file("opened")));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // The window's pixels from the X server, saved as build/artifacts/<name>.png; the
    // colour of the pixel at (x, y) as 0xRRGGBB.
    unsigned screenshot(const std::string& name, int x, int y) {
        Display* d = XOpenDisplay(nullptr);
        int width = 0, height = 0;
        const std::vector<std::uint8_t> rgba = x11test::windowRgba(d, xid(), width, height);
        XCloseDisplay(d);
        if (rgba.empty()) return 0;
        EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/" + name + ".png", width, height, rgba.data()));
        const std::uint8_t* p = &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
        return unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2];
    }

    testsupport::TempDir home;
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.path().c_str()};
    std::unique_ptr<testsupport::ScopedEnv> openerEnv;
    std::unique_ptr<testsupport::ScopedEnv> playerEnv;
    RecordingTray* tray;
    LauncherAppWindowWin32* window;
};

// Whether the process runs: it exists and has not ended (an ended child not yet reaped is a
// zombie).
bool processAlive(pid_t pid) {
    std::istringstream stat(readFile("/proc/" + std::to_string(pid) + "/stat"));
    std::string skip, state;
    stat >> skip;
    // The command name is in parentheses and may hold blanks.
    std::getline(stat, skip, ')');
    stat >> state;
    return !state.empty() && state != "Z";
}

bool greenish(unsigned rgb) {
    const unsigned r = rgb >> 16 & 0xff, g = rgb >> 8 & 0xff, b = rgb & 0xff;
    return g > 120 && g > r + 60 && g > b + 60;
}

}  // namespace

namespace fixtures {
using LauncherAppWindow = launchertest::StubServiceFixture;

TEST_F(LauncherAppWindow, SigningInStartsThePlayerAndItsEndBringsTheSignInBack) {
    ScopedUiScale scale(1.0f);
    LauncherRun l;
    l.run([&] {
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        // The tray was set up when the main loop started.
        const std::vector<RecordingTray::Item> items = l.tray->items();
        ASSERT_EQ(items.size(), 4u);
        const std::pair<int, unsigned> expected[] = {{130, 0x1400}, {140, 0x402}, {150, 0xC00}, {150, 0x400}};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(items[i].position, int(i));
            EXPECT_EQ(items[i].id, expected[i].first);
            EXPECT_EQ(items[i].flags, expected[i].second);
        }
        EXPECT_EQ(items[0].text, "Show launcher");
        ASSERT_EQ(l.tray->records().size(), 1u);
        const platform::TrayIconData added = l.tray->records()[0].second;
        EXPECT_EQ(l.tray->records()[0].first, platform::TrayAction::Add);
        EXPECT_EQ(added.id, 12345u);
        EXPECT_EQ(added.flags, 7u);
        EXPECT_EQ(added.callbackMessage, 1147u);
        EXPECT_EQ(added.icon, "GLFW_ICON");
        EXPECT_EQ(added.tip, "Nimbrosta Launcher");
        EXPECT_EQ(added.window, l.xid());

        // The login box has the focus; the user ticks "remember me", types and presses Enter.
        const Rect button = l.inGui<Rect>([&] {
            Button* b = dynamic_cast<LauncherLogonState*>(l.window->currentState())->signInButton();
            return Rect{b->x, b->y, b->width, b->height};
        });
        EXPECT_TRUE(greenish(l.screenshot("launcher_signin", button.x + 20, button.y + 25)));
        EXPECT_EQ(getVersionLabel(), "v 0.0.33");
        l.clickWidget([&] { return dynamic_cast<LauncherLogonState*>(l.window->currentState())->rememberBox(); });
        l.clickWidget([&] { return dynamic_cast<LauncherLogonState*>(l.window->currentState())->loginBox(); });
        l.type("User@Example.com");
        l.key("Tab");
        l.type("secret");
        ASSERT_TRUE(x11test::waitUntil([&] {
            return l.onScreen<LauncherLogonState, std::string>([](LauncherLogonState& s) {
                return s.passwordBox()->getText();
            }) == "secret";
        }));
        l.screenshot("launcher_signin_typed", 0, 0);
        l.key("Return");

        // Ready: the player runs with the user's token; the launcher went to the tray.
        ASSERT_TRUE(l.waitForScreen("ready"));
        ASSERT_TRUE(x11test::waitUntil([&] { return l.playerStarts().size() == 1; }));
        const std::string token = l.window->api().getUser().accessToken;
        ASSERT_FALSE(token.empty());
        EXPECT_NE(l.playerStarts()[0].find(" --access_token " + token), std::string::npos) << l.playerStarts()[0];
        EXPECT_TRUE(x11test::waitUntil([&] { return !l.visible(); }));
        const auto modified = l.tray->records().back();
        EXPECT_EQ(modified.first, platform::TrayAction::Modify);
        EXPECT_EQ(modified.second.flags, 0x17u);
        EXPECT_EQ(modified.second.infoTitle, "Nimbrosta");
        EXPECT_EQ(modified.second.info, "Nimbrosta keeps running in the background.");
        EXPECT_EQ(modified.second.infoFlags, 1u);
        EXPECT_EQ(modified.second.timeout, 1000u);
        EXPECT_FALSE(l.tray->itemEnabled(140)) << "a direct sign-in leaves the user logged out";

        // While the player runs, the tray's right button shows no menu.
        l.trayMessage(LauncherAppWindowWin32::kRightButtonDown);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(l.tray->menusShown.load(), 0);
        EXPECT_EQ(l.screen(), "ready");

        // The player ends: a fresh sign-in screen with the remembered login, shown again.
        l.stopPlayer();
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        EXPECT_TRUE(x11test::waitUntil([&] { return l.visible(); }));
        EXPECT_FALSE(l.window->isWatchingPlayer());
        EXPECT_EQ(l.signInBoxes(), "User@Example.com|secret|ticked");
        l.screenshot("launcher_signin_again", 0, 0);

        // A double click on the tray icon brings a hidden launcher back.
        onMain<int>([&] {
            glfwHideWindow(l.window->getWindow());
            return 0;
        });
        ASSERT_FALSE(l.visible());
        l.trayMessage(LauncherAppWindowWin32::kLeftButtonDoubleClick);
        EXPECT_TRUE(x11test::waitUntil([&] { return l.visible(); }));

        // Without a player the right button shows the menu; Exit ends the launcher.
        l.tray->choice = LauncherCommand::Exit;
        l.trayMessage(LauncherAppWindowWin32::kRightButtonDown);
        EXPECT_TRUE(x11test::waitUntil([&] { return l.window->isClosing(); }));
        EXPECT_EQ(l.tray->menusShown.load(), 1);
    });
    // The main loop's end took the icon and the menu away.
    EXPECT_EQ(l.tray->records().back().first, platform::TrayAction::Delete);
    EXPECT_FALSE(l.tray->hasMenu());
}

TEST_F(LauncherAppWindow, AnAccountNotYetActiveWaitsAndMovesOnOnceActivated) {
    ScopedUiScale scale(1.0f);
    LauncherRun l;
    l.run([&] {
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        // This time with the button.
        l.signIn("new@example.com", "secret", true, true);

        ASSERT_TRUE(l.waitForScreen("activation wait"));
        const std::string token = l.window->api().getUser().accessToken;
        const std::string page = stub->baseUrl() + "/clients/new?" + token;
        ASSERT_TRUE(x11test::waitUntil([&] { return l.opened().size() == 1; }));
        EXPECT_EQ(l.opened()[0], page);
        EXPECT_TRUE(l.tray->itemEnabled(140)) << "a waiting screen is logged in";
        l.screenshot("launcher_activation_wait", 0, 0);
        const std::pair<Rect, Rect> buttons = l.onScreen<LauncherWaitActivateState, std::pair<Rect, Rect>>(
            [](LauncherWaitActivateState& s) {
                Button* c = s.continueButton();
                Button* o = s.logoutButton();
                return std::make_pair(Rect{c->x, c->y, c->width, c->height}, Rect{o->x, o->y, o->width, o->height});
            });
        EXPECT_EQ(buttons.first.x, 450 - 270 / 9 * 10);
        EXPECT_EQ(buttons.first.y, 300);
        EXPECT_EQ(buttons.first.width, 270);
        EXPECT_EQ(buttons.second.x, 450);
        EXPECT_EQ(buttons.second.y, 300);

        // Continue opens the page again and shows the busy image.
        l.clickWidget([&] {
            return dynamic_cast<LauncherWaitActivateState*>(l.window->currentState())->continueButton();
        });
        ASSERT_TRUE(x11test::waitUntil([&] { return l.opened().size() == 2; }));
        EXPECT_EQ(l.opened()[1], page);
        const bool busyShown = l.onScreen<LauncherWaitActivateState, bool>(
            [](LauncherWaitActivateState& s) { return s.busyImage()->isVisible(); });
        EXPECT_TRUE(busyShown);

        // Two log-outs before the next frame: the first fresh sign-in screen is replaced
        // before it was ever shown, and must not forget the remembered login.
        onMain<int>([&] {
            std::lock_guard<std::recursive_mutex> lock(l.window->guiLock());
            l.window->Command(LauncherCommand::LogOut);
            l.window->Command(LauncherCommand::LogOut);
            return 0;
        });
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        EXPECT_FALSE(l.tray->itemEnabled(140));
        EXPECT_EQ(l.signInBoxes(), "new@example.com|secret|ticked");

        // Sign in again (Enter) and let the service activate the account meanwhile.
        l.key("Return");
        ASSERT_TRUE(l.waitForScreen("activation wait"));
        stub->control("activate", "{\"email\": \"new@example.com\", \"active\": true}");
        ASSERT_TRUE(l.waitForScreen("ready"));
        ASSERT_TRUE(x11test::waitUntil([&] { return l.playerStarts().size() == 1; }));
        EXPECT_TRUE(l.tray->itemEnabled(140)) << "still logged in from the waiting screen";

        // Logging out from the tray menu ends the player of a logged-in user.
        const pid_t player = l.playerPid(0);
        ASSERT_GT(player, 0);
        ASSERT_TRUE(processAlive(player));
        l.window->postNativeMessage({273, LauncherCommand::LogOut, 0});
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        EXPECT_TRUE(x11test::waitUntil([&] { return !processAlive(player); }));
        EXPECT_FALSE(l.tray->itemEnabled(140));
        EXPECT_TRUE(x11test::waitUntil([&] { return !l.window->isWatchingPlayer() && l.visible(); }));
    });
}

TEST_F(LauncherAppWindow, AFailedSignInShowsTheErrorAndOkLeadsBack) {
    ScopedUiScale scale(1.0f);
    LauncherRun l;
    l.run([&] {
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        l.signIn("user@example.com", "wrong", true);
        ASSERT_TRUE(l.waitForScreen("error"));
        const std::string shown =
            l.onScreen<LauncherErrorState, std::string>([](LauncherErrorState& s) { return s.errorText(); });
        EXPECT_EQ(shown, "Invalid email or password.");
        l.screenshot("launcher_error", 0, 0);
        const Rect ok = l.onScreen<LauncherErrorState, Rect>([](LauncherErrorState& s) {
            Button* b = s.okButton();
            return Rect{b->x, b->y, b->width, b->height};
        });
        EXPECT_EQ(ok.x, (900 - 270) / 2);
        EXPECT_EQ(ok.y, 320);
        // The sign-in screen went away with the box ticked: what was typed is stored.
        std::string login, password;
        EXPECT_TRUE(l.window->getUserLogonData(login, password));
        EXPECT_EQ(login, "user@example.com");
        EXPECT_EQ(password, "wrong");

        l.clickWidget([&] { return dynamic_cast<LauncherErrorState*>(l.window->currentState())->okButton(); });
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        EXPECT_EQ(l.window->api().getErrorText(), "") << "a fresh sign-in screen clears the error";

        // The links open the service's pages in the browser.
        l.clickWidget([&] { return dynamic_cast<LauncherLogonState*>(l.window->currentState())->forgotLink(); });
        l.clickWidget([&] { return dynamic_cast<LauncherLogonState*>(l.window->currentState())->logo(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return l.opened().size() == 2; }));
        EXPECT_EQ(l.opened(), (std::vector<std::string>{stub->baseUrl() + "/", stub->baseUrl()}));

        // The user page command opens its page and ends the launcher.
        onMain<int>([&] {
            l.window->Command(LauncherCommand::OpenUserPageAndExit);
            return 0;
        });
        EXPECT_TRUE(x11test::waitUntil([&] { return l.opened().size() == 3; }));
        EXPECT_EQ(l.opened().back(), stub->baseUrl() + "/users/client");
        EXPECT_TRUE(x11test::waitUntil([&] { return l.window->isClosing(); }));
    });
}

TEST_F(LauncherAppWindow, ThePlayerOfADirectSignInOutlivesLogOutAndExit) {
    ScopedUiScale scale(1.0f);
    LauncherRun l;
    pid_t player = 0;
    l.run([&] {
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        l.signIn("user@example.com", "secret", false);
        ASSERT_TRUE(l.waitForScreen("ready"));
        ASSERT_TRUE(x11test::waitUntil([&] { return l.playerStarts().size() == 1; }));
        player = l.playerPid(0);
        ASSERT_GT(player, 0);

        // A direct sign-in never logged in, so going back to sign-in leaves the player alone.
        l.window->postNativeMessage({273, LauncherCommand::LogOut, 0});
        ASSERT_TRUE(l.waitForScreen("sign-in"));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(processAlive(player));
        EXPECT_TRUE(l.window->isWatchingPlayer());

        // Exit ends the launcher, not the player.
        l.window->postNativeMessage({273, LauncherCommand::ShowLauncher, 0});
        ASSERT_TRUE(x11test::waitUntil([&] { return l.visible(); }));
        l.window->postNativeMessage({273, LauncherCommand::Exit, 0});
        EXPECT_TRUE(x11test::waitUntil([&] { return l.window->isClosing(); }));
    });
    ASSERT_GT(player, 0);
    EXPECT_TRUE(processAlive(player));
}

TEST_F(LauncherAppWindow, OldFilesAreRemovedOnceTheWindowIsCreated) {
    // Files the self-updater marked for removal beside the executable.
    const std::string marked = getExeFolder() + "/launcher-test-" + std::to_string(getpid()) + ".remove";
    const std::string later = marked + "-later.remove";
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    testsupport::writeFile(marked, "x");
    LauncherOptions options;
    options.removeOldFilesPeriodMs = 100;
    auto* window = new LauncherAppWindowWin32(options, std::make_unique<RecordingTray>());
    ASSERT_TRUE(window->create(900, 450, "Nimbrosta Launcher", false, true));
    runWithScript(window, [&] {
        EXPECT_TRUE(x11test::waitUntil([&] { return !std::filesystem::exists(marked); }));
        // The pass after it found nothing and ended the job: a file marked now stays. (The
        // waits are many periods long, so a slow machine still sees that pass first.)
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        testsupport::writeFile(later, "x");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(std::filesystem::exists(later));
    });
    delete window;
    std::filesystem::remove(marked);
    std::filesystem::remove(later);
}

TEST_F(LauncherAppWindow, APlayerThatCannotStartBringsTheSignInBack) {
    ScopedUiScale scale(1.0f);
    LauncherRun l("/nonexistent/NimbrostaClient");
    std::string token;
    std::string out = testsupport::captureStdout([&] {
        l.run([&] {
            ASSERT_TRUE(l.waitForScreen("sign-in"));
            LauncherState* first = l.inGui<LauncherState*>([&] { return l.window->currentState(); });
            l.signIn("user@example.com", "secret", false);
            ASSERT_TRUE(x11test::waitUntil([&] { return l.window->api().getUser().active; }));
            token = l.window->api().getUser().accessToken;
            // Within a few watch periods the launcher is back, on a fresh sign-in screen.
            ASSERT_TRUE(x11test::waitUntil(
                [&] {
                    return l.inGui<LauncherState*>([&] { return l.window->currentState(); }) != first &&
                           l.screen() == "sign-in" && !l.window->isWatchingPlayer() && l.visible();
                }));
        });
    });
    EXPECT_NE(out.find("startup error 2"), std::string::npos) << out;
    EXPECT_EQ(out.find("secret"), std::string::npos) << "no credential in the log";
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(out.find(token), std::string::npos) << "no token in the log";
    EXPECT_NE(out.find("with an access token of " + std::to_string(token.size()) + " characters"), std::string::npos);
}

}  // namespace fixtures

TEST(TopLevelWindow, AHiddenWindowFoundByItsTitleIsShown) {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(200, 100, "NimbrostaClient", nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(platform::showWindowByTitle("No such window"));
    EXPECT_TRUE(platform::showWindowByTitle("NimbrostaClient"));
    const bool shown = x11test::waitUntil([&] {
        glfwPollEvents();
        return glfwGetWindowAttrib(window, GLFW_VISIBLE) == GLFW_TRUE;
    });
    EXPECT_TRUE(shown);
    glfwDestroyWindow(window);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
    LanguageStore::instance().load("en");
    return RUN_ALL_TESTS();
}
