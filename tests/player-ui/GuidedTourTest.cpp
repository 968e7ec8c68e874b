// The guided tour on the recording context: pages registered by widgets, shown one after
// the other by the callout's button, their on-show and skip commands, the tour waiting
// behind dialogs and dialogs waiting behind it, its end when the in-stream screen goes, and
// the callout's placement by its anchor.

#include "DialogWindowBench.h"

#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/TutorialButton.h"
#include "player-ui/TutorialPopup.h"

#include <gtest/gtest.h>

using playeruitest::DialogBench;
using playeruitest::labelText;
using Ids = std::vector<int>;

namespace {

// The widgets the in-stream screen and its menu register for pages 5 to 11, at fixed places
// of a 1280x720 window.
struct StreamAnchors {
    explicit StreamAnchors(DialogBench& bench) {
        PlayerGUI* gui = bench.gui.get();
        auto make = [gui](int x, int y, int w, int h) {
            auto b = std::make_shared<Button>(gui, "anchor", kCommandNone);
            b->x = x;
            b->y = y;
            b->width = w;
            b->height = h;
            return b;
        };
        toggle = make(600, 10, 80, 40);
        slider = make(15, 15, 245, 30);
        cursorLock = make(15, 200, 200, 35);
        credits = make(1000, 15, 260, 60);
        passThrough = make(700, 300, 250, 40);
        gui->registerTutorialTarget(5, 0, nullptr);
        gui->registerTutorialTarget(6, 2, toggle.get());
        gui->registerTutorialTarget(7, 3, slider.get());
        gui->registerTutorialTarget(8, 3, cursorLock.get());
        gui->registerTutorialTarget(9, 2, credits.get());
        gui->registerTutorialTarget(10, 4, passThrough.get());
        gui->registerTutorialTarget(11, 0, nullptr);
    }
    std::shared_ptr<Button> toggle, slider, cursorLock, credits, passThrough;
};

// Steps the tour with the callout's button, as the user does.
void clickNext(DialogBench& bench) {
    TutorialPopup* popup = bench.manager().tourPopup();
    ASSERT_NE(popup, nullptr);
    bench.clickOn(*popup->button->textButton);
}

}  // namespace

TEST(GuidedTour, StepsThroughTheRegisteredPagesAndEnds) {
    DialogBench bench;
    bench.send(kCommandStreamScreen);
    StreamAnchors anchors(bench);
    bench.takeSent();

    bench.send(kCommandTourNext);
    // Each page's on-show command is posted just before its callout appears.
    const struct {
        int page;
        Ids posted;
        const char* counter;
    } pages[] = {
        {5, {kCommandTourLockMenu}, ""},
        {6, {kCommandNone}, "1 of 5"},
        {7, {kCommandTourOpenMenu}, "2 of 5"},
        {8, {kCommandNone}, "3 of 5"},
        {9, {kCommandNone}, "4 of 5"},
        {10, {kCommandTourSettingsPage}, "5 of 5"},
        {11, {kCommandTourUnlockMenu, kCommandOpenMenu}, ""},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.page);
        bench.frame();
        TutorialPopup* popup = bench.manager().tourPopup();
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->page, p.page);
        EXPECT_TRUE(popup->isVisible());
        EXPECT_TRUE(bench.manager().isPopupVisible());
        EXPECT_TRUE(bench.manager().greyOutButton()->isVisible()) << "the callout is modal";
        EXPECT_EQ(bench.window.takePosted(), p.posted);
        EXPECT_EQ(labelText(*popup->leftLabel), p.counter);
        const bool ends = p.page == 5 || p.page == 11;
        EXPECT_EQ(popup->skipLabel->isVisible(), !ends);
        EXPECT_EQ(popup->button->arrowButton->isVisible(), !ends);
        EXPECT_EQ(popup->button->textButton->text(),
                  p.page == 5 ? "Start Tour" : p.page == 11 ? "End Tour" : "text_continue");
        bench.takeSent();
        clickNext(bench);
        EXPECT_EQ(bench.takeSent(), Ids{kCommandTourNext}) << "the button sends the next-page command once";
    }
    bench.frame();
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_FALSE(bench.manager().isTourRunning());
    EXPECT_TRUE(bench.window.takePosted().empty());
    EXPECT_FALSE(bench.manager().greyOutButton()->isVisible());
    EXPECT_EQ(bench.manager().retiredCount(), 0u);
}

TEST(GuidedTour, SkipEndsTheTourAndUnlocksTheMenu) {
    DialogBench bench;
    bench.send(kCommandStreamScreen);
    StreamAnchors anchors(bench);
    bench.send(kCommandTourNext);
    bench.send(kCommandTourNext);
    bench.send(kCommandTourNext);
    bench.frame();
    ASSERT_EQ(bench.manager().tourPopup()->page, 7);
    bench.window.takePosted();
    bench.clickOn(*bench.manager().tourPopup()->skipLabel);
    EXPECT_EQ(bench.window.runPosted(), (Ids{kCommandTourEnd, kCommandTourUnlockMenu}));
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_FALSE(bench.manager().isTourRunning());
    bench.send(kCommandTourEnd);  // a second end changes nothing
    EXPECT_FALSE(bench.manager().isTourRunning());
}

TEST(GuidedTour, DialogsAndTheTourWaitForEachOther) {
    DialogBench bench;
    bench.send(kCommandStreamScreen);
    StreamAnchors anchors(bench);

    // A tour started while a dialog is up waits for the last dialog to close.
    bench.send(kCommandRelativeMouseHelp);
    bench.send(kCommandTourNext);
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_TRUE(bench.manager().isTourRunning());
    bench.manager().closeDialog(12);
    ASSERT_NE(bench.manager().tourPopup(), nullptr);
    EXPECT_EQ(bench.manager().tourPopup()->page, 5);

    // Dialogs opened during the tour are queued but not shown.
    bench.send(kCommandPowerModeWarning);
    bench.send(kCommandSlowConnection);
    EXPECT_EQ(bench.manager().currentForm(), nullptr);
    EXPECT_EQ(bench.manager().queuedDialogs(), (Ids{0, 24}));
    // Close all during the tour drops them; the page stays.
    bench.send(kCommandCloseAllDialogs);
    EXPECT_TRUE(bench.manager().queuedDialogs().empty());
    ASSERT_NE(bench.manager().tourPopup(), nullptr);
    bench.send(kCommandTourNext);
    bench.send(kCommandPowerModeWarning);
    EXPECT_EQ(bench.manager().tourPopup()->page, 6);
    // When the tour ends, the waiting dialog comes up.
    bench.send(kCommandTourEnd);
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_EQ(bench.manager().shownDialog(), 0);
}

// A lost connection is said at once, over the tour of a stream that is not there; the
// tour goes on at its page once the stream is back (its first picture closes the
// connection dialogs).
TEST(GuidedTour, AConnectionDialogTakesThePlaceOfTheTourPageWhichComesBackAfterIt) {
    DialogBench bench;
    bench.send(kCommandStreamScreen);
    StreamAnchors anchors(bench);
    bench.send(kCommandTourNext);
    bench.send(kCommandTourNext);
    bench.send(kCommandRelativeMouseHelp);  // waits behind the tour
    bench.frame();
    ASSERT_EQ(bench.manager().tourPopup()->page, 6);

    bench.send(kCommandConnectionTimeout);
    bench.frame();
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_TRUE(bench.manager().isTourRunning());
    EXPECT_EQ(bench.manager().shownDialog(), 8);
    EXPECT_TRUE(bench.form().isVisible());
    bench.send(kCommandConnectionError);
    EXPECT_EQ(bench.manager().shownDialog(), 8) << "a second outcome waits behind the first";

    bench.window.takePosted();
    bench.send(kCommandCloseConnectionDialogs);
    bench.frame();
    EXPECT_EQ(bench.manager().shownDialog(), 12) << "the dialogs that waited come first";
    bench.manager().closeDialog(12);
    bench.frame();
    ASSERT_NE(bench.manager().tourPopup(), nullptr);
    EXPECT_EQ(bench.manager().tourPopup()->page, 6) << "the same page again";
    EXPECT_EQ(bench.window.takePosted(), (Ids{kCommandNone}));  // its on-show command once more
    bench.send(kCommandTourNext);
    EXPECT_EQ(bench.manager().tourPopup()->page, 7);

    // Leaving the stream while the tour waits ends it: nothing resumes on the next screen.
    bench.send(kCommandConnectionError);
    bench.send(kCommandBack);
    EXPECT_FALSE(bench.manager().isTourRunning());
    bench.send(kCommandStreamScreen);
    StreamAnchors again(bench);
    bench.send(kCommandPowerModeWarning);
    bench.manager().closeDialog(0);
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
}

TEST(GuidedTour, AMissingPageEndsTheTourAndRegistrationsFollowTheirRules) {
    DialogBench bench;
    bench.send(kCommandStreamScreen);
    auto anchor = std::make_shared<Button>(bench.gui.get(), "a", kCommandNone);
    bench.gui->registerTutorialTarget(5, 0, nullptr);
    bench.gui->registerTutorialTarget(6, 2, anchor.get());
    bench.gui->registerTutorialTarget(8, 3, anchor.get());
    bench.gui->registerTutorialTarget(12, 0, nullptr);
    EXPECT_EQ(bench.manager().tourPage(12), nullptr) << "pages above 11 are ignored";
    auto other = std::make_shared<Button>(bench.gui.get(), "b", kCommandNone);
    bench.gui->registerTutorialTarget(6, 3, other.get());
    ASSERT_NE(bench.manager().tourPage(6), nullptr);
    EXPECT_EQ(bench.manager().tourPage(6)->anchor, other.get()) << "a second registration replaces the first";
    EXPECT_EQ(bench.manager().tourPage(6)->kind, 3);

    bench.send(kCommandTourNext);
    bench.send(kCommandTourNext);
    ASSERT_NE(bench.manager().tourPopup(), nullptr);
    EXPECT_EQ(bench.manager().tourPopup()->page, 6);
    bench.send(kCommandTourNext);  // page 7 is not registered
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_FALSE(bench.manager().isTourRunning());

    // On the selection screen the range is 0..4, where nothing registers: the tour ends at once.
    bench.send(kCommandSelectionScreen);
    EXPECT_EQ(bench.manager().tourFirstPage(), 0);
    EXPECT_EQ(bench.manager().tourLastPage(), 4);
    bench.send(kCommandTourNext);
    EXPECT_EQ(bench.manager().tourPopup(), nullptr);
    EXPECT_FALSE(bench.manager().isTourRunning());
}

TEST(GuidedTour, LeavingTheStreamEndsTheTourAndForgetsItsAnchors) {
    for (int leave : {kCommandBack, kCommandSelectionScreen}) {
        SCOPED_TRACE(leave);
        DialogBench bench;
        bench.send(kCommandStreamScreen);
        auto anchors = std::make_unique<StreamAnchors>(bench);
        bench.send(kCommandTourNext);
        bench.send(kCommandTourNext);
        bench.frame();
        ASSERT_EQ(bench.manager().tourPopup()->page, 6);
        // A reconnection gave up (or the user went back): the screen and its menu go.
        bench.send(leave);
        EXPECT_EQ(bench.manager().tourPopup(), nullptr);
        EXPECT_FALSE(bench.manager().isTourRunning());
        for (int page = 6; page <= 10; ++page) EXPECT_EQ(bench.manager().tourPage(page), nullptr) << page;
        anchors.reset();
        bench.frame();  // nothing reads a freed anchor (ASan)
        bench.frame();
        EXPECT_EQ(bench.manager().retiredCount(), 0u);

        // The next stream screen registers again and its tour starts from page 5.
        bench.send(kCommandStreamScreen);
        StreamAnchors again(bench);
        bench.send(kCommandTourNext);
        ASSERT_NE(bench.manager().tourPopup(), nullptr);
        EXPECT_EQ(bench.manager().tourPopup()->page, 5);
    }
}

TEST(TutorialPopup, PlacesItselfByItsAnchor) {
    DialogBench bench;
    PlayerGUI* gui = bench.gui.get();
    auto anchor = std::make_shared<Button>(gui, "anchor", kCommandNone);
    anchor->x = 400;
    anchor->y = 300;
    anchor->width = 100;
    anchor->height = 40;
    struct Case {
        int page, kind;
        // Expected top left; kCentre: centred in the window on that axis.
        int x, y;
    };
    constexpr int kCentre = -99999;
    const Case cases[] = {
        {6, 2, kCentre, 300 + 40 + 30},        // below, centred horizontally in the window
        {6, 1, kCentre, -1},                    // above: y = 300 - 30 - h (checked below)
        {8, 3, 400 + 100 + 50, 300 - 30},      // right of the anchor, 30 above its top
        {10, 4, -2, 300},                       // left: x = 400 - 50 - w (checked below)
        {5, 0, kCentre, kCentre},               // no anchor: centred
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.page) + "/" + std::to_string(c.kind));
        TourPage page = bench.manager().tour(c.page);
        page.page = c.page;
        page.kind = c.kind;
        page.anchor = c.kind == 0 ? nullptr : anchor.get();
        PlayerGUILock lock(gui);
        TutorialPopup popup(gui, page);
        bench.frame();
        bench.frame();
        if (c.x == kCentre)
            EXPECT_NEAR(popup.x + popup.width / 2, 640, 1);
        else if (c.x == -2)
            EXPECT_EQ(popup.x, 400 - 50 - popup.width);
        else
            EXPECT_EQ(popup.x, c.x);
        if (c.y == kCentre)
            EXPECT_NEAR(popup.y + popup.height / 2, 360, 1);
        else if (c.y == -1)
            EXPECT_EQ(popup.y, 300 - 30 - popup.height);
        else
            EXPECT_EQ(popup.y, c.y);
    }
    {
        // A page that should point at a widget but was registered without one is centred
        // rather than reading a null anchor.
        TourPage page = bench.manager().tour(6);
        page.page = 6;
        page.kind = 2;
        page.anchor = nullptr;
        PlayerGUILock lock(gui);
        TutorialPopup popup(gui, page);
        bench.frame();
        bench.frame();
        EXPECT_EQ(popup.kind, 0);
        EXPECT_NEAR(popup.y + popup.height / 2, 360, 1);
    }
    // Page 9: 30 below the anchor, centred 50 to the left of the anchor's centre.
    TourPage page = bench.manager().tour(9);
    page.page = 9;
    page.kind = 2;
    page.anchor = anchor.get();
    PlayerGUILock lock(gui);
    TutorialPopup popup(gui, page);
    bench.frame();
    EXPECT_EQ(popup.y, 300 + 40 + 30);
    EXPECT_NEAR(popup.x + popup.width / 2, 450 - 50, 1);
}

TEST(TutorialPopup, PageWidthsFollowTheUiScale) {
    const struct {
        int page;
        float scale;
        int width;
    } cases[] = {
        {6, 1.0f, 450}, {6, 1.5f, 490}, {10, 1.0f, 480}, {10, 1.5f, 480}, {5, 1.25f, 550}, {0, 1.0f, 800},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PopupDialogManager::tour(c.page, c.scale, nullptr).contentWidth, c.width)
            << c.page << " at " << c.scale;
}
