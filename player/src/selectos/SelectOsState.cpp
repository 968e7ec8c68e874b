#include "player/selectos/SelectOsState.h"

#include "core/Folders.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "core/ThreadPool.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/BackgroundVideoWidget.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PostMessageUITask.h"
#include "player/PlayerMainWindow.h"
#include "player/selectos/CheckVmAndStartStream.h"
#include "player/selectos/InformationTable.h"
#include "player/selectos/LoadingTable.h"
#include "player/selectos/PlanTable.h"
#include "player/selectos/SelectDCTable.h"
#include "player/selectos/SingleVMAccessTable.h"
#include "player/selectos/TrialEndedTable.h"
#include "shell/GLFWMessageThread.h"
#include "webapi/RequestParams.h"

#include "selectos/SelectOsMachine.h"

namespace {

constexpr int kFixedWidgetsZ = -200;
constexpr int kPanelsZ = -200;
constexpr Rect kNoImage{0, 0, -1, -1};
constexpr Rect kAccountImage{43, 199, 34, 34};
constexpr Rect kAccountHoverImage{43, 235, 34, 34};
constexpr Rect kLogoImage{1, 131, 140, 30};
constexpr int kSideMargin = 50;
constexpr int kEdgeMargin = 20;

std::string text(const char* key) { return LanguageStore::instance().text(key); }

// GLFW changes the cursor mode only on the main thread; the panels are built on the
// render thread.
class UnlockCursorMessage : public GLFWThreadMessage {
public:
    explicit UnlockCursorMessage(PlayerMainWindow* window) : window_(window) {}
    void run() override { window_->setCursorLocked(false); }

private:
    PlayerMainWindow* window_;
};

}  // namespace

SelectOsState::SelectOsState(PlayerMainWindow* window, int commandId, std::chrono::milliseconds checkRetryDelay)
    : PlayerWindowState(window, commandId),
      gui_(window->playerGUI()),
      statusText_(text("text_select_os_loading")),
      checkRetryDelay_(checkRetryDelay) {
    window->setApiErrorsShownByScreen(true);
    window->clientState().addListener(this);
    window->playerApi().addListener(this);
    operationCommands_ = {{kVmCreating, kCommandStatusStarting},   {kVmStarting, kCommandStatusLoading},
                          {kVmDeleting, kCommandStatusDeleted},    {kVmStopping, kCommandStatusShuttingDown},
                          {kVmStoppingOther, kCommandStatusNothing}, {kVmFetchingAccount, kCommandStatusPullingAccount}};
}

SelectOsState::~SelectOsState() {
    // A poll or an error that the facade's worker announces while the screen goes (the
    // switch to the stream) must not reach a screen that is gone.
    window_->clientState().removeListenerAndWait(static_cast<IListenerBase<ClientStateEvents>*>(this));
    window_->playerApi().removeListenerAndWait(static_cast<IListenerBase<PlayerApiEvents>*>(this));
    window_->setApiErrorsShownByScreen(false);
    connectionCheck_.reset();
    mainWidgets_.clear();
}

void SelectOsState::postCommand(int id) { window_->postCommand(id); }

void SelectOsState::setVisible(Widget* widget, bool visible) {
    if (widget) gui_->setVisible(widget, visible);
}

bool SelectOsState::isVisible(const Widget* widget) const { return widget && widget->isVisible(); }

int SelectOsState::allocateCommandId() { return window_->allocateCommandId(); }

// ---- enter, leave, frame ----

bool SelectOsState::enter() {
    PlayerGUI* gui = gui_;
    background_ = std::make_unique<BackgroundVideoWidget>(gui, joinPath(getLibFolder(), "background.ts"));
    background_->InitRenderImplementation();

    informationTable_ = std::make_shared<InformationTable>(window_);
    loadingTable_ = std::make_shared<LoadingTable>(window_);
    setVisible(loadingTable_.get(), false);
    loadingTable_->setStatus(text("text_selectos_pulling_acc"));
    loadingTable_->z = kFixedWidgetsZ;
    loadingTable_->propagateZOrder();

    AbstractSurface* atlas = gui->getSurface("selectos");
    accountButton_ = std::make_shared<ImageButton>(gui, kCommandSelectionAccountPage, atlas, kAccountImage,
                                                   kAccountHoverImage, kNoImage, kNoImage);
    accountButton_->setMargins(kSideMargin, 0, 0, kEdgeMargin);
    accountButton_->horizontalAlign = 1;
    accountButton_->verticalAlign = 2;
    accountButton_->z = kFixedWidgetsZ;

    versionLabel_ = std::make_shared<Static>(gui, "v" + getVersionString(), 0, gui->getFont("selectos-caption"));
    versionLabel_->setMargins(0, 0, kSideMargin, kEdgeMargin);
    versionLabel_->horizontalAlign = 2;
    versionLabel_->verticalAlign = 2;
    gui->setEnabled(versionLabel_.get(), false);
    versionLabel_->z = kFixedWidgetsZ;

    logoButton_ = std::make_shared<ImageButton>(gui, kCommandNone, atlas, kLogoImage, kNoImage, kNoImage, kNoImage);
    logoButton_->setMargins(kSideMargin, kEdgeMargin, 0, 0);
    logoButton_->horizontalAlign = 1;
    logoButton_->verticalAlign = 1;
    gui->setEnabled(logoButton_.get(), false);
    logoButton_->z = kFixedWidgetsZ;

    PlayerApi& api = window_->playerApi();
    api.getClientInfo(std::make_shared<PostMessageUITask>(window_, kCommandNone));
    api.monitorAllVmStatus(true);
    api.getMessages(true, messagesPeriod_);
    window_->clientState().compareAndSetVmOperationState(kVmFetchingAccount, kVmIdle);
    syncOperationState();
    return true;
}

void SelectOsState::leave() {
    window_->playerApi().monitorAllVmStatus(false);
    if (background_) {
        background_->stop();
        background_.reset();
    }
}

bool SelectOsState::isFinished() { return window_->hasPendingState(); }

bool SelectOsState::update(std::recursive_mutex& guiLock) {
    std::lock_guard<std::recursive_mutex> lock(guiLock);
    if (background_) {
        if (AbstractGraphicsContext* context = window_->getGraphicsContext()) {
            int width = 0, height = 0;
            context->getFramebufferSize(&width, &height);
            background_->renderFrame(context, width, height);
        }
    }
    syncOperationState();
    if (rebuildRequested_) init();
    if (accountRefreshRequested_.exchange(false)) refreshAccount();
    if (statusChanged_) {
        if (!statusText_.empty() && loadingTable_) loadingTable_->setStatus(statusText_);
        postCommand(kCommandShowLoadingPanel);
        statusChanged_ = false;
    }
    if (errorPending_.exchange(false)) {
        std::string error;
        {
            std::lock_guard<std::mutex> errorLock(errorMutex_);
            error = errorText_;
        }
        informationTable_->setError(text("text_error"), error);
    }
    if (informationTable_->contentShown && !informationTable_->closeRequested && !informationTable_->isVisible())
        showInformation(true);
    if (reconnectAfterInformation_) {
        informationTable_->reconnectOnClose = true;
        reconnectAfterInformation_ = false;
    }
    return true;
}

// ---- the machine operation ----

void SelectOsState::syncOperationState() {
    ClientState& model = window_->clientState();
    std::int32_t current = model.getVmOperationState();
    if (awaitSettledMachine_ && accessTable_) {
        const DesktopInfo machine = accessTable_->getDesktop();
        const bool settled = selectos::operationForServerState(machine.state) == kVmIdle &&
                             (machine.isStopped() || machine.isEmpty() || selectos::isReachable(machine));
        if (settled) {
            model.setVmOperationState(kVmIdle);
            current = kVmIdle;
            awaitSettledMachine_ = false;
        }
    }
    if (current != lastOperationState_) {
        if ((lastOperationState_ == kVmCreating || lastOperationState_ == kVmStarting) && current != kVmFailed) {
            startConnectionCheck();
        } else {
            const auto it = operationCommands_.find(current);
            postCommand(it == operationCommands_.end() ? kCommandNoStatusText : it->second);
        }
        if (restartAfterStop_ && lastOperationState_ == kVmStopping && current == kVmIdle) {
            postCommand(kCommandShowPlans);
            restartAfterStop_ = false;
        }
        if (current == kVmFailed) {
            model.compareAndSetVmOperationState(kVmIdle, kVmFailed);
            rebuildRequested_ = true;
            current = kVmIdle;
        }
        lastOperationState_ = current;
    }
    if (loadingTable_ && loadingTable_->isVisible() &&
        (lastOperationState_ == kVmIdle || (lastOperationState_ == kVmFetchingAccount && rebuildRequested_)))
        setVisible(loadingTable_.get(), false);
}

void SelectOsState::startConnectionCheck() {
    // The new check is made before the old one goes, so a running check is replaced.
    auto check = std::make_shared<CheckVmAndStartStream>(window_, checkRetryDelay_);
    connectionCheck_ = std::move(check);
}

// ---- the panels ----

void SelectOsState::init() {
    ClientState& model = window_->clientState();
    const ClientInfo info = model.getClientInfo();
    if (info.desktops.empty()) {
        NIMBROSTA_LOG(50, "SelectOsState::init") << "Empty vms!";
        return;
    }
    if (window_->isCursorLocked()) GLFWApp::instance().post(new UnlockCursorMessage(window_));

    planTable_ = std::make_shared<PlanTable>(window_, gui_);
    accessTable_ = std::make_shared<SingleVMAccessTable>(window_, this, buttonWidth_, buttonHeight_);
    trialEndedTable_ = std::make_shared<TrialEndedTable>(gui_, buttonWidth_, buttonHeight_);
    accessTable_->setDesktops(info.desktops, info.userPlan);
    datacenterTable_ =
        std::make_shared<SelectDCTable>(window_, gui_, info.datacenters, this, buttonWidth_, buttonHeight_);
    for (Widget* panel : {static_cast<Widget*>(accessTable_.get()), static_cast<Widget*>(datacenterTable_.get()),
                          static_cast<Widget*>(trialEndedTable_.get()), static_cast<Widget*>(informationTable_.get())}) {
        panel->z = kPanelsZ;
        panel->propagateZOrder();
    }
    postCommand(kCommandLeaveFullscreen);
    refreshAccount();

    if (model.getVmOperationState() == kVmStarting) {
        model.compareAndSetVmOperationState(kVmIdle, kVmStarting);
        lastOperationState_ = kVmIdle;
    }

    // Which of the access and trial-ended panels the user gets. While the information panel
    // covers the screen both stay hidden and the choice is kept for when it closes.
    const bool informationUp = isVisible(informationTable_.get());
    const DesktopInfo machine = accessTable_->getDesktop();
    const int passing = selectos::operationForServerState(machine.state);
    bool accessWanted = false;
    bool trialEndedWanted = false;
    if (passing != kVmIdle) {
        model.compareAndSetVmOperationState(passing, kVmIdle);
        awaitSettledMachine_ = true;
    } else {
        trialEndedWanted = info.userPlan.userPlan == "Trial" && info.userPlan.minTrialRemaining == 0;
        accessWanted = !trialEndedWanted;
    }
    setVisible(accessTable_.get(), accessWanted && !informationUp);
    setVisible(trialEndedTable_.get(), trialEndedWanted && !informationUp);
    rebuildRequested_ = false;

    // The loading panel's saved bit survives a rebuild under the information panel.
    const bool loadingSaved = savedVisibility_.size() == 5 ? savedVisibility_[4] : false;
    mainWidgets_ = {planTable_.get(), accessTable_.get(), datacenterTable_.get(), trialEndedTable_.get(),
                    loadingTable_.get()};
    if (informationUp)
        savedVisibility_ = {false, accessWanted, false, trialEndedWanted, loadingSaved};
    else
        savedVisibility_ = {isVisible(planTable_.get()), isVisible(accessTable_.get()),
                            isVisible(datacenterTable_.get()), isVisible(trialEndedTable_.get()),
                            isVisible(loadingTable_.get())};
}

void SelectOsState::showInformation(bool on) {
    if (on) {
        savedVisibility_.resize(mainWidgets_.size());
        for (std::size_t i = 0; i < mainWidgets_.size(); ++i) savedVisibility_[i] = isVisible(mainWidgets_[i]);
        setVisible(informationTable_.get(), true);
        for (Widget* w : {static_cast<Widget*>(datacenterTable_.get()), static_cast<Widget*>(planTable_.get()),
                          static_cast<Widget*>(trialEndedTable_.get()), static_cast<Widget*>(accessTable_.get()),
                          static_cast<Widget*>(loadingTable_.get())})
            setVisible(w, false);
    } else {
        for (std::size_t i = 0; i < mainWidgets_.size() && i < savedVisibility_.size(); ++i)
            setVisible(mainWidgets_[i], savedVisibility_[i]);
        setVisible(informationTable_.get(), false);
    }
}

void SelectOsState::showLoading() {
    if (isVisible(informationTable_.get())) return;
    // With no operation under way the next frame hides the loading panel again, and the
    // panels hidden here would stay hidden: a fast account fetch ends before the status
    // command of its start arrives, after the rebuild has shown the access panel.
    if (window_->clientState().getVmOperationState() == kVmIdle) return;
    setVisible(logoButton_.get(), true);
    setVisible(accountButton_.get(), true);
    setVisible(versionLabel_.get(), true);
    for (Widget* w : {static_cast<Widget*>(datacenterTable_.get()), static_cast<Widget*>(planTable_.get()),
                      static_cast<Widget*>(trialEndedTable_.get()), static_cast<Widget*>(accessTable_.get())})
        setVisible(w, false);
    setVisible(loadingTable_.get(), true);
}

void SelectOsState::refreshAccount() {
    const ClientInfo info = window_->clientState().getClientInfo();
    if (!accessTable_) return;
    accessTable_->setAccountInfo(static_cast<std::int32_t>(info.balance.accountBalance),
                                 static_cast<std::int32_t>(info.balance.nextCredit),
                                 static_cast<std::int32_t>(info.balance.usedStorage),
                                 static_cast<std::int32_t>(info.balance.totalStorage),
                                 info.userPlan.minTrialRemaining);
}

// ---- listeners ----

void SelectOsState::onClientStateEvent(ClientStateEvents event) {
    if (event == kClientInfoChanged) accountRefreshRequested_ = true;
    if (event == kDesktopsChanged) rebuildRequested_ = true;
}

void SelectOsState::onPlayerApiEvent(PlayerApiEvents event) {
    if (event != kPlayerApiTaskError) return;
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        errorText_ = window_->playerApi().getLastError(false);
    }
    errorPending_ = true;
}

// ---- commands and input ----

bool SelectOsState::onCommand(int id) {
    bool handled = true;
    const auto setStatus = [this](const char* key) {
        statusText_ = text(key);
        statusChanged_ = true;
    };
    switch (id) {
        case kCommandStatusLoading: setStatus("text_select_os_loading"); break;
        case kCommandStatusStarting: setStatus("text_select_os_starting"); break;
        case kCommandStatusShuttingDown: setStatus("text_select_os_shutdown"); break;
        case kCommandStatusDeleted: setStatus("text_select_os_deleted"); break;
        case kCommandStatusPullingAccount: setStatus("text_selectos_pulling_acc"); break;
        case kCommandReconnectAfterMessages: reconnectAfterInformation_ = true; break;
        case kCommandRestorePanels:
            // Also reaches the screen while it is still pending, before enter built the panel.
            if (informationTable_) {
                informationTable_->closeRequested = true;
                showInformation(false);
            }
            break;
        case kCommandShowLoadingPanel: showLoading(); break;
        case kCommandStartConnectionCheck:
            startConnectionCheck();
            window_->clientState().compareAndSetVmOperationState(kVmStarting, kVmIdle);
            break;
        case kCommandShowDatacenterChoice:
            setVisible(datacenterTable_.get(), true);
            setVisible(accessTable_.get(), false);
            break;
        case kCommandConfirmDatacenter:
            if (datacenterTable_ && datacenterTable_->isChosen()) postCommand(kCommandShowPlans);
            break;
        case kCommandShowPlans:
            setVisible(planTable_.get(), true);
            setVisible(accessTable_.get(), false);
            break;
        case kCommandPlansAfterStop: restartAfterStop_ = true; break;
        case kCommandCreateAndStartMachine:
            // A second click on a plan before the loading panel covers the plans.
            if (selectos::machineOperationUnderWay(window_->clientState())) break;
            setStatus("text_select_os_loading");
            window_->playerApi().createAndStartVm(std::make_shared<PostMessageUITask>(window_, kCommandNone));
            break;
        case kCommandSelectionAccountPage:
        case kCommandSelectionAccountPage2: window_->playerApi().openAccountPage(); break;
        default: handled = false; break;
    }
    if (const TaskPtr task = registeredTask(id)) return ThreadPool::execute(task.get());
    return handled;
}

bool SelectOsState::onMouseScroll(GLFWwindow*, double x, double y) {
    NIMBROSTA_LOG(0, "SelectOsState::onMouseScroll") << "scroll " << x << " " << y;
    if (y != 0 && datacenterTable_) datacenterTable_->scroll(static_cast<std::int32_t>(y));
    return true;
}
