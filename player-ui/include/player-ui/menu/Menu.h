#pragma once
// The overlay menu of the in-stream screen: a toggle button at the top centre that opens
// it, and, while it is open, the left and right columns over the dimmed stream; or, in its
// place, the gamepad setup form. The menu draws nothing itself: its visible flag is its
// open state, and its modal flag makes the popup manager dim the stream while it is open.
//
// The menu follows the account model: the account panel and the idle-timeout value are
// read again after a balance change, and the toggle button shows a badge while service
// messages wait; a click on the badge leaves the stream for the machine-selection screen,
// which shows them.
//
// Threads: built, ticked and laid out on the render thread under the window's GUI lock;
// clicks on the main thread. The account model calls onEvent on the web facade's worker; it
// only raises a flag, and the destructor waits out a call in flight.

#include "gui/Widget.h"
#include "player-ui/menu/IStreamMenu.h"
#include "stream/session/VariableBase.h"
#include "webapi/ClientState.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CustomUICommandHandler;
class GamepadSetupForm;
class IPlayerWindow;
class ImageButton;
class JoystickManager;
class LeftMenu;
class RightMenu;

class Menu : public Widget, public IStreamMenu, public IListenerBase<ClientStateEvents> {
public:
    using BoolUser = VariableUserBase<BoolVariable>;
    using Int32User = VariableUserBase<Int32Variable>;

    static constexpr Rect kTogglePicture{1, 178, 48, 48};
    static constexpr Rect kToggleHoverPicture{1, 228, 48, 48};
    static constexpr Rect kBadgePicture{1, 76, 49, 49};
    static constexpr Rect kBadgeHoverPicture{1, 127, 49, 49};
    static constexpr Rect kUnlockPicture{1, 1, 120, 32};

    Menu(IPlayerWindow* window, std::shared_ptr<BoolUser> recordVariable,
         std::shared_ptr<BoolUser> controllersVariable, std::shared_ptr<BoolUser> autoBitrateVariable,
         std::shared_ptr<Int32User> bitrateVariable, CustomUICommandHandler* handler);
    // With the session's own variable users, which outlive the menu.
    Menu(IPlayerWindow* window, const StreamMenuVariables& variables, CustomUICommandHandler* handler);
    ~Menu() override;

    bool tick(double seconds) override;
    void onVisibilityChanged() override;
    void onEvent(ClientStateEvents event) override;

    Widget* widget() override { return this; }
    // The menu or the gamepad form is shown.
    bool isOpen() const override;
    // The gamepad form in place of the menu (with the manager's states reaching it), or
    // the menu back in place of the form.
    void showGamepadForm(bool show, JoystickManager* manager) override;
    bool isGamepadFormVisible() const override;
    // Closes the menu and shows or hides the toggle button; nothing while the cursor is
    // locked to the stream.
    void hide(bool showToggle) override;
    bool toggleVisible() const override { return toggleVisible_; }
    void setCursorLocked(bool locked) override;
    void setTourLock(bool locked) override;
    bool tourLocked() const override { return tourLocked_; }
    // Hot keys off: the cursor-lock item no longer reacts (also after the tour unlocks).
    void setCursorLockItemInteractive(bool interactive) override;
    IRightMenu& rightMenu() override;
    IBitrateSlider& bitrateSlider() override;

    IPlayerWindow* window;
    std::shared_ptr<ImageButton> toggleButton;
    std::shared_ptr<RightMenu> rightColumn;
    std::shared_ptr<LeftMenu> leftColumn;
    std::shared_ptr<GamepadSetupForm> gamepadForm;
    std::int32_t spacing = 5;
    std::int32_t margin = 15;
    std::atomic<bool> refreshPending{true};
    bool menuReachable = true;
    bool toggleLookChanged = false;
    bool alertShown = false;
    std::int32_t lastWidth = 0;
    std::int32_t lastHeight = 0;

private:
    void refreshAccount();
    void updateHomeZone();
    bool hasMessages() const;

    bool tourLocked_ = false;
    bool toggleVisible_ = true;
    // The toggle button's alignment places it once; after that only drags and window
    // resizes move it.
    bool toggleAnchored_ = false;
};
