#include "launcher/LauncherApp.h"

#include "core/Folders.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/BackgroundVideoWidget.h"
#include "gui/PlayerGUI.h"
#include "gui/Widget.h"
#include "launcher/LauncherLogonState.h"
#include "launcher/LauncherState.h"
#include "launcher/RemoveOldFilesTask.h"

LauncherApp::LauncherApp(const LauncherOptions& options) : options_(options), api_(options.api) {}

LauncherApp::~LauncherApp() {
    // The screens are gone by now (the layer above releases them while its operations
    // still work); nothing may build new ones.
    api_.stopEvents();
}

bool LauncherApp::onKey(GLFWwindow* window, int key, int scancode, int action, int mods) {
    GLFWAppWindow::onKey(window, key, scancode, action, mods);
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    if (current_) current_->onKey(window, key, scancode, action, mods);
    return true;
}

void LauncherApp::onIconify(GLFWwindow* window, int iconified) {
    GLFWAppWindow::onIconify(window, iconified);
    if (!video_) return;
    if (iconified) video_->pause();
    else video_->resume();
}

int LauncherApp::onClose(GLFWwindow* window) {
    const int result = GLFWAppWindow::onClose(window);
    if (result != 0) closedByCloseBox_ = true;
    return result;
}

void LauncherApp::Command(int id) {
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    if (current_) current_->onCommand(id);
}

void LauncherApp::onFrame() {
    destroyDroppedScreens();
    // The first pass only: the current screen stays until the window is destroyed.
    if (!current_) setState(new LauncherLogonState(this, getGUI()));
    if (current_) current_->update();

    std::shared_ptr<LauncherState> next;
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        next.swap(pending_);
    }
    if (next) {
        if (current_) current_->leave();
        std::shared_ptr<LauncherState> old = std::move(current_);
        current_ = std::move(next);
        old.reset();
        current_->enter();
    }
    destroyDroppedScreens();
}

void LauncherApp::onCreate() {
    video_ = new BackgroundVideoWidget(getGUI(), joinPath(getLibFolder(), "background.ts"));
    video_->InitRenderImplementation();
    api_.pool().addPeriodic(std::make_shared<RemoveOldFilesTask>(getExeFolder(), ".remove"),
                            options_.removeOldFilesPeriodMs);
}

void LauncherApp::onDestroy() {
    if (video_) {
        video_->stop();
        delete video_;
        video_ = nullptr;
    }
    releaseScreens();
}

void LauncherApp::releaseScreens() {
    // From here on no event builds a screen on a GUI that is going away.
    api_.stopEvents();
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    if (!closedByCloseBox_) {
        // Exit and Escape leave the launcher without destroying the sign-in screen, so
        // what its boxes hold just then is not stored.
        if (auto* logon = dynamic_cast<LauncherLogonState*>(current_.get())) logon->discardChanges();
    }
    current_.reset();
    setState(nullptr);
    destroyDroppedScreens();
}

void LauncherApp::onAfterDraw() {
    if (!video_) return;
    AbstractGraphicsContext* context = getGraphicsContext();
    if (!context) return;
    int width = 0, height = 0;
    context->getFramebufferSize(&width, &height);
    video_->renderFrame(context, width, height);
}

void LauncherApp::setLogoutEnabled(bool) {}

void LauncherApp::setState(LauncherState* screen) {
    // A screen is also a widget of the GUI. The shared pointer must own it as that widget, so
    // that the GUI sees the screen has an owner: a GUI that goes away before the window
    // (the main loop's end) then only detaches it instead of deleting it a second time.
    std::shared_ptr<LauncherState> next;
    if (Widget* widget = dynamic_cast<Widget*>(screen))
        next = std::shared_ptr<LauncherState>(std::shared_ptr<Widget>(widget), screen);
    else
        next.reset(screen);
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        if (pending_) dropped_.push_back(std::move(pending_));
        pending_ = std::move(next);
    }
    requestRedraw();
}

void LauncherApp::destroyDroppedScreens() {
    std::vector<std::shared_ptr<LauncherState>> dropped;
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        dropped.swap(dropped_);
    }
    dropped.clear();
}

void LauncherApp::setLoggedIn(bool loggedIn) {
    if (loggedIn_.exchange(loggedIn) == loggedIn) return;
    if (!loggedIn) terminatePlayer();
    setLogoutEnabled(loggedIn);
}

void LauncherApp::restoreArrowCursor() {
    if (isCreated()) postNativeMessage({kArrowCursorMessage, 0, 0});
}

int LauncherApp::onWin32Message(GLFWwindow*, const NativeWindowMessage& message) {
    if (message.message == kArrowCursorMessage) {
        if (AbstractGraphicsContext* context = getGraphicsContext()) context->setCursorShape(0);
        return 0;
    }
    return -1;
}
