#pragma once
// The message popup: a small undecorated window above the others that shows a caption, a
// message and an OK button. OK (or Escape) closes it; OK also sends a command to the parent
// window. The user drags it by any point outside the button.

#include "shell/GLFWAppWindow.h"
#include "shell/GLFWMessageThread.h"

#include <memory>
#include <string>

class MessagePopup;

class GLFWAppMessagePopupWindow : public GLFWAppWindow {
public:
    static constexpr int kWidth = 383;
    static constexpr int kHeight = 164;
    static constexpr const char* kTitle = "Nimbrosta Launcher";

    // Nothing GLFW-related happens here; the window is made by create() on the main thread.
    // The parent must outlive the popup.
    GLFWAppMessagePopupWindow(GLFWAppWindow* parent, std::string caption, std::string message, int commandId);
    ~GLFWAppMessagePopupWindow() override;
    // Releases the widgets while the GUI still exists.
    void onDestroy() override;

    bool onCursorPos(GLFWwindow* window, double x, double y) override;
    bool onMouseButton(GLFWwindow* window, int button, int action, int mods) override;
    // Closes the popup, then hands a non-zero id to the parent.
    void Command(int id) override;
    // Builds the popup's widgets on the first frame.
    void onFrame() override;

    // Render thread or under the GUI lock: the widgets, null before the first frame.
    MessagePopup* popup() const { return popup_.get(); }
    bool isDragging() const { return dragging_; }

private:
    GLFWAppWindow* parent_;
    std::string message_;
    std::string caption_;
    int commandId_;
    std::shared_ptr<MessagePopup> popup_;
    bool dragging_ = false;
    int lastX_ = 0;
    int lastY_ = 0;
};

// Creates the popup window on the main thread. It owns the popup until the window exists;
// the main loop then owns it and deletes it when it closes.
class displayPopupWindow : public GLFWThreadMessage {
public:
    explicit displayPopupWindow(GLFWAppMessagePopupWindow* window) : window_(window) {}
    void run() override;

private:
    std::unique_ptr<GLFWAppMessagePopupWindow> window_;
};

// Any thread: shows a message popup whose OK button sends commandId to parent (0: none).
void showMessagePopup(GLFWAppWindow* parent, const std::string& caption, const std::string& message,
                      int commandId);
