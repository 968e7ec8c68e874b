// The machine-selection screen as a user meets it: the real player window under Xvfb,
// signed in at the stand-in web service whose running machines point at the stand-in
// streamer, driven by clicks (xdotool) on the panels' buttons. Screenshots of the states
// go to build/artifacts/selectos-*.png.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SelectOsTestSupport.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/Static.h"
#include "input-lib/InputClient.pb.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/SOSPopupTable.h"
#include "player-ui/menu/MenuButton.h"
#include "player/PlayerMainWindow.h"
#include "player/selectos/InformationTable.h"
#include "player/selectos/LoadingTable.h"
#include "player/selectos/PlanTable.h"
#include "player/selectos/SelectDCTable.h"
#include "player/selectos/SelectOsState.h"
#include "player/selectos/SingleVMAccessTable.h"
#include "player/selectos/TrialEndedTable.h"
#include "stubstreamer/StubStreamer.h"

// X11 last: its macros (Status, Bool) clash with the protobuf and JSON headers.
#include "../../shell/ShellTestSupport.h"

namespace guitest {
std::string artifactsDir();
bool writePng(const std::string& path, int width, int height, const std::uint8_t* rgba);
}  // namespace guitest

using namespace shelltest;
using InputClient::Request;
using InputClient::Response;

namespace {

constexpr const char* kTitle = "selectos";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

class SelectionWindow;

// The real screen; the window hears when it goes.
class TrackedSelectOs : public SelectOsState {
public:
    TrackedSelectOs(SelectionWindow* window);
    ~TrackedSelectOs() override;

private:
    SelectionWindow* owner_;
};

// A screen that does nothing: the benchmark's place, and the in-stream screen's marker.
class InertScreen : public PlayerWindowState {
public:
    using PlayerWindowState::PlayerWindowState;
    bool enter() override { return true; }
    void leave() override {}
    bool update(std::recursive_mutex&) override { return true; }
    bool isFinished() override { return false; }
};

PlayerApiTimings fastTimings() {
    PlayerApiTimings t;
    t.machinePollPeriodMs = 150;
    return t;
}

class SelectionWindow : public PlayerMainWindow {
public:
    SelectionWindow() : PlayerMainWindow(fastTimings()) {}
    SelectOsState* screen = nullptr;  // under the GUI lock

protected:
    PlayerWindowState* createScreen(int commandId) override {
        if (commandId == kCommandSelectionScreen) return new TrackedSelectOs(this);
        return new InertScreen(this, commandId);
    }
};

TrackedSelectOs::TrackedSelectOs(SelectionWindow* window)
    : SelectOsState(window, kCommandSelectionScreen, std::chrono::milliseconds(50)), owner_(window) {
    owner_->screen = this;
}
TrackedSelectOs::~TrackedSelectOs() { owner_->screen = nullptr; }

// Reads from the screen on the main thread under the GUI lock; a default when it is gone.
template <typename T>
T fromScreen(SelectionWindow& w, std::function<T(SelectOsState&)> fn, T otherwise = T()) {
    return onMain<T>([&] {
        std::lock_guard<std::recursive_mutex> lock(w.guiLock());
        return w.screen ? fn(*w.screen) : otherwise;
    });
}

bool waitForScreen(SelectionWindow& w, int id) {
    return x11test::waitUntil([&] { return onMain<int>([&] { return w.currentScreenCommandId(); }) == id; }, 15000);
}

// A real pointer click on the centre of the widget the function picks.
// Waits until the widget is visible and has kept its place for two frames or so (a panel
// just rebuilt is laid out by the next frame).
void clickOn(x11test::Connection& x, SelectionWindow& w, std::function<Widget*(SelectOsState&)> pick) {
    const auto place = [&] {
        return fromScreen<Rect>(w, [&](SelectOsState& s) {
            Widget* widget = pick(s);
            return widget && widget->isVisible() ? Rect{widget->x, widget->y, widget->width, widget->height}
                                                 : Rect{-1, -1, 0, 0};
        });
    };
    Rect r;
    ASSERT_TRUE(x11test::waitUntil([&] {
        r = place();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        const Rect again = place();
        return r.x >= 0 && (r.x > 0 || r.y > 0) && r.x == again.x && r.y == again.y;
    })) << "no such widget on screen";
    const Window win = x11test::findWindow(x.get(), kTitle);
    const int cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    const std::string command = "xdotool mousemove --window " + std::to_string(win) + " " + std::to_string(cx - 2) +
                                " " + std::to_string(cy - 2) + " mousemove --window " + std::to_string(win) + " " +
                                std::to_string(cx) + " " + std::to_string(cy) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

void screenshot(x11test::Connection& x, const std::string& name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const x11test::Pixels p = x11test::capture(x.get(), x11test::findWindow(x.get(), kTitle));
    ASSERT_FALSE(p.rgba.empty());
    EXPECT_TRUE(guitest::writePng(guitest::artifactsDir() + "/selectos-" + name + ".png", p.width, p.height,
                                  p.rgba.data()));
}

bool visible(const Widget* w) { return w && w->isVisible(); }

bool isWhite(const x11test::Pixels& p, int x, int y) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) return false;
    const std::uint8_t* c = p.at(x, y);
    return c[0] > 190 && c[1] > 190 && c[2] > 190;
}

// The plan panel's cards (the framed information of each column) and select buttons, as
// the user sees them: the cards stand apart, each select button's frame stays within its
// card's width, and the texts keep clear of the card's frame.
void expectPlanCardsApart(x11test::Connection& x, SelectionWindow& w) {
    const std::vector<Rect> r = fromScreen<std::vector<Rect>>(w, [](SelectOsState& s) {
        std::vector<Rect> out;
        for (PlanSubTable* column : {s.planTable()->highColumn(), s.planTable()->ultraColumn()}) {
            out.push_back(column->getCellRect(0, 0));
            const Button& b = *column->selectButton();
            out.push_back(Rect{b.x, b.y, b.width, b.height});
        }
        return out;
    });
    ASSERT_EQ(r.size(), 4u);
    const Rect cards[2] = {r[0], r[2]}, selects[2] = {r[1], r[3]};
    const x11test::Pixels p = x11test::capture(x.get(), x11test::findWindow(x.get(), kTitle));
    ASSERT_FALSE(p.rgba.empty());
    const int border = 2;  // the card's frame: from x to x + width + 2
    const int middle = selects[0].y + selects[0].height / 2;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "High" : "Ultra");
        const Rect& card = cards[i];
        int left = -1, right = -1;
        // Up to the middle of the gap on either side.
        for (int px = card.x - 4; px < card.x + card.width + border + 4; ++px)
            if (isWhite(p, px, middle)) {
                if (left < 0) left = px;
                right = px;
            }
        EXPECT_GE(left, card.x - 1) << "the select button's frame reaches past the card";
        EXPECT_LE(right, card.x + card.width + border) << "the select button's frame reaches past the card";
        int nearFrame = 0;
        for (int py = card.y + border + 1; py < card.y + card.height - 1; ++py)
            for (int d = border; d < border + 6; ++d)
                nearFrame += isWhite(p, card.x + d, py) + isWhite(p, card.x + card.width - d + 1, py);
        EXPECT_EQ(nearFrame, 0) << "text touches the card's frame";
    }
    // Between the cards, and between the select buttons, the background shows.
    const int gapLeft = cards[0].x + cards[0].width + border + 1;
    EXPECT_GE(cards[1].x - gapLeft, 4);
    for (const int py : {cards[0].y + cards[0].height / 2, middle}) {
        int white = 0;
        for (int px = gapLeft; px < cards[1].x; ++px) white += isWhite(p, px, py);
        EXPECT_EQ(white, 0) << "between the columns at row " << py;
    }
}

// The information panel's buttons stand apart: between their frames, which reach beyond
// their rectangles, the background shows over the gap the panel gives them.
void expectButtonFramesApart(x11test::Connection& x, SelectionWindow& w) {
    const std::vector<Rect> r = fromScreen<std::vector<Rect>>(w, [](SelectOsState& s) {
        std::vector<Rect> out;
        for (const auto& b : s.informationTable()->buttons()) out.push_back(Rect{b->x, b->y, b->width, b->height});
        return out;
    });
    ASSERT_EQ(r.size(), 2u);
    const x11test::Pixels p = x11test::capture(x.get(), x11test::findWindow(x.get(), kTitle));
    ASSERT_FALSE(p.rgba.empty());
    const int middle = r[0].y + r[0].height / 2;
    int lastFrame = -1, nextFrame = -1;
    for (int px = r[0].x + r[0].width; px < r[1].x + r[1].width / 2; ++px)
        if (isWhite(p, px, middle)) {
            if (nextFrame < 0 && lastFrame >= 0 && px > lastFrame + 1) nextFrame = px;
            if (nextFrame < 0) lastFrame = px;
        }
    ASSERT_GE(lastFrame, 0) << "the first button's frame";
    ASSERT_GE(nextFrame, 0) << "the second button's frame";
    EXPECT_GE(nextFrame - lastFrame - 1, InformationTable::kButtonSpacing - 2);
}

// Which of the screen's panels are on screen.
std::string panels(SelectOsState& s) {
    std::string out;
    const std::pair<const char*, Widget*> named[] = {
        {"access", s.accessTable()}, {"datacentres", s.datacenterTable()}, {"plans", s.planTable()},
        {"trialEnded", s.trialEndedTable()}, {"loading", s.loadingTable()}, {"information", s.informationTable()}};
    for (const auto& n : named)
        if (visible(n.second)) out += std::string(out.empty() ? "" : "+") + n.first;
    return out;
}

std::string panelsOf(SelectionWindow& w) { return fromScreen<std::string>(w, panels, "gone"); }

// The screen's state for a failure message.
std::string describe(SelectionWindow& w) {
    return fromScreen<std::string>(
        w,
        [&](SelectOsState& s) {
            return "panels '" + panels(s) + "' status '" + s.statusText() + "' operation " +
                   std::to_string(w.clientState().getVmOperationState()) + " access " +
                   (s.accessTable() ? "built" : "none") + " rebuild " + std::to_string(s.rebuildRequested());
        },
        "gone");
}

class SelectionScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        streamer = std::make_unique<StubStreamer>();
        streamer->onRequest(Request::AUTHORIZATION, [](StubConnection& c, const Request&) {
            // The first attempt of each check is refused: the check must try again.
            if (refuseAll || refusals.fetch_add(1) % 2 == 0) {
                c.respond(Response::AUTHORIZATION_FAILED);
                c.close();
            } else {
                c.respond(Response::AUTHORIZATION_SUCCESS_ADMIN);
            }
        });
        streamer->onRequest(Request::CLIENT_DB_READY_EVENT,
                            [](StubConnection& c, const Request&) { c.respond(Response::SERVER_DB_READY_EVENT); });
        stub = std::make_unique<StubService>(std::string(), 0.4,
                                             std::vector<std::string>{"--streamer-port", std::to_string(streamer->port())});
    }
    static void TearDownTestSuite() {
        stub.reset();
        streamer.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(x);
        stub->reset();
        useStubService(*stub);
        selectostest::loadTestTexts(NIMBROSTA_SOURCE_DIR "/core/lang/lang_en.ini");
    }
    void setAccount(const std::string& plan, int minutes, const std::string& desktopsJson,
                    const std::string& messages = "[]") {
        stub->control("set_account", R"({"email": "user@example.com", "user_plan": ")" + plan +
                                         R"(", "min_trial_remaining": )" + std::to_string(minutes) +
                                         R"(, "messages": )" + messages + "}");
        setDesktops(desktopsJson);
    }
    void setDesktops(const std::string& desktopsJson) {
        stub->control("set_desktops", R"({"email": "user@example.com", "desktops": )" + desktopsJson + "}");
    }
    // Opens the window signed in, shows the selection screen and runs the script.
    void run(const std::function<void(SelectionWindow&)>& script) {
        SelectionWindow window;
        window.playerApi().start(selectostest::accessTokenOf(*stub, "user@example.com"));
        ASSERT_TRUE(window.create(kWidth, kHeight, kTitle, true, true));
        runWithScript(&window, [&] {
            // The screen does not open before the account has arrived; on a loaded machine
            // the first post can come before that, so it is posted again until it opens.
            bool shown = false;
            for (int attempt = 0; attempt < 6 && !shown; ++attempt) {
                postCommand(&window, kCommandSelectionScreen);
                shown = x11test::waitUntil(
                    [&] { return onMain<int>([&] { return window.currentScreenCommandId(); }) == kCommandSelectionScreen; },
                    5000);
            }
            ASSERT_TRUE(shown);
            script(window);
        });
    }

    static std::string desktop(const std::string& state, const std::string& datacenter = "eu-central") {
        return R"({"name": "Windows", "state": ")" + state + R"(", "os": "Windows", "plan": "High", "datacenter": ")" +
               datacenter + R"(", "password": "pw"})";
    }

    x11test::Connection x;
    static std::unique_ptr<StubStreamer> streamer;
    static std::unique_ptr<StubService> stub;
    static std::atomic<int> refusals;
    static std::atomic<bool> refuseAll;
};

std::unique_ptr<StubStreamer> SelectionScreen::streamer;
std::unique_ptr<StubService> SelectionScreen::stub;
std::atomic<int> SelectionScreen::refusals{0};
std::atomic<bool> SelectionScreen::refuseAll{false};

std::size_t count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

std::string mainText(SelectOsState& s) { return s.accessTable() ? s.accessTable()->mainButton()->text() : ""; }
std::string statusOf(SelectOsState& s) { return s.loadingTable()->statusLabel()->currentText(); }

}  // namespace

TEST_F(SelectionScreen, EachMachineStateShowsItsPanelAndTexts) {
    setAccount("Pay As You Go", 0, "[" + desktop("Off") + "]");
    run([&](SelectionWindow& w) {
        const struct {
            std::string plan;
            int minutes;
            std::string desktop;
            std::string panels;
            std::string text;  // the main button's, or the loading status
        } cases[] = {
            {"Pay As You Go", 0, desktop("Off"), "access", "Start machine"},
            {"Pay As You Go", 0, desktop("On"), "access", "Access machine"},
            {"Pay As You Go", 0, desktop("Empty", ""), "access", "Create machine"},
            {"Trial", 0, desktop("Off"), "trialEnded", ""},
            {"Trial", 30, desktop("Off"), "access", "Start machine"},
            {"Gamer", 0, desktop("Creating"), "loading", "Creating"},
            {"Gamer", 0, desktop("Starting"), "loading", "Starting"},
            {"Gamer", 0, desktop("Stopping"), "loading", "Stopping"},
            {"Gamer", 0, desktop("Deleting"), "loading", "Deleting"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.plan + " " + c.desktop);
            setAccount(c.plan, c.minutes, "[" + c.desktop + "]");
            // The account is fetched again by a rebuild; the poll brings the machine.
            onMain<int>([&] {
                w.playerApi().getClientInfo(nullptr);
                return 0;
            });
            EXPECT_TRUE(x11test::waitUntil([&] {
                return panelsOf(w) == c.panels &&
                       fromScreen<std::string>(w, [&](SelectOsState& s) {
                           return c.panels == "loading" ? statusOf(s) : c.panels == "access" ? mainText(s) : "";
                       }) == c.text;
            })) << panelsOf(w);
        }
        screenshot(x, "loading-deleting");
    });
}

TEST_F(SelectionScreen, CreateStartAndOpenReachTheStreamScreen) {
    setAccount("Pay As You Go", 0, "[" + desktop("Empty", "") + "]");
    run([&](SelectionWindow& w) {
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << describe(w);
        EXPECT_EQ(fromScreen<std::string>(w, mainText), "Create machine");
        screenshot(x, "access-create");

        clickOn(x, w, [](SelectOsState& s) { return s.accessTable()->mainButton(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "datacentres"; })) << panelsOf(w);
        clickOn(x, w, [](SelectOsState& s) { return s.datacenterTable()->popupList()->valueButton.get(); });
        ASSERT_TRUE(x11test::waitUntil([&] {
            return fromScreen<bool>(w, [](SelectOsState& s) { return visible(s.datacenterTable()->entryButtons()[0].get()); });
        }));
        screenshot(x, "datacentres-open");
        clickOn(x, w, [](SelectOsState& s) { return s.datacenterTable()->entryButtons()[0].get(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return fromScreen<bool>(w, [](SelectOsState& s) { return s.datacenterTable()->isChosen(); }); }));
        clickOn(x, w, [](SelectOsState& s) { return s.datacenterTable()->continueButton(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "plans"; })) << panelsOf(w);
        screenshot(x, "plans");
        expectPlanCardsApart(x, w);

        stub->control("clear_log");
        clickOn(x, w, [](SelectOsState& s) { return s.planTable()->highColumn()->selectButton(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "loading"; })) << panelsOf(w);
        screenshot(x, "loading-creating");
        ASSERT_TRUE(waitForScreen(w, kCommandStreamScreen)) << panelsOf(w);

        std::vector<std::string> starts;
        for (const LoggedRequest& r : stub->log())
            if (r.path == "/client/start_desktop.json") starts.push_back(r.query);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(selectostest::afterVersionHash(starts[0]),
                  "&tarnhold_token=" + selectostest::tokenOf(*stub, "user@example.com", "tarnhold_token") +
                      "&vm_name=Windows&vm_os=Windows&plan=high&datacenter=eu-central");
    });
}

TEST_F(SelectionScreen, StopAndDeleteSendTheirRequestsAndFollowTheMachine) {
    setAccount("Gamer", 0, "[" + desktop("On") + "]");
    run([&](SelectionWindow& w) {
        ASSERT_TRUE(x11test::waitUntil([&] { return fromScreen<std::string>(w, mainText) == "Access machine"; }));
        const struct {
            bool restart;
            std::string path;
            std::string after;
        } steps[] = {{true, "/client/stop_desktop.json", "Start machine"},
                     {false, "/client/delete_desktop.json", "Create machine"}};
        for (const auto& step : steps) {
            SCOPED_TRACE(step.path);
            clickOn(x, w, [](SelectOsState& s) { return s.accessTable()->settings()->gearButton(); });
            ASSERT_TRUE(x11test::waitUntil([&] {
                return fromScreen<bool>(w, [](SelectOsState& s) { return s.accessTable()->settings()->isMenuOpen(); });
            }));
            if (step.restart) screenshot(x, "settings-menu");
            stub->control("clear_log");
            clickOn(x, w, [&](SelectOsState& s) -> Widget* {
                Settings* settings = s.accessTable()->settings();
                return step.restart ? static_cast<Widget*>(settings->restartItem()) : settings->deleteItem();
            });
            EXPECT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "loading"; })) << panelsOf(w);
            EXPECT_TRUE(x11test::waitUntil([&] { return fromScreen<std::string>(w, mainText) == step.after; }))
                << fromScreen<std::string>(w, mainText);
            EXPECT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << panelsOf(w);
            std::vector<std::string> sent;
            for (const LoggedRequest& r : stub->log())
                if (r.path == step.path) sent.push_back(r.query);
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(selectostest::afterVersionHash(sent[0]),
                      "&tarnhold_token=" + selectostest::tokenOf(*stub, "user@example.com", "tarnhold_token") +
                          "&vm_name=Windows");
        }
    });
}

TEST_F(SelectionScreen, OneClickSendsOneRequestWhileAPollHoldsTheWorker) {
    const struct {
        const char* name;
        std::string machine;
        std::string path;                          // the operation's request
        std::function<Widget*(SelectOsState&)> item;  // what the user clicks, twice
        std::string panelsAfter;
    } cases[] = {
        {"restart", desktop("On"), "/client/stop_desktop.json",
         [](SelectOsState& s) -> Widget* { return s.accessTable()->settings()->restartItem(); }, "access"},
        {"delete", desktop("On"), "/client/delete_desktop.json",
         [](SelectOsState& s) -> Widget* { return s.accessTable()->settings()->deleteItem(); }, "access"},
        {"select", desktop("Off"), "/client/start_desktop.json",
         [](SelectOsState& s) -> Widget* { return s.planTable()->highColumn()->selectButton(); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stub->reset();
        setAccount("Gamer", 0, "[" + c.machine + "]");
        run([&](SelectionWindow& w) {
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << describe(w);
            if (std::string(c.name) == "select") {
                clickOn(x, w, [](SelectOsState& s) { return s.accessTable()->mainButton(); });
                ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "plans"; })) << panelsOf(w);
            } else {
                clickOn(x, w, [](SelectOsState& s) { return s.accessTable()->settings()->gearButton(); });
                ASSERT_TRUE(x11test::waitUntil([&] {
                    return fromScreen<bool>(w, [](SelectOsState& s) { return s.accessTable()->settings()->isMenuOpen(); });
                }));
            }
            // The machine polls take their time: the next one holds the facade's one worker.
            stub->control("fault", R"({"path": "/client/get_desktop.json", "delay": 4, "times": -1})");
            stub->control("clear_log");
            ASSERT_TRUE(x11test::waitUntil([&] {
                for (const LoggedRequest& r : stub->log())
                    if (r.path == "/client/get_desktop.json") return true;
                return false;
            }));
            // A double click: the second comes while the first is still waiting for the worker.
            const Rect r = fromScreen<Rect>(w, [&](SelectOsState& s) {
                Widget* widget = c.item(s);
                return Rect{widget->x, widget->y, widget->width, widget->height};
            });
            const Window win = x11test::findWindow(x.get(), kTitle);
            const std::string at = std::to_string(r.x + r.width / 2) + " " + std::to_string(r.y + r.height / 2);
            ASSERT_EQ(std::system(("xdotool mousemove --window " + std::to_string(win) + " " + at +
                                   " click --repeat 2 --delay 80 1")
                                      .c_str()),
                      0);
            // The loading panel covers the panels at once, before the request could go out.
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "loading"; })) << describe(w);
            screenshot(x, std::string("held-") + c.name);
            std::size_t sentBefore = 0;
            for (const LoggedRequest& logged : stub->log())
                if (logged.path == c.path) ++sentBefore;
            EXPECT_EQ(sentBefore, 0u) << "the poll still holds the worker";
            stub->control("clear_faults");

            // Once the poll is through, the one request runs and the screen follows the machine.
            if (c.panelsAfter.empty())
                EXPECT_TRUE(waitForScreen(w, kCommandStreamScreen)) << describe(w);
            else
                EXPECT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == c.panelsAfter; }, 15000)) << describe(w);
            std::size_t sent = 0;
            for (const LoggedRequest& logged : stub->log())
                if (logged.path == c.path) ++sent;
            EXPECT_EQ(sent, 1u) << "one click, one request";
        });
    }
}

TEST_F(SelectionScreen, AMessageCoversThePanelsAndItsActionBringsBackTheRightOne) {
    // The stand-in service's credits message, with its two actions side by side.
    const std::string credits =
        R"([{"id": 5, "title": "Credits", "body": "Your credits run low.",
             "actions": [{"url": "", "url_get": "", "url_post": "", "text": "Buy credits"},
                         {"url": "", "url_get": "", "url_post": "", "text": "Later"}]}])";
    setAccount("Gamer", 0, "[" + desktop("Off") + "]", credits);
    run([&](SelectionWindow& w) {
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "information"; })) << panelsOf(w);
        screenshot(x, "message");
        expectButtonFramesApart(x, w);
        // The machine list changes while the message is up: the rebuilt panels stay hidden
        // and the trial-ended panel is what the account now calls for.
        setAccount("Trial", 0, "[" + desktop("On") + "]", credits);
        onMain<int>([&] {
            w.playerApi().getClientInfo(nullptr);
            return 0;
        });
        ASSERT_TRUE(x11test::waitUntil([&] { return fromScreen<std::string>(w, mainText) == "Access machine"; }));
        EXPECT_EQ(panelsOf(w), "information");
        clickOn(x, w, [](SelectOsState& s) { return s.informationTable()->buttons().at(0).get(); });
        EXPECT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "trialEnded"; })) << panelsOf(w);
        screenshot(x, "trial-ended");
    });
}

TEST_F(SelectionScreen, AWebFailureEndsInTheInformationPanelWithItsText) {
    // What the facade reports: a refusal by the service carries its text; a failed transport
    // or an HTTP error says what failed.
    const struct {
        const char* name;
        std::string fault;
        const char* text;
    } cases[] = {
        {"service", R"({"path": "/client/get_client_info.json", "body": "{\"status\": 0, \"error\": \"Broken.\"}", "times": -1})",
         "Broken."},
        {"transport", R"({"path": "/client/get_client_info.json", "reset": true, "times": -1})",
         "Failure when receiving data from the peer"},
        {"http", R"({"path": "/client/get_client_info.json", "http": 500, "body": "oops", "times": -1})",
         "The service answered with HTTP status 500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stub->reset();
        setAccount("Gamer", 0, "[" + desktop("Off") + "]");
        run([&](SelectionWindow& w) {
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << panelsOf(w);
            stub->control("clear_log");
            stub->control("fault", c.fault);
            onMain<int>([&] {
                w.playerApi().getClientInfo(nullptr);
                return 0;
            });
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "information"; })) << panelsOf(w);
            EXPECT_EQ(fromScreen<std::string>(
                          w, [](SelectOsState& s) { return s.informationTable()->titleLabel()->currentText(); }),
                      "Error");
            EXPECT_EQ(fromScreen<std::string>(
                          w, [](SelectOsState& s) { return s.informationTable()->textLabel()->currentText(); }),
                      c.text);
            if (std::string(c.name) == "service") screenshot(x, "error");
            stub->control("clear_faults");
            clickOn(x, w, [](SelectOsState& s) { return s.informationTable()->buttons().at(0).get(); });
            EXPECT_TRUE(x11test::waitUntil([&] { return !w.getWindow(); })) << "OK ends the player";
        });
    }
}

// The web service gone while the user starts the machine: the three attempts fail at once
// (no pause between them), and the information panel says why.
TEST_F(SelectionScreen, AStartThatFailsSaysWhyInTheInformationPanel) {
    setAccount("Gamer", 0, "[" + desktop("Off") + "]");
    run([&](SelectionWindow& w) {
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << describe(w);
        clickOn(x, w, [](SelectOsState& s) { return s.accessTable()->mainButton(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "plans"; })) << panelsOf(w);
        stub->control("clear_log");
        stub->control("fault", R"({"path": "/client/start_desktop.json", "reset": true, "times": -1})");
        clickOn(x, w, [](SelectOsState& s) { return s.planTable()->highColumn()->selectButton(); });
        ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "information"; })) << describe(w);
        EXPECT_EQ(count([&] {
                          std::string paths;
                          for (const LoggedRequest& r : stub->log()) paths += r.path + " ";
                          return paths;
                      }(),
                        "/client/start_desktop.json"),
                  3u);
        EXPECT_EQ(fromScreen<std::string>(
                      w, [](SelectOsState& s) { return s.informationTable()->titleLabel()->currentText(); }),
                  "Error");
        EXPECT_EQ(fromScreen<std::string>(
                      w, [](SelectOsState& s) { return s.informationTable()->textLabel()->currentText(); }),
                  "Failure when receiving data from the peer");
        screenshot(x, "start-failed");
        stub->control("clear_faults");
    });
}

TEST_F(SelectionScreen, TheOperationStateDecidesTheConnectionCheck) {
    setAccount("Gamer", 0, "[]");
    refuseAll = true;
    std::string log;
    const auto sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    log = testsupport::captureStdout([&] {
        run([&](SelectionWindow& w) {
            // No machine: nothing is built, and every frame says so.
            sleep(400);
            EXPECT_EQ(panelsOf(w), "");
            // The steps below drive the operation state by hand. The machine poll would end a
            // start on its own (the stand-in's machine is running), so it is turned off, and
            // the account fetch queued behind a poll in flight tells when none is left.
            std::atomic<bool> fetched{false};
            struct Flag : TaskBase {
                explicit Flag(std::atomic<bool>& f) : TaskBase(false), flag(f) {}
                bool run() override { return flag = true; }
                std::atomic<bool>& flag;
            };
            setDesktops("[" + desktop("On") + "]");
            onMain<int>([&] {
                w.playerApi().monitorAllVmStatus(false);
                w.playerApi().getClientInfo(std::make_shared<Flag>(fetched));
                return 0;
            });
            ASSERT_TRUE(x11test::waitUntil([&] { return fetched.load(); }));
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << panelsOf(w);
            ClientState& model = w.clientState();
            const auto checks = [&] { return fromScreen<bool>(w, [](SelectOsState& s) { return s.connectionCheck() != nullptr; }); };

            // A start that fails: no check; the state is back to idle and the panels are rebuilt.
            model.compareAndSetVmOperationState(kVmStarting, kVmIdle);
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "loading"; })) << panelsOf(w);
            model.setVmOperationState(kVmFailed);
            ASSERT_TRUE(x11test::waitUntil([&] { return model.getVmOperationState() == kVmIdle; }));
            EXPECT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "access"; })) << panelsOf(w);
            // The rebuild is done (a rebuild during the next start would take it back).
            EXPECT_TRUE(x11test::waitUntil(
                [&] { return !fromScreen<bool>(w, [](SelectOsState& s) { return s.rebuildRequested(); }); }));
            EXPECT_FALSE(checks());

            // Continue before a data centre was chosen does nothing.
            onMain<int>([&] {
                std::lock_guard<std::recursive_mutex> lock(w.guiLock());
                w.Command(kCommandConfirmDatacenter);
                return 0;
            });
            sleep(200);
            EXPECT_EQ(panelsOf(w), "access");

            // A start that ends: one check.
            std::printf("-- start ends\n");
            model.compareAndSetVmOperationState(kVmStarting, kVmIdle);
            ASSERT_TRUE(x11test::waitUntil([&] { return panelsOf(w) == "loading"; })) << panelsOf(w);
            model.setVmOperationState(kVmIdle);
            EXPECT_TRUE(x11test::waitUntil(checks));

            // Opening again while a check runs: the new one starts before the old one goes.
            std::printf("-- open again\n");
            onMain<int>([&] {
                std::lock_guard<std::recursive_mutex> lock(w.guiLock());
                w.Command(kCommandStartConnectionCheck);
                return 0;
            });
            sleep(200);
            std::printf("-- end\n");
        });
    });
    refuseAll = false;
    // The steps above print their failures into the captured output: show it when a step
    // did not get as far as its marker.
    for (const char* marker : {"-- start ends", "-- open again", "-- end"})
        ASSERT_NE(log.find(marker), std::string::npos) << "stopped before \"" << marker << "\":\n" << log;
    EXPECT_GE(count(log, "]: Empty vms!\n"), 2u) << "logged at every frame while there is no machine";
    EXPECT_NE(log.find("[E]["), std::string::npos);
    const std::string failed = log.substr(0, log.find("-- start ends"));
    EXPECT_EQ(count(failed, "ConnectionTester begin testing connection"), 0u) << "no check after a failed start";
    const std::string ended = log.substr(log.find("-- start ends"), log.find("-- open again") - log.find("-- start ends"));
    EXPECT_EQ(count(ended, "ConnectionTester begin testing connection"), 1u);
    EXPECT_EQ(count(ended, "ConnectionTester finish"), 0u);
    const std::string again = log.substr(log.find("-- open again"), log.find("-- end") - log.find("-- open again"));
    const std::size_t begin = again.find("ConnectionTester begin testing connection");
    const std::size_t finish = again.find("ConnectionTester finish");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(finish, std::string::npos);
    EXPECT_LT(begin, finish) << "the replacement is made before the running check is destroyed";
}

// Events from the facade's worker may be under way when the screen goes (the switch to the
// stream): a call that has begun is waited out, so it never reaches a screen that is gone.
namespace {

struct HeldEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    std::vector<std::string> log;
    void record(const char* what) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(what);
    }
};
HeldEvent* heldEvent = nullptr;

// The real screen, whose event handlers first wait until the test lets them go on.
class HeldSelectOs : public SelectOsState {
public:
    using SelectOsState::SelectOsState;
    void onEvent(ClientStateEvents event) override {
        hold();
        SelectOsState::onEvent(event);
        heldEvent->record("event handled");
    }
    void onEvent(PlayerApiEvents event) override {
        hold();
        SelectOsState::onEvent(event);
        heldEvent->record("event handled");
    }

private:
    static void hold() {
        std::unique_lock<std::mutex> lock(heldEvent->mutex);
        heldEvent->entered = true;
        heldEvent->changed.notify_all();
        heldEvent->changed.wait(lock, [] { return heldEvent->released; });
    }
};

}  // namespace

TEST(SelectOsState, GoingAwayWaitsOutAnEventAlreadyUnderWay) {
    const struct {
        const char* name;
        std::function<void(PlayerMainWindow&)> raise;
    } sources[] = {
        // The model announces under its own lock, the facade with no lock held.
        {"account model", [](PlayerMainWindow& w) { w.clientState().notify(kDesktopsChanged); }},
        {"web facade", [](PlayerMainWindow& w) { w.playerApi().notify(kPlayerApiTaskError); }},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.name);
        HeldEvent held;
        heldEvent = &held;
        PlayerMainWindow window(fastTimings());  // never opened
        // Without a screen the window would open its error popup.
        window.playerApi().removeListener(&window);
        auto* screen = new HeldSelectOs(&window, kCommandSelectionScreen);
        std::thread worker([&] { source.raise(window); });
        {
            std::unique_lock<std::mutex> lock(held.mutex);
            held.changed.wait(lock, [&] { return held.entered; });
        }
        std::atomic<bool> gone{false};
        std::thread render([&] {
            delete screen;
            held.record("screen gone");
            gone = true;
        });
        // A screen that did not wait would be gone while the call is still held; the call
        // is let go once it is, or after a while.
        for (int i = 0; i < 60 && !gone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        {
            std::lock_guard<std::mutex> lock(held.mutex);
            held.released = true;
        }
        held.changed.notify_all();
        worker.join();
        render.join();
        EXPECT_EQ(held.log, (std::vector<std::string>{"event handled", "screen gone"}));
        heldEvent = nullptr;
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    return RUN_ALL_TESTS();
}
