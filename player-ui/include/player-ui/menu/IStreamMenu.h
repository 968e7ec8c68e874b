#pragma once
// What the in-stream screen needs of its overlay menu. The screen (player/, above us) makes
// one menu when it enters, through a factory it owns, and drives it only through these
// operations; the menu itself is a widget of the window's PlayerGUI.
//
// Threads: every operation runs on the render thread under the window's GUI lock, or on the
// main thread inside a window command (which also holds the GUI lock).

#include <memory>

class IRightMenu;
class IBitrateSlider;
class JoystickManager;
class Widget;
class CustomUICommandHandler;
class IPlayerWindow;
class BoolVariable;
class Int32Variable;
template <class T>
class VariableUserBase;

// The session's variables the menu shows and changes. They belong to the session, which
// outlives the menu.
struct StreamMenuVariables {
    VariableUserBase<BoolVariable>* recordStream = nullptr;       // "Stream.RecordStream"
    VariableUserBase<BoolVariable>* enableControllers = nullptr;  // "Input.EnableControllers"
    VariableUserBase<BoolVariable>* autoBitrate = nullptr;        // "Stream.AutoBitrate"
    VariableUserBase<Int32Variable>* bitrate = nullptr;           // "Video.Bitrate"
};

class IStreamMenu {
public:
    virtual ~IStreamMenu() = default;

    // The menu's own widget: its visible flag is the menu's open state (the screen shows and
    // hides it with PlayerGUI::setVisible).
    virtual Widget* widget() = 0;
    // The menu or the gamepad setup form is visible.
    virtual bool isOpen() const = 0;
    // True hides the menu and the toggle button and shows the gamepad setup form, making its
    // device the manager's monitor device; false shows the menu again and drops the monitor.
    virtual void showGamepadForm(bool show, JoystickManager* manager) = 0;
    virtual bool isGamepadFormVisible() const = 0;
    // Only while the menu is reachable: hides the menu and sets the toggle button's
    // visibility to showToggle.
    virtual void hide(bool showToggle) = 0;
    // The toggle button's visibility as last set by hide.
    virtual bool toggleVisible() const = 0;
    // Relative-mouse mode started (true) or ended: the toggle button is disabled and shows
    // the unlock picture while locked.
    virtual void setCursorLocked(bool locked) = 0;
    // The guided tour locks (true) or unlocks the menu's items.
    virtual void setTourLock(bool locked) = 0;
    virtual bool tourLocked() const = 0;
    // Whether the left column's cursor-lock item reacts to clicks (hot keys on/off).
    virtual void setCursorLockItemInteractive(bool interactive) = 0;

    virtual IRightMenu& rightMenu() = 0;
    virtual IBitrateSlider& bitrateSlider() = 0;
};
