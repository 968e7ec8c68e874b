#pragma once
// The base of the updater's screens: a full-window widget with the background picture that
// listens for engine errors. Listener calls arrive on worker threads and only record named
// notifications; the screen acts on them in its tick on the render thread.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/Listenable.h"
#include "gui/Widget.h"
#include "updater/states/ErrorState.h"

class ImageButton;

namespace updater {

class UpdaterWindow;

class WindowStateBase : public Widget, public IListenerBase<states::ErrorStateEvents> {
public:
    explicit WindowStateBase(UpdaterWindow* window);
    ~WindowStateBase() override;

    // Any thread: raises the notification.
    void postNotification(const std::string& name);
    // Whether the notification was raised since it was last taken; clears it.
    bool takeNotification(const std::string& name);

    // An "error" notification switches to the error screen with the engine's error text.
    bool tick(double seconds) override;
    void onEvent(states::ErrorStateEvents event) override { onErrorEvent(event); }
    void onErrorEvent(states::ErrorStateEvents event);

protected:
    // The window's logical width, for the layouts.
    int windowWidth() const;

    UpdaterWindow* window;

private:
    std::mutex pendingMutex;
    std::map<std::string, bool> pending;

protected:
    std::shared_ptr<ImageButton> background;
};

}  // namespace updater
