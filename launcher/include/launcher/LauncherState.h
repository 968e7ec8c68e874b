#pragma once
// The base of the launcher's screens. A screen hears the account object's error events for
// its whole life and turns an error into the error screen. The window enters a screen when
// it becomes current and leaves it just before destroying it, both on the render thread.
//
// Each screen is also a full-window widget of 900 x 450 logical pixels that draws nothing
// itself and places its child widgets every time it is drawn.

#include <memory>
#include <string>
#include <vector>

#include "core/TaskBase.h"
#include "gui/GUITasks.h"
#include "launcher/LauncherApi.h"

struct GLFWwindow;
class Image;
class LauncherApp;
class PlayerGUI;
class Static;
class Widget;

class LauncherState : public IListenerBase<ErrorStateEvents> {
public:
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 450;

    LauncherState(LauncherApp* window, PlayerGUI* gui);
    ~LauncherState() override;

    void onEvent(ErrorStateEvents event) override { onErrorEvent(event); }
    // Error text set: the error screen replaces this one.
    virtual void onErrorEvent(ErrorStateEvents event);
    virtual void enter() {}
    virtual void leave() {}
    virtual void onCommand(int) {}
    virtual bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods);
    // Render thread, every pass while current.
    virtual void update() {}

    // For tests: the screen's kind.
    virtual const char* name() const = 0;

protected:
    LauncherApp* window;
    int screenWidth = kWidth;
    int screenHeight = kHeight;
    PlayerGUI* screenGui_;
};

// "v " and the program's version ("v 0.0.33").
std::string getVersionLabel();

// The version label every screen shows in its bottom right corner.
std::shared_ptr<Static> makeVersionLabel(PlayerGUI* gui);
void placeVersionLabel(Static& label, int screenWidth, int screenHeight);

// Shows or hides each of the widgets.
void setVisible(PlayerGUI* gui, const std::vector<Widget*>& widgets, bool visible);

// The title, the three hints and the busy image of the two waiting screens: the texts of the
// four keys, centred in the screen's width, in the given font style, white.
struct WaitingScreenTexts {
    WaitingScreenTexts(PlayerGUI* gui, const char* const (&keys)[4], const char* fontStyle, int screenWidth);
    // Title at y 50, the hints from y 100 one under the other, all centred; the busy image
    // centred horizontally and one hint's height below the middle.
    void place(int screenWidth, int screenHeight);

    std::shared_ptr<Static> title;
    std::shared_ptr<Static> hint;
    std::shared_ptr<Static> hint2;
    std::shared_ptr<Static> hint3;
    std::shared_ptr<Image> busy;
};

// A click task that runs another task (one that posts the real work to a worker).
class LauncherClickTask : public PlayerGUITask {
public:
    explicit LauncherClickTask(TaskPtr task) : task_(std::move(task)) {}
    bool run() override;

private:
    TaskPtr task_;
};

// The page where a not yet activated account is activated: the service's base URL,
// "/clients/new?" and the access token.
std::string activationPageUrl(const std::string& accessToken);
