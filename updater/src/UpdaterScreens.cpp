#include "updater/UpdaterScreens.h"

#include <algorithm>
#include <mutex>

#include "core/ConfigStore.h"
#include "core/LogLine.h"
#include "gui/Button.h"
#include "gui/Image.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "updater/UpdaterAPIJson.h"
#include "updater/UpdaterWindow.h"
#include "updater/UpdaterWindowTasks.h"

namespace updater {

namespace {

// Layout, in logical units below the logo's top (40).
constexpr int kLogoY = 40;
constexpr int kLabelGap = 90;          // label below the logo
constexpr int kErrorLabelGap = 50;     // the error screen's label sits higher
constexpr int kButtonRowGap = 150;     // the question buttons
constexpr int kProgressGap = 160;      // the percentage inside the ring
constexpr int kRingGap = 158;
constexpr int kAnswerWidth = 120;
constexpr int kAnswerHeight = 38;
constexpr int kAnswerSpacing = 60;
constexpr int kChoiceTextOffset = 15;
constexpr int kLabelButtonGap = 6;     // at least between a label's last line and a button's frame
constexpr int kLabelSideMargin = 8;    // a label's lines keep this far from the window's edges
constexpr float kChoiceIconScale = 0.5f;
const Rect kRing{433, 1, 61, 62};
const Rect kNone{-1, -1, -1, -1};

const char* const kLoadingText = "Loading...";
const char* const kFirewallQuestion =
    "Nimbrosta needs to create a firewall exception in order to run, would you like to continue?";
const char* const kInstallQuestion = "Would you like to install Nimbrosta?";
const char* const kCheckingText = "Checking updates...";
const char* const kConnectingFormat = "Connecting to %s and downloading updates, please wait...";
const char* const kReadyText = "Everything is ready";

std::mutex& choicesMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, WorkingFolderChoice>& choices() {
    static std::map<std::string, WorkingFolderChoice> table = [] {
        std::map<std::string, WorkingFolderChoice> t;
        t["user_install"] = WorkingFolderChoice{"Install", {467, 65, 32, 32}, 18};
        t["portable"] = WorkingFolderChoice{"Run Only", {433, 65, 32, 32}, 10};
        return t;
    }();
    return table;
}

std::shared_ptr<Image> makeLogo(PlayerGUI* gui, int w) {
    auto logo = std::make_shared<Image>(gui, gui->getSurface("logo"));
    logo->x = (w - logo->width) / 2;
    logo->y = kLogoY;
    return logo;
}

// A centred label across the window, wrapped with a margin on either side: a line as wide
// as the window would lose its first and last letters at the window's edges.
std::shared_ptr<Static> makeLabel(PlayerGUI* gui, const std::string& text, const char* font, int y, int w) {
    auto label = std::make_shared<Static>(gui, text, 2, gui->getFont(font));
    label->x = kLabelSideMargin;
    label->y = y;
    label->invalidate();
    label->width = w - 2 * kLabelSideMargin;
    label->relayout(gui->context());  // its height places what follows it
    return label;
}

// The top of the buttons under a label: where the screen's layout puts them, or lower when
// the label's lines reach further (a button's frame reaches above its rectangle).
int belowLabel(const Static& label, int y) {
    return std::max(y, label.y + label.height + kLabelButtonGap + Button::kFrameOutset);
}

std::shared_ptr<Button> makeAnswerButton(PlayerGUI* gui, const std::string& text, int x, int y,
                                         const std::shared_ptr<std::atomic<bool>>& answered,
                                         std::shared_ptr<TaskBase> task) {
    auto button = std::make_shared<Button>(gui, text, 0, gui->getFont("updater-bold"));
    button->width = kAnswerWidth;
    button->height = kAnswerHeight;
    button->x = x;
    button->y = y;
    button->setCommandTask(std::make_shared<ScreenAnswerTask>(answered, std::move(task)));
    return button;
}

}  // namespace

WorkingFolderChoice workingFolderChoice(const std::string& name) {
    std::lock_guard<std::mutex> lock(choicesMutex());
    return choices()[name];
}

LoadingState::LoadingState(UpdaterWindow* window) : WindowStateBase(window) {
    PlayerGUI* gui = window->getGUI();
    const int w = windowWidth();
    logo = makeLogo(gui, w);
    label = makeLabel(gui, kLoadingText, "default", logo->height + kLabelGap, w);
}

ErrorWindowState::ErrorWindowState(UpdaterWindow* window, const std::string& errorText) : WindowStateBase(window) {
    PlayerGUI* gui = window->getGUI();
    const int w = windowWidth();
    logo = makeLogo(gui, w);
    label = makeLabel(gui, errorText, "default", logo->height + kErrorLabelGap, w);
    exitButton = std::make_shared<Button>(gui, "Exit", 0, gui->getFont("default"));
    exitButton->x = (w - exitButton->width) / 2;
    exitButton->y = belowLabel(*label, logo->height + kLabelGap);
    exitButton->setCommandTask(std::make_shared<ScreenAnswerTask>(std::make_shared<std::atomic<bool>>(false),
                                                                  std::make_shared<ExitTask>(0, window)));
}

AddFirewallRuleState::AddFirewallRuleState(UpdaterWindow* window) : WindowStateBase(window) {
    PlayerGUI* gui = window->getGUI();
    const int w = windowWidth();
    logo = makeLogo(gui, w);
    label = makeLabel(gui, kFirewallQuestion, "updater-bold", logo->height + kLabelGap, w);
    auto startCheck = std::make_shared<StartCheckWorkingFolderTask>(window);
    auto startAdd = std::make_shared<StartAddFirewallRule>();
    startAdd->addOnSuccess(startCheck);
    auto answered = std::make_shared<std::atomic<bool>>(false);
    const int x = (w - (2 * kAnswerWidth + kAnswerSpacing)) / 2;
    const int y = belowLabel(*label, logo->height + kButtonRowGap);
    buttons.push_back(makeAnswerButton(gui, "Yes", x, y, answered, startAdd));
    buttons.push_back(makeAnswerButton(gui, "No", x + kAnswerWidth + kAnswerSpacing, y, answered, startCheck));
}

SelectWorkingDirState::SelectWorkingDirState(UpdaterWindow* window) : WindowStateBase(window) {
    PlayerGUI* gui = window->getGUI();
    const int w = windowWidth();
    logo = makeLogo(gui, w);
    label = makeLabel(gui, kInstallQuestion, "updater-bold", logo->height + kLabelGap, w);
    const std::vector<std::string> names = window->getApi().updateState.getUsableWorkingFolders();
    const int n = static_cast<int>(names.size());
    const int rowX = (w - (kAnswerWidth * n + kAnswerSpacing * (n - 1))) / 2;
    auto answered = std::make_shared<std::atomic<bool>>(false);
    for (int i = 0; i < n; ++i) {
        const WorkingFolderChoice choice = workingFolderChoice(names[i]);
        auto button = makeAnswerButton(gui, choice.text, rowX + (kAnswerWidth + kAnswerSpacing) * i,
                                       belowLabel(*label, logo->height + kButtonRowGap), answered,
                                       std::make_shared<SelectWorkingFolderTask>(window, names[i]));
        button->centerContent = 0;
        button->contentOffsetX = kChoiceTextOffset;
        if (choice.iconRect[2] >= 0)
            button->setIcon(gui->getSurface("updater"), choice.iconRect[0], choice.iconRect[1], choice.iconRect[2],
                            choice.iconRect[3], kChoiceIconScale, choice.iconGap);
        buttons.push_back(button);
    }
}

UpdateWindowState::UpdateWindowState(UpdaterWindow* window) : WindowStateBase(window) {
    PlayerGUI* gui = window->getGUI();
    const int w = windowWidth();
    logo = makeLogo(gui, w);
    statusLabel = makeLabel(gui, kCheckingText, "updater-bold", logo->height + kLabelGap, w);
    ring = std::make_shared<ImageButton>(gui, 0, gui->getSurface("updater"), kRing, kNone, kNone, kNone);
    progressLabel = makeLabel(gui, ".", "updater-bold", logo->height + kProgressGap, w);
    ring->centerAt(w / 2 - 2, logo->height + kRingGap + progressLabel->height / 2);
    window->getApi().updateState.addListener(this);
}

UpdateWindowState::~UpdateWindowState() { window->getApi().updateState.removeListener(this); }

std::string UpdateWindowState::serverForDisplay(std::string server) {
    for (const char* scheme : {"http://", "https://"}) {
        const std::size_t at = server.find(scheme);
        if (at != std::string::npos) server.erase(at, std::char_traits<char>::length(scheme));
    }
    return server;
}

std::string UpdateWindowState::statusText() const { return statusLabel->currentText(); }

std::string UpdateWindowState::progressText() const { return progressLabel->currentText(); }

bool UpdateWindowState::tick(double seconds) {
    bool acted = false;
    UpdaterApi& api = window->getApi();
    if (takeNotification("progress")) {
        progressLabel->setText(std::to_string(api.updateState.getProgressPercent()) + "%");
        progressLabel->invalidate();
        acted = true;
    }
    if (takeNotification("update_list")) {
        std::string server = api.updateState.getServer();
        if (server.empty()) server = getDefaultUpdateServer();
        statusLabel->setText(formatString(kConnectingFormat, serverForDisplay(server).c_str()));
        statusLabel->invalidate();
        acted = true;
    }
    if (takeNotification("all_downloaded")) {
        statusLabel->setText(kReadyText);
        statusLabel->invalidate();
        api.post(std::make_shared<ExitTask>(1, window));
        acted = true;
    }
    return WindowStateBase::tick(seconds) || acted;
}

void UpdateWindowState::onUpdateEvent(states::UpdateStateEvents event) {
    UpdaterApi& api = window->getApi();
    switch (event) {
        case states::ServerSelected:
            api.post(std::make_shared<StartUpdateTask>(window));
            break;
        case states::UpdateListStored:
            postNotification("update_list");
            api.startDownloads(api.updateState.getSelectedPath());
            resetTutorialsPending = true;
            break;
        case states::ProgressChanged:
            postNotification("progress");
            break;
        case states::FileWritten:
            if (resetTutorialsPending) {
                ConfigStore& config = ConfigStore::instance();
                config.set<bool>("Tutorial.SelectOsFinished", false, true);
                config.set<bool>("Tutorial.MenuFinished", false, true);
                resetTutorialsPending = false;
            }
            break;
        case states::AllFilesDone:
            resetTutorialsPending = false;
            postNotification("all_downloaded");
            break;
        default:
            break;
    }
}

}  // namespace updater
