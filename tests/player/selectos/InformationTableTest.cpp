// The information panel with a web facade signed in at the stand-in service: a message is
// taken once, each action button runs its steps in order against the service (dismiss, open
// the page, call the URLs, fetch the messages, restore the panels), and an error shows with
// one OK button that ends the player.

#include "SelectOsTestSupport.h"

#include "RecordingUrlOpener.h"
#include "core/Utf8.h"
#include "gui/Button.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/selectos/InformationTable.h"

using playeruitest::Bench;
using selectostest::FakeWindow;

namespace {

class InformationPanel : public StubServiceTest {
protected:
    void SetUp() override {
        StubServiceTest::SetUp();
        selectostest::loadTestTexts();
    }
    void setMessages(const std::string& json) {
        stub->control("set_account", R"({"email": "user@example.com", "messages": )" + json + "}");
    }
    // Signs in and waits until the model holds n messages.
    void signInWithMessages(std::size_t n) {
        ASSERT_TRUE(selectostest::signIn(*stub, window));
        window.api.getMessages(true, 60000);
        ASSERT_TRUE(selectostest::waitFor([&] { return window.api.clientState.messageCount() == n; }));
    }
    Bench bench{1280, 720};
    FakeWindow window{bench.gui.get()};
};

std::vector<std::string> pathsAfter(StubService& stub, const std::string& first) {
    std::vector<std::string> out;
    bool on = false;
    for (const LoggedRequest& r : stub.log()) {
        on = on || r.path == first;
        if (on) out.push_back(r.method + " " + r.path);
    }
    return out;
}

}  // namespace

TEST_F(InformationPanel, AnActionRunsItsStepsInOrderAndRestoresThePanels) {
    setMessages(R"([{"id": 7, "title": "Maintenance", "body": "Tonight from 2 to 4.",
                    "actions": [{"url": "/clients/new", "url_get": "", "url_post": "/action/ack", "text": "Read the details first"},
                                {"url": "", "url_get": "/action/later", "url_post": "", "text": "Later"},
                                {"url": "", "url_get": "", "url_post": "", "text": "OK"}]}])");
    signInWithMessages(1);
    testsupport::RecordingUrlOpener browser;
    InformationTable panel(&window);
    bench.frame();
    ASSERT_TRUE(panel.contentShown);
    EXPECT_EQ(panel.titleLabel()->currentText(), "Maintenance");
    EXPECT_EQ(panel.textLabel()->currentText(), "Tonight from 2 to 4.");
    ASSERT_EQ(panel.buttons().size(), 3u);
    EXPECT_EQ(panel.buttons()[0]->text(), "Read the details first");
    ASSERT_NE(panel.buttonsBlock(), nullptr);
    EXPECT_EQ(panel.buttonsBlock()->columns(), 3u);
    bench.gui->setVisible(&panel, true);
    bench.frame();
    // The spacing is the gap between the frames, which reach beyond the buttons' rectangles.
    EXPECT_EQ((panel.buttons()[1]->x - Button::kFrameOutset) -
                  (panel.buttons()[0]->x + panel.buttons()[0]->width + Button::kFrameOutset),
              InformationTable::kButtonSpacing);
    // Each button holds its text with a margin, the long one too; short ones keep the
    // default width.
    for (const auto& b : panel.buttons()) {
        int textWidth = 0, textHeight = 0;
        ASSERT_TRUE(bench.ctx.measureText(utf8ToCodePoints(b->text()), 0, -1, b->font(), &textWidth, &textHeight, 0));
        EXPECT_GE(b->width, textWidth + 2 * InformationTable::kButtonTextMargin) << b->text();
        EXPECT_GE(b->width, Button::kDefaultWidth) << b->text();
    }
    EXPECT_GT(panel.buttons()[0]->width, Button::kDefaultWidth);

    // The same message offered again is not queued again.
    bench.frame();
    EXPECT_TRUE(panel.pendingMessages().empty());

    stub->control("clear_log");
    window.takePosted();
    bench.clickOn(*panel.buttons()[0]);
    ASSERT_TRUE(selectostest::waitFor([&] { return !window.posted().empty(); }));
    EXPECT_EQ(window.posted(), std::vector<int>{kCommandRestorePanels});
    EXPECT_EQ(pathsAfter(*stub, "/client/dismiss_message.json"),
              (std::vector<std::string>{"POST /client/dismiss_message.json", "POST /action/ack",
                                        "GET /client/get_messages.json"}));
    EXPECT_EQ(browser.waitForUrl(), stub->baseUrl() + "/clients/new");
    EXPECT_NE(stub->log().at(0).query.find("id=7"), std::string::npos);

    // The screen closes the content on 108; nothing else waits, so nothing is laid out.
    panel.closeRequested = true;
    panel.reconnectOnClose = true;
    window.takePosted();
    bench.frame();
    EXPECT_FALSE(panel.contentShown);
    EXPECT_TRUE(panel.buttons().empty());
    EXPECT_EQ(window.takePosted(), std::vector<int>{kCommandStartConnectionCheck})
        << "armed by 106, the close starts the connection check";
    bench.frame();
    EXPECT_TRUE(window.takePosted().empty()) << "once";
}

TEST_F(InformationPanel, AnErrorShowsWhenNoMessageWaitsAndItsOkEndsThePlayer) {
    InformationTable panel(&window);
    bench.frame();
    EXPECT_FALSE(panel.contentShown) << "no message and no error: nothing is built";
    EXPECT_EQ(panel.buttonsBlock(), nullptr);

    panel.setError("Error", "The service did not answer.");
    bench.frame();
    ASSERT_TRUE(panel.contentShown);
    EXPECT_EQ(panel.titleLabel()->currentText(), "Error");
    EXPECT_EQ(panel.textLabel()->currentText(), "The service did not answer.");
    ASSERT_EQ(panel.buttons().size(), 1u);
    EXPECT_EQ(panel.buttons()[0]->text(), "OK");
    bench.gui->setVisible(&panel, true);
    bench.frame();
    window.takePosted();
    bench.clickOn(*panel.buttons()[0]);
    EXPECT_EQ(window.takePosted(), std::vector<int>{kCommandExit});

    // The error stays stored: closed, it is laid out again.
    panel.closeRequested = true;
    bench.frame();
    EXPECT_FALSE(panel.contentShown);
    bench.frame();
    EXPECT_TRUE(panel.contentShown);
}
