#pragma once
// The updater's screens: loading, the firewall question, the install question, the update
// progress and the error with its Exit button. All texts are fixed English.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "updater/WindowStateBase.h"
#include "updater/states/UpdateState.h"

class Button;
class Image;
class ImageButton;
class Static;

namespace updater {

// A button of the install question.
struct WorkingFolderChoice {
    std::string text;
    std::int32_t iconRect[4] = {-1, -1, -1, -1};  // x, y, width, height in the "updater" image
    std::int32_t iconGap = 0;
};

// The choice of a candidate folder name; an unknown name is added with an empty caption
// and no icon.
WorkingFolderChoice workingFolderChoice(const std::string& name);

class LoadingState : public WindowStateBase {
public:
    explicit LoadingState(UpdaterWindow* window);

private:
    std::shared_ptr<Image> logo;
    std::shared_ptr<Static> label;
};

class ErrorWindowState : public WindowStateBase {
public:
    ErrorWindowState(UpdaterWindow* window, const std::string& errorText);

private:
    std::shared_ptr<Image> logo;
    std::shared_ptr<Static> label;
    std::shared_ptr<Button> exitButton;
};

class AddFirewallRuleState : public WindowStateBase {
public:
    explicit AddFirewallRuleState(UpdaterWindow* window);

private:
    std::shared_ptr<Image> logo;
    std::shared_ptr<Static> label;
    std::vector<std::shared_ptr<Button>> buttons;
};

class SelectWorkingDirState : public WindowStateBase {
public:
    explicit SelectWorkingDirState(UpdaterWindow* window);

private:
    std::shared_ptr<Image> logo;
    std::shared_ptr<Static> label;
    std::vector<std::shared_ptr<Button>> buttons;
};

class UpdateWindowState : public WindowStateBase, public IListenerBase<states::UpdateStateEvents> {
public:
    explicit UpdateWindowState(UpdaterWindow* window);
    ~UpdateWindowState() override;

    bool tick(double seconds) override;
    void onEvent(states::UpdateStateEvents event) override { onUpdateEvent(event); }
    using WindowStateBase::onEvent;
    // Worker thread, under the engine's data lock.
    void onUpdateEvent(states::UpdateStateEvents event);

    // The server as the status text names it: the first "http://" and then the first
    // "https://" erased.
    static std::string serverForDisplay(std::string server);

    // The texts last set on the status and progress labels (under the window's GUI lock).
    std::string statusText() const;
    std::string progressText() const;

private:
    std::shared_ptr<Image> logo;
    std::shared_ptr<Static> statusLabel;
    std::shared_ptr<ImageButton> ring;
    std::shared_ptr<Static> progressLabel;
    // Set when the list arrived, cleared by the first written file: only a run that wrote
    // something offers the guided tours again. Events come under the data lock, in order.
    bool resetTutorialsPending = false;
};

}  // namespace updater
