#pragma once
// What the player's dialogs, tour and overlay menu need of the player window, which sits
// above them (player/PlayerMainWindow implements it): its widget GUI, the account model
// and the web facade, and its window commands.
//
// Threads: sendCommand and the widgets belong to the main thread (and to the render thread
// under the window's GUI lock); postCommand and allocateCommandId may be called from any
// thread.

#include <mutex>

class ClientState;
class GLFWAppWindow;
class PlayerApi;
class PlayerGUI;
class PopupDialogManager;

class IPlayerWindow {
public:
    // The window's widget GUI; every widget of the player is made on it.
    virtual PlayerGUI* playerGUI() const = 0;
    // The account model (the web facade's).
    virtual ClientState& clientState() = 0;
    // The web facade: tasks for dialog buttons and menu items.
    virtual PlayerApi& playerApi() = 0;
    // The window's dialog and tour controller.
    virtual PopupDialogManager& popupManager() = 0;

    // Runs the command now, on the calling thread, through the window's whole dispatch.
    virtual void sendCommand(int id) = 0;
    // Queues the command for the main loop; callable from any thread.
    virtual void postCommand(int id) = 0;
    // The next command id handed out while the program runs (from kFirstRunTimeCommandId).
    virtual int allocateCommandId() = 0;

    // The window's recursive GUI lock (the render thread holds it around every frame).
    virtual std::recursive_mutex& guiMutex() const = 0;
    // The window itself, for what the shell offers (logical size, clipboard, close).
    virtual GLFWAppWindow& appWindow() = 0;
    // Whether the player streams a machine given on its command line (--ip, --port,
    // --token): no account and no machine list stand behind it, so nothing is asked of the
    // web service for it.
    virtual bool isDirectConnection() const { return false; }

protected:
    ~IPlayerWindow() = default;
};
