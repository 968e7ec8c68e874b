#include "launcher/LauncherState.h"

#include "core/ThreadPool.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "launcher/LauncherApp.h"
#include "launcher/LauncherErrorState.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/RequestParams.h"

LauncherState::LauncherState(LauncherApp* window, PlayerGUI* gui) : window(window), screenGui_(gui) {
    window->api().addErrorListener(this);
}

LauncherState::~LauncherState() { window->api().removeErrorListener(this); }

void LauncherState::onErrorEvent(ErrorStateEvents event) {
    if (event != ErrorTextSet) return;
    PlayerGUILock lock(screenGui_);
    window->setState(new LauncherErrorState(window, screenGui_, window->api().getErrorText()));
}

bool LauncherState::onKey(GLFWwindow*, int, int, int, int) { return true; }

std::string getVersionLabel() { return "v " + getVersionString(); }

std::shared_ptr<Static> makeVersionLabel(PlayerGUI* gui) {
    return std::make_shared<Static>(gui, getVersionLabel(), 0, gui->getFont("launcher-small"), gui->getColor("white"));
}

void placeVersionLabel(Static& label, int screenWidth, int screenHeight) {
    label.x = screenWidth - label.width - 5;
    label.y = screenHeight - label.height - 20;
}

bool LauncherClickTask::run() { return ThreadPool::execute(task_.get()); }

std::string activationPageUrl(const std::string& accessToken) {
    return getServiceBaseUrl() + "/clients/new?" + accessToken;
}
