#include "updater/WindowStateBase.h"

#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "updater/UpdaterScreens.h"
#include "updater/UpdaterWindow.h"

namespace updater {

namespace {
// The background picture in the "updater" image.
const Rect kBackground{1, 1, 430, 275};
const Rect kNone{-1, -1, -1, -1};
}  // namespace

WindowStateBase::WindowStateBase(UpdaterWindow* window) : Widget(window->getGUI()), window(window) {
    PlayerGUI* gui = window->getGUI();
    background = std::make_shared<ImageButton>(gui, 0, gui->getSurface("updater"), kBackground, kNone, kNone, kNone);
    window->getApi().errorState.addListener(this);
}

WindowStateBase::~WindowStateBase() { window->getApi().errorState.removeListener(this); }

void WindowStateBase::postNotification(const std::string& name) {
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending[name] = true;
}

bool WindowStateBase::takeNotification(const std::string& name) {
    std::lock_guard<std::mutex> lock(pendingMutex);
    const auto it = pending.find(name);
    if (it == pending.end()) return false;
    const bool raised = it->second;
    it->second = false;
    return raised;
}

bool WindowStateBase::tick(double) {
    if (!takeNotification("error")) return false;
    const std::string text = window->getApi().errorState.getErrorText();
    window->buildNextState([&] { return std::make_shared<ErrorWindowState>(window, text); });
    return true;
}

void WindowStateBase::onErrorEvent(states::ErrorStateEvents event) {
    if (event == states::ErrorTextSet) postNotification("error");
}

int WindowStateBase::windowWidth() const {
    int w = 0, h = 0;
    window->getLogicalSize(w, h);
    return w;
}

}  // namespace updater
