#include "launcher/LauncherState.h"

#include "core/ThreadPool.h"
#include "core/LanguageStore.h"
#include "gui/Image.h"
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

void setVisible(PlayerGUI* gui, const std::vector<Widget*>& widgets, bool visible) {
    for (Widget* widget : widgets) gui->setVisible(widget, visible);
}

WaitingScreenTexts::WaitingScreenTexts(PlayerGUI* gui, const char* const (&keys)[4], const char* fontStyle,
                                       int screenWidth) {
    const LanguageStore& text = LanguageStore::instance();
    std::shared_ptr<Static>* labels[] = {&title, &hint, &hint2, &hint3};
    for (int i = 0; i < 4; ++i) {
        auto label = std::make_shared<Static>(gui, text.text(keys[i]), 2, gui->getFont(fontStyle), gui->getColor("white"));
        label->width = screenWidth;
        label->invalidate();
        *labels[i] = std::move(label);
    }
    busy = std::make_shared<Image>(gui, gui->getSurface("Loading"));
    busy->setRotating(2.0f, 0.1f);
    busy->setScale(0.4f);
}

void WaitingScreenTexts::place(int screenWidth, int screenHeight) {
    const int middle = screenWidth / 2;
    const int hintHeight = hint->height;
    title->x = middle - title->width / 2;
    title->y = 50;
    int y = 100;
    for (Static* label : {hint.get(), hint2.get(), hint3.get()}) {
        label->x = middle - label->width / 2;
        label->y = y;
        y += hintHeight;
    }
    busy->x = middle - busy->width / 2;
    busy->y = screenHeight / 2 + hintHeight - busy->height / 2;
}

bool LauncherClickTask::run() { return ThreadPool::execute(task_.get()); }

std::string activationPageUrl(const std::string& accessToken) {
    return getServiceBaseUrl() + "/clients/new?" + accessToken;
}
