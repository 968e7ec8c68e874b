// The access, data-centre, plan, loading and trial-ended panels of the machine-selection
// screen on the recording context, with a web facade signed in at the stand-in service:
// what each machine and plan shows, what a click posts or stores, and the exact requests
// that the settings menu sends.

#include "SelectOsTestSupport.h"

#include "FnTask.h"
#include "core/ConfigStore.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/SOSPopupTable.h"
#include "player-ui/menu/MenuButton.h"
#include "player/selectos/LoadingTable.h"
#include "player/selectos/PlanTable.h"
#include "player/selectos/SelectDCTable.h"
#include "player/selectos/SingleVMAccessTable.h"
#include "player/selectos/TrialEndedTable.h"

using playeruitest::Bench;
using selectostest::Commands;
using selectostest::FakeWindow;
using selectostest::text;

namespace {

DesktopInfo machine(const std::string& name, const std::string& state, const std::string& datacenter,
                    bool reachable = false, bool enabled = true) {
    DesktopInfo d;
    d.name = name;
    d.state = state;
    d.datacenter = datacenter;
    d.enabled = enabled;
    if (reachable) {
        d.ip = "127.0.0.1";
        d.port = 6666;
        d.streamerKey = "key";
    }
    return d;
}

UserPlan plan(const std::string& name, int minutes = 0) { return UserPlan{name, minutes}; }

class Panels : public StubServiceTest {
protected:
    void SetUp() override {
        StubServiceTest::SetUp();
        selectostest::loadTestTexts();
    }
    Bench bench{1280, 720};
    FakeWindow window{bench.gui.get()};
    Commands commands{window};
};

// The widgets of the access panel that are on screen, by name.
std::vector<std::string> shownParts(const SingleVMAccessTable& t) {
    const std::pair<const char*, const Widget*> named[] = {
        {"settings", t.settings()},         {"location", t.locationIcon()},   {"datacenter", t.datacenterLabel()},
        {"storageIcon", t.storageIcon()},   {"storage", t.storageLabel()},    {"startTrial", t.startTrialLabel()},
        {"main", t.mainButton()},           {"unlimited", t.unlimitedLabel()}, {"balance", t.balanceLabel()},
        {"charge", t.chargeLabel()},        {"trial", t.trialLabel()},        {"purchase", t.purchaseButton()},
    };
    std::vector<std::string> out;
    for (const auto& n : named)
        if (n.second && n.second->isVisible()) out.push_back(n.first);
    return out;
}

using Names = std::vector<std::string>;

// What a label shows, however its text was given.
std::string labelText(const Static* label) {
    std::string out;
    for (const TextSpan& span : label->richText().spans) out += span.text;
    return out;
}

}  // namespace

TEST_F(Panels, SingleVMAccessTableShowsWhatThePlanAndTheMachineAllow) {
    const struct {
        const char* plan;
        DesktopInfo desktop;
        const char* mainText;
        bool mainEnabled;
        bool restartEnabled;
        const char* purchaseText;  // null: no purchase row
        Names shown;
    } cases[] = {
        {"Pay As You Go", machine("Desktop", "Off", "eu"), "Start machine", true, false, "Purchase",
         {"settings", "location", "datacenter", "storageIcon", "storage", "main", "balance", "charge", "purchase"}},
        {"Gamer", machine("Desktop", "On", "eu", true), "Access machine", true, true, "Purchase",
         {"settings", "location", "datacenter", "storageIcon", "storage", "main", "balance", "charge", "purchase"}},
        {"Pay As You Go", machine("Desktop", "Empty", ""), "Create machine", true, false, "Purchase",
         {"main", "balance", "purchase"}},
        {"Gamer", machine("Desktop", "Starting", "eu"), "Access machine", false, true, "Purchase",
         {"settings", "location", "datacenter", "storageIcon", "storage", "main", "balance", "charge", "purchase"}},
        {"Gamer", machine("Desktop", "On", "eu", true, false), "Access machine", true, false, "Purchase",
         {"settings", "location", "datacenter", "storageIcon", "storage", "main", "balance", "charge", "purchase"}},
        {"Trial", machine("Desktop", "Empty", ""), "Create machine", true, false, nullptr, {"startTrial", "main"}},
        {"Trial", machine("Desktop", "Off", "eu"), "Start machine", true, false, "Upgrade",
         {"settings", "location", "datacenter", "main", "trial", "purchase"}},
        {"Unlimited", machine("Desktop", "Off", "eu"), "Start machine", true, false, "Purchase",
         {"settings", "location", "datacenter", "storageIcon", "storage", "main", "unlimited"}},
        {"Unlimited", machine("Desktop", "Empty", ""), "Create machine", true, false, "Purchase", {"main", "unlimited"}},
        // A plan the panel does not know offers nothing beyond the gear.
        {"Silver", machine("Desktop", "Off", "eu"), "Start machine", true, false, "Purchase", {"settings"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.plan) + " / " + c.desktop.state);
        SingleVMAccessTable table(&window, &commands, 270, 50);
        table.setDesktops({c.desktop}, plan(c.plan));
        bench.frame();
        EXPECT_EQ(table.mainButton()->text(), c.mainText);
        EXPECT_EQ(table.mainButton()->isEnabled(), c.mainEnabled);
        EXPECT_EQ(table.settings()->restartItem()->isEnabled(), c.restartEnabled);
        const Table::Cell* purchaseRow = table.cell(0, 3);
        if (c.purchaseText) {
            ASSERT_TRUE(purchaseRow && purchaseRow->widget == table.purchaseButton());
            EXPECT_EQ(table.purchaseButton()->text(), c.purchaseText);
        } else {
            EXPECT_TRUE(!purchaseRow || !purchaseRow->widget) << "a trial without a data centre has no purchase row";
        }
        EXPECT_EQ(shownParts(table), c.shown);
        bench.gui->setVisible(&table, false);
        EXPECT_TRUE(shownParts(table).empty());
    }
}

TEST_F(Panels, SingleVMAccessTableShowsTheWindowsMachineElseTheFirst) {
    for (const auto& c : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"Linux", "Windows"}, "Windows"}, {{"Linux", "Steam"}, "Linux"}}) {
        std::vector<DesktopInfo> list;
        for (const std::string& name : c.first) list.push_back(machine(name, "Off", "eu"));
        SingleVMAccessTable table(&window, &commands, 270, 50);
        table.setDesktops(list, plan("Gamer"));
        EXPECT_EQ(table.getDesktop().name, c.second);
    }
}

TEST_F(Panels, SingleVMAccessTableFormatsTheFigures) {
    SingleVMAccessTable table(&window, &commands, 270, 50);
    table.setDesktops({machine("Desktop", "Off", "eu")}, plan("Gamer"));
    table.setAccountInfo(12, 5, 7, 50, 125);
    EXPECT_EQ(table.balanceLabel()->currentText(), "balance 12");
    EXPECT_EQ(table.chargeLabel()->currentText(), "charge 5");
    EXPECT_EQ(table.storageLabel()->currentText(), "storage 7/50");
    EXPECT_EQ(table.trialLabel()->currentText(), "trial 2 h 5 min");
}

TEST_F(Panels, ATranslationWhoseFormatDoesNotFitShowsItsTextUnformatted) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("lang_bad.ini"),
                           "text_selectos_main_dorvik_computer=%d %n machine\n"
                           "text_selectos_memory=%s of %s\n"
                           "text_selectos_trial_ends_in=%d h\n"
                           "text_selectos_plan_table_cost=%s credit\n");
    ASSERT_TRUE(LanguageStore::instance().loadFile(dir.file("lang_bad.ini")));
    SingleVMAccessTable table(&window, &commands, 270, 50);
    table.setDesktops({machine("Desktop", "Off", "eu")}, plan("Gamer"));
    table.setAccountInfo(12, 5, 7, 50, 125);
    EXPECT_EQ(table.mainButton()->text(), "%d %n machine");
    EXPECT_EQ(labelText(table.storageLabel()), "%s of %s");
    EXPECT_EQ(labelText(table.trialLabel()), "2 h") << "an argument left over is harmless";
    PlanSubTable column(&window, bench.gui.get(), "High", 1, "fast", 60);
    EXPECT_EQ(labelText(column.costLabel()), "%s credit");
    selectostest::loadTestTexts();
}

TEST_F(Panels, TheMainButtonLeadsToTheDatacentresThePlansOrTheConnectionCheck) {
    testsupport::TempDir dir;
    ConfigStore::instance().setPathAndLoad(dir.file("config.ini"));
    const struct {
        DesktopInfo desktop;
        int posted;
        bool tourAgain;
    } cases[] = {
        {machine("Desktop", "Empty", ""), kCommandShowDatacenterChoice, true},
        {machine("Desktop", "Off", "eu"), kCommandShowPlans, false},
        {machine("Desktop", "On", "eu", true), kCommandStartConnectionCheck, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop.state);
        ConfigStore::instance().set("Tutorial.MenuFinished", true, true);
        window.api.clientState.setDesktops({c.desktop});
        SingleVMAccessTable table(&window, &commands, 270, 50);
        table.setDesktops({c.desktop}, plan("Gamer"));
        bench.frame();
        bench.handler.commands.clear();
        window.takePosted();
        bench.clickOn(*table.mainButton());
        ASSERT_EQ(bench.handler.commands.size(), 1u);
        const int id = bench.handler.commands[0];
        EXPECT_GE(id, kFirstRunTimeCommandId);
        EXPECT_TRUE(commands.runRegisteredTask(id));
        EXPECT_EQ(window.takePosted(), std::vector<int>{c.posted});
        EXPECT_EQ(window.api.clientState.getSelectedDesktop().name, "Desktop");
        EXPECT_EQ(ConfigStore::instance().get<bool>("Tutorial.MenuFinished", "1"), !c.tourAgain);
    }
}

TEST_F(Panels, RestartAndDeletePostTheirStatusAtOnceAndSendTheExactRequests) {
    ASSERT_TRUE(selectostest::signIn(*stub, window));
    const std::string token = selectostest::tokenOf(*stub, "user@example.com", "tarnhold_token");
    const struct {
        bool restart;
        int posted;
        std::string path;
    } cases[] = {
        {true, kCommandStatusShuttingDown, "/client/stop_desktop.json"},
        {false, kCommandStatusDeleted, "/client/delete_desktop.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SingleVMAccessTable table(&window, &commands, 270, 50);
        table.setDesktops({machine("Desktop 1", "On", "eu-central", true)}, plan("Gamer"));
        bench.frame();
        Settings& settings = *table.settings();
        EXPECT_FALSE(settings.isMenuOpen());
        bench.clickOn(*settings.gearButton());
        bench.frame();
        ASSERT_TRUE(settings.isMenuOpen());
        ASSERT_TRUE(settings.restartItem()->isVisible());
        bench.frame();
        EXPECT_TRUE(settings.isMenuOpen()) << "the open menu stays while the gear has the focus";
        EXPECT_GT(settings.restartItem()->y, settings.gearButton()->y + settings.gearButton()->height);
        EXPECT_GT(settings.deleteItem()->y, settings.restartItem()->y);

        window.takePosted();
        stub->control("clear_log");
        // The web request is held back, so the status command must come before it.
        stub->delay(c.path, 0.5);
        Widget& item = c.restart ? *static_cast<Widget*>(settings.restartItem()) : *settings.deleteItem();
        bench.clickOn(item);
        EXPECT_EQ(window.posted(), std::vector<int>{c.posted});
        // The operation shows in the model at once; a second click asks for nothing more.
        EXPECT_EQ(window.api.clientState.getVmOperationState(), c.restart ? kVmStopping : kVmDeleting);
        bench.clickOn(item);
        EXPECT_EQ(window.posted(), std::vector<int>{c.posted});
        EXPECT_TRUE(selectostest::waitFor([&] { return !stub->log().empty(); }));
        const std::string target = stub->log().at(0).target;
        ASSERT_EQ(target.rfind(c.path + "?", 0), 0u) << target;
        EXPECT_EQ(selectostest::afterVersionHash(target.substr(c.path.size() + 1)),
                  "&tarnhold_token=" + token + "&vm_name=Desktop%201");
        stub->control("clear_faults");
        // A request queued behind this one would have reached the service by now.
        std::atomic<bool> drained{false};
        window.api.post(std::make_shared<testsupport::FnTask>([&] { return drained = true; }));
        ASSERT_TRUE(selectostest::waitFor([&] { return drained.load(); }));
        EXPECT_EQ(stub->log().size(), 1u);
        // The machine poll of the screen would end the operation once the machine settled.
        window.api.clientState.setVmOperationState(kVmIdle);
    }
}

TEST_F(Panels, SelectDCTableStoresTheNameOfThePickAndContinuesOnlyAfterOne) {
    std::vector<DatacenterInfo> centres(3);
    centres[0] = DatacenterInfo{"Frankfurt", "eu-central", "DE", true, true};
    centres[1] = DatacenterInfo{"Virginia", "us-east", "US", false, true};
    centres[2] = DatacenterInfo{"Tokyo", "ap-east", "JP", false, false};
    SelectDCTable table(&window, bench.gui.get(), centres, &commands, 270, 50);
    bench.gui->setVisible(&table, true);
    bench.frame();
    ASSERT_EQ(table.entryButtons().size(), 3u);
    EXPECT_TRUE(table.entryButtons()[0]->isEnabled());
    EXPECT_FALSE(table.entryButtons()[2]->isEnabled()) << "an unavailable data centre cannot be picked";
    EXPECT_EQ(table.entryButtons()[1]->text(), "Virginia");

    // Continue before a pick: the command goes out, the panel stays.
    bench.handler.commands.clear();
    bench.clickOn(*table.continueButton());
    bench.frame();
    EXPECT_EQ(bench.handler.commands, std::vector<int>{kCommandConfirmDatacenter});
    EXPECT_FALSE(table.isChosen());
    EXPECT_TRUE(table.isVisible());

    // The list open: the bottom text goes and continue ignores the mouse.
    bench.clickOn(*table.popupList()->valueButton);
    bench.frame();
    ASSERT_TRUE(table.popupList()->isListVisible());
    bench.frame();
    EXPECT_FALSE(table.bottomText()->isVisible());
    EXPECT_TRUE(table.continueButton()->ignoreMouse);

    // The second entry: its name goes to the model, its display name to the chooser.
    bench.handler.commands.clear();
    bench.clickOn(*table.entryButtons()[1]);
    ASSERT_EQ(bench.handler.commands.size(), 1u);
    EXPECT_TRUE(commands.runRegisteredTask(bench.handler.commands[0]));
    EXPECT_TRUE(table.isChosen());
    EXPECT_EQ(window.api.clientState.getSelectedDatacenter(), "us-east");
    EXPECT_EQ(table.popupList()->valueButton->text(), "Virginia");
    bench.frame();
    EXPECT_FALSE(table.popupList()->isListVisible());
    EXPECT_TRUE(table.bottomText()->isVisible());
    EXPECT_FALSE(table.continueButton()->ignoreMouse);

    // An index outside the list changes nothing.
    table.onIndexSelected(7);
    table.onIndexSelected(-1);
    EXPECT_EQ(window.api.clientState.getSelectedDatacenter(), "us-east");
    EXPECT_EQ(table.popupList()->valueButton->text(), "Virginia");

    bench.clickOn(*table.continueButton());
    bench.frame();
    EXPECT_FALSE(table.isVisible()) << "continue after a pick hides the panel";
}

TEST_F(Panels, PlanTableStoresTheLowerCaseNameAndStartsTheMachine) {
    PlanTable table(&window, bench.gui.get());
    bench.gui->setVisible(&table, true);
    bench.frame();
    bench.frame();
    EXPECT_EQ(table.highColumn()->selectButton()->y, table.ultraColumn()->selectButton()->y);
    EXPECT_LT(table.highColumn()->selectButton()->x, table.ultraColumn()->selectButton()->x);
    EXPECT_EQ(table.z, PlanTable::kZOrder);
    EXPECT_EQ(table.highColumn()->selectButton()->z, PlanTable::kZOrder);
    const struct {
        PlanSubTable* column;
        const char* title;
        const char* stored;
        const char* cost;
    } cases[] = {
        {table.highColumn(), "High", "high", "1 credit"},
        {table.ultraColumn(), "Ultra", "ultra", "2 credits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(labelText(c.column->titleLabel()), c.title);
        EXPECT_EQ(labelText(c.column->costLabel()), c.cost);
        window.takePosted();
        bench.clickOn(*c.column->selectButton());
        bench.frame();
        EXPECT_EQ(window.api.clientState.getSelectedPlan(), c.stored);
        EXPECT_EQ(window.takePosted(), std::vector<int>{kCommandCreateAndStartMachine});
    }
}

TEST_F(Panels, LoadingTableFollowsTheMachineUnlessItShowsTheAccountText) {
    LoadingTable table(&window);
    const struct {
        const char* state;
        const char* status;
    } cases[] = {
        {"Creating", "Creating"}, {"Deleting", "Deleting"}, {"Starting", "Starting"},
        {"Stopping", "Stopping"}, {"On", "Loading"},        {"Off", "Loading"},
    };
    bench.gui->setVisible(&table, true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        window.api.clientState.setDesktops({machine("Linux", "Off", "eu"), machine("Windows", c.state, "eu")});
        bench.frame();
        EXPECT_EQ(table.statusLabel()->currentText(), c.status);
    }
    table.setStatus(text("text_selectos_pulling_acc"));
    window.api.clientState.setDesktops({machine("Windows", "Creating", "eu")});
    bench.frame();
    EXPECT_EQ(table.statusLabel()->currentText(), "Pulling the account");
}

TEST_F(Panels, LoadingTableShowsOneTipPerShowingAndAsksForTheNext) {
    ASSERT_TRUE(selectostest::signIn(*stub, window));
    window.api.clientState.setTip("");
    LoadingTable table(&window);
    bench.gui->setVisible(&table, true);
    stub->control("clear_log");
    window.api.clientState.setTip("");
    bench.frame();
    EXPECT_EQ(labelText(table.tipLabel()), ".") << "an empty tip leaves the line";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto tipRequests = [&] {
        int n = 0;
        for (const LoggedRequest& r : stub->log()) n += r.path == "/api/v1/get_tip.json";
        return n;
    };
    const int before = tipRequests();
    window.api.clientState.setTip("Press F11");
    bench.frame();
    EXPECT_EQ(labelText(table.tipLabel()), "tip: Press F11");
    EXPECT_TRUE(selectostest::waitFor([&] { return tipRequests() == before + 1; })) << "the next tip is asked for";
    bench.frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(tipRequests(), before + 1) << "one tip per showing";
    EXPECT_EQ(table.animation()->frames().size(), 29u);
    EXPECT_TRUE(table.animation()->isLooping());
}

TEST_F(Panels, TrialEndedTableOffersTheUpgrade) {
    TrialEndedTable table(bench.gui.get(), 270, 50);
    bench.frame();
    EXPECT_EQ(table.upgradeButton()->text(), "Upgrade");
    bench.handler.commands.clear();
    bench.clickOn(*table.upgradeButton());
    EXPECT_EQ(bench.handler.commands, std::vector<int>{kCommandSelectionAccountPage});
    bench.gui->setVisible(&table, false);
    EXPECT_FALSE(table.upgradeButton()->isVisible());
}
