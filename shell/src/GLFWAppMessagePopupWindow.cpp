#include "shell/GLFWAppMessagePopupWindow.h"

#include "gui/MessagePopup.h"
#include "gui/PlayerGUI.h"

#include <GLFW/glfw3.h>

namespace {

// The OK button's area in logical coordinates: a press there is a click, not a drag.
bool inButtonArea(int x, int y) { return x >= 138 && x < 244 && y >= 120 && y < 154; }

}  // namespace

GLFWAppMessagePopupWindow::GLFWAppMessagePopupWindow(GLFWAppWindow* parent, std::string caption,
                                                     std::string message, int commandId)
    : parent_(parent), message_(std::move(message)), caption_(std::move(caption)), commandId_(commandId) {}

GLFWAppMessagePopupWindow::~GLFWAppMessagePopupWindow() = default;

void GLFWAppMessagePopupWindow::onDestroy() {
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    popup_.reset();
}

void GLFWAppMessagePopupWindow::onFrame() {
    if (popup_)
        return;
    PlayerGUI* gui = getGUI();
    if (!gui)
        return;
    popup_ = std::make_shared<MessagePopup>(gui, caption_, message_, commandId_);
    popup_->setVisibleWithChildren(true);
    requestRedraw();
}

bool GLFWAppMessagePopupWindow::onMouseButton(GLFWwindow*, int button, int action, int) {
    int guiButton;
    switch (button) {
        case GLFW_MOUSE_BUTTON_LEFT:
            guiButton = 0;
            dragging_ = action == GLFW_PRESS;
            break;
        case GLFW_MOUSE_BUTTON_RIGHT:
            guiButton = 2;
            break;
        case GLFW_MOUSE_BUTTON_MIDDLE:
            guiButton = 1;
            break;
        default:
            return false;
    }
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    PlayerGUI* gui = getGUI();
    return gui ? gui->onMouseButton(guiButton, action == GLFW_PRESS) : false;
}

bool GLFWAppMessagePopupWindow::onCursorPos(GLFWwindow* window, double x, double y) {
    int windowWidth = 0, windowHeight = 0, logicalWidth = 0, logicalHeight = 0;
    if (window)
        glfwGetWindowSize(window, &windowWidth, &windowHeight);
    getLogicalSize(logicalWidth, logicalHeight);
    int lx = 0, ly = 0;
    cursorToLogical(x, y, windowWidth, windowHeight, logicalWidth, logicalHeight, lx, ly);
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    if (!dragging_) {
        lastX_ = lx;
        lastY_ = ly;
    } else if (inButtonArea(lastX_, lastY_)) {
        dragging_ = false;
    } else if (window) {
        // The window follows the cursor, so the cursor keeps its place in the window and
        // the remembered point stays valid.
        int wx = 0, wy = 0;
        glfwGetWindowPos(window, &wx, &wy);
        glfwSetWindowPos(window, wx + lx - lastX_, wy + ly - lastY_);
    }
    PlayerGUI* gui = getGUI();
    return gui ? gui->onMouseMove(lx, ly) : false;
}

void GLFWAppMessagePopupWindow::Command(int id) {
    // The main loop destroys and deletes the popup after this callback has returned.
    close();
    if (id != 0 && parent_)
        parent_->Command(id);
}

void displayPopupWindow::run() {
    if (window_ && window_->create(GLFWAppMessagePopupWindow::kWidth, GLFWAppMessagePopupWindow::kHeight,
                                   GLFWAppMessagePopupWindow::kTitle, false, false))
        window_.release();  // the main loop owns it now
}

void showMessagePopup(GLFWAppWindow* parent, const std::string& caption, const std::string& message,
                      int commandId) {
    GLFWApp::instance().post(
        new displayPopupWindow(new GLFWAppMessagePopupWindow(parent, caption, message, commandId)));
}
