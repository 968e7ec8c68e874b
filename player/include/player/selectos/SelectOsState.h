#pragma once
// The machine-selection screen: over the looping background clip it shows the user's
// machine and account (access panel, or the trial-ended panel when the trial has run out),
// lets the user create, start, open, stop or delete it with a data centre and a plan, shows
// service messages and web-service errors (information panel), and a loading panel with a
// status line while the service works. When a create or start has finished, or the user
// opens a running machine, it runs the connection check, whose success switches the window
// to the in-stream screen.
//
// What drives it: the account model's machine operation state (followed every frame with
// status commands and the connection check), the model's events (rebuild the panels,
// refresh the figures) and the facade's error event, and the commands of its panels.
//
// Threads: enter, leave, update and init on the render thread; onCommand and the wheel on
// the main thread; both under the window's GUI lock. The listeners run on the facade's
// worker and only set flags (and copy the error text under its own lock).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Listenable.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player/PlayerWindowState.h"
#include "webapi/ClientState.h"
#include "webapi/PlayerApi.h"

class BackgroundVideoWidget;
class CheckVmAndStartStream;
class ImageButton;
class InformationTable;
class LoadingTable;
class PlayerGUI;
class PlanTable;
class SelectDCTable;
class SingleVMAccessTable;
class Static;
class TrialEndedTable;
class Widget;

class SelectOsState : public PlayerWindowState,
                      public IListenerBase<ClientStateEvents>,
                      public CustomUICommandHandler,
                      public IListenerBase<PlayerApiEvents> {
public:
    static constexpr int kMessagesPeriodMs = 10000;

    // checkRetryDelay: the connection check's pause between attempts (tests shorten it).
    SelectOsState(PlayerMainWindow* window, int commandId,
                  std::chrono::milliseconds checkRetryDelay = std::chrono::milliseconds(1000));
    ~SelectOsState() override;

    bool enter() override;
    void leave() override;
    bool update(std::recursive_mutex& guiLock) override;
    bool isFinished() override;
    bool onCommand(int id) override;
    bool onScroll(GLFWwindow* window, double x, double y) override { return onMouseScroll(window, x, y); }
    bool onMouseScroll(GLFWwindow* window, double x, double y);

    // Listeners (the facade's worker): they only set flags.
    void onEvent(ClientStateEvents event) override { onClientStateEvent(event); }
    void onEvent(PlayerApiEvents event) override { onPlayerApiEvent(event); }
    void onClientStateEvent(ClientStateEvents event);
    void onPlayerApiEvent(PlayerApiEvents event);

    // CustomUICommandHandler
    int allocateCommandId() override;
    void setValue(int) override {}

    // Builds or rebuilds the panels from the account model.
    void init();
    // Follows the machine operation state of the model.
    void syncOperationState();
    void showInformation(bool on);
    void showLoading();
    void refreshAccount();

    // What the screen holds (tests, screenshots; under the GUI lock).
    SingleVMAccessTable* accessTable() const { return accessTable_.get(); }
    SelectDCTable* datacenterTable() const { return datacenterTable_.get(); }
    PlanTable* planTable() const { return planTable_.get(); }
    TrialEndedTable* trialEndedTable() const { return trialEndedTable_.get(); }
    LoadingTable* loadingTable() const { return loadingTable_.get(); }
    InformationTable* informationTable() const { return informationTable_.get(); }
    CheckVmAndStartStream* connectionCheck() const { return connectionCheck_.get(); }
    const std::string& statusText() const { return statusText_; }
    bool rebuildRequested() const { return rebuildRequested_.load(); }

private:
    void startConnectionCheck();
    void postCommand(int id);
    void setVisible(Widget* widget, bool visible);
    bool isVisible(const Widget* widget) const;

    PlayerGUI* gui_;
    std::shared_ptr<ImageButton> logoButton_;
    std::shared_ptr<ImageButton> accountButton_;
    std::shared_ptr<Static> versionLabel_;
    std::shared_ptr<SelectDCTable> datacenterTable_;
    std::shared_ptr<PlanTable> planTable_;
    std::shared_ptr<TrialEndedTable> trialEndedTable_;
    std::shared_ptr<SingleVMAccessTable> accessTable_;
    std::shared_ptr<LoadingTable> loadingTable_;
    std::shared_ptr<InformationTable> informationTable_;
    std::shared_ptr<CheckVmAndStartStream> connectionCheck_;
    std::int32_t buttonWidth_ = 270;
    std::int32_t buttonHeight_ = 50;
    bool statusChanged_ = false;
    std::string statusText_;
    bool restartAfterStop_ = false;
    bool awaitSettledMachine_ = false;
    std::int32_t lastOperationState_ = kVmIdle;
    std::atomic<bool> rebuildRequested_{false};
    std::atomic<bool> accountRefreshRequested_{false};
    std::atomic<bool> errorPending_{false};
    bool reconnectAfterInformation_ = false;
    // Written by the facade's worker, read by the render thread.
    std::mutex errorMutex_;
    std::string errorText_;
    std::int32_t messagesPeriod_ = kMessagesPeriodMs;
    std::map<std::int32_t, std::int32_t> operationCommands_;
    std::unique_ptr<BackgroundVideoWidget> background_;
    std::vector<Widget*> mainWidgets_;
    std::vector<bool> savedVisibility_;
    std::chrono::milliseconds checkRetryDelay_;
};
