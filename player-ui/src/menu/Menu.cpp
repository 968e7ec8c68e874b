#include "player-ui/menu/Menu.h"

#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/ControlCredits.h"
#include "player-ui/menu/DialogTimeout.h"
#include "player-ui/menu/GamepadSetupForm.h"
#include "player-ui/menu/LeftMenu.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenu.h"
#include "stream/gamepad/JoystickManager.h"

#include <string>

namespace {

constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kToggleTourPage = 6;
constexpr int kToggleTourKind = 2;
// The zone around the toggle button's home at the top centre in which a drag snaps back.
constexpr int kHomeZoneHalfWidth = 100;
constexpr int kHomeZoneHeight = 120;

std::string whole(double value) { return std::to_string(static_cast<long long>(value)); }

// The session owns its variable users and outlives the menu: shared pointers that own
// nothing.
template <class T>
std::shared_ptr<T> borrowed(T* user) {
    return std::shared_ptr<T>(std::shared_ptr<T>(), user);
}

}  // namespace

Menu::Menu(IPlayerWindow* playerWindow, std::shared_ptr<BoolUser> recordVariable,
           std::shared_ptr<BoolUser> controllersVariable, std::shared_ptr<BoolUser> autoBitrateVariable,
           std::shared_ptr<Int32User> bitrateVariable, CustomUICommandHandler* handler)
    : Widget(playerWindow->playerGUI()), window(playerWindow) {
    PlayerGUI* gui = gui_;
    modal = 1;
    gamepadForm = std::make_shared<GamepadSetupForm>(gui);
    window->clientState().addListener(this);

    toggleButton = std::make_shared<ImageButton>(gui, kCommandOpenMenu, gui->getSurface("images"), kTogglePicture,
                                                 kToggleHoverPicture, kNoPicture, kNoPicture);
    toggleButton->horizontalAlign = 3;
    toggleButton->verticalAlign = 1;
    toggleButton->focusable = 0;
    toggleButton->draggable = 1;
    toggleButton->snapEnabled = 1;
    gui->setEnabled(toggleButton.get(), true);
    gui->registerTutorialTarget(kToggleTourPage, kToggleTourKind, toggleButton.get());

    rightColumn = std::make_shared<RightMenu>(gui, spacing, margin, std::move(recordVariable),
                                              std::move(controllersVariable), handler);
    leftColumn = std::make_shared<LeftMenu>(gui, spacing, margin, std::move(autoBitrateVariable),
                                            std::move(bitrateVariable));
    int w = 0, h = 0;
    gui->getSize(&w, &h);
    lastWidth = w;
    lastHeight = h;
    updateHomeZone();
}

Menu::Menu(IPlayerWindow* playerWindow, const StreamMenuVariables& variables, CustomUICommandHandler* handler)
    : Menu(playerWindow, borrowed(variables.recordStream), borrowed(variables.enableControllers),
           borrowed(variables.autoBitrate), borrowed(variables.bitrate), handler) {}

Menu::~Menu() {
    // An event the model's worker announces just now must not reach a menu that is gone.
    window->clientState().removeListenerAndWait(this);
}

void Menu::onEvent(ClientStateEvents event) {
    if (event == kClientInfoChanged)
        refreshPending.store(true);
}

bool Menu::hasMessages() const { return window->clientState().hasMessages(); }

bool Menu::isOpen() const { return visible || gamepadForm->visible; }

void Menu::onVisibilityChanged() {
    const bool open = visible || gamepadForm->visible;
    gui_->setVisible(toggleButton.get(), !open);
    gui_->setVisible(rightColumn.get(), visible != 0);
    gui_->setVisible(leftColumn.get(), visible != 0);
    if (visible)
        gamepadForm->setVisible(false);
}

void Menu::showGamepadForm(bool show, JoystickManager* manager) {
    if (show) {
        gui_->setVisible(this, false);
        gamepadForm->setVisible(true);
        gui_->setVisible(toggleButton.get(), false);
        if (manager)
            manager->setMonitorDevice(&gamepadForm->inputDevice());
    } else {
        gui_->setVisible(this, true);
        gamepadForm->setVisible(false);
        if (manager)
            manager->setMonitorDevice(nullptr);
    }
}

void Menu::hide(bool showToggle) {
    if (!menuReachable)
        return;
    gui_->setVisible(this, false);
    gui_->setVisible(toggleButton.get(), showToggle);
    toggleVisible_ = showToggle;
}

void Menu::setCursorLocked(bool locked) {
    gui_->setEnabled(toggleButton.get(), !locked);
    menuReachable = !locked;
    toggleLookChanged = true;
}

void Menu::setTourLock(bool locked) {
    gui_->setEnabled(toggleButton.get(), !locked);
    leftColumn->setTourLock(locked);
    rightColumn->setTourLock(locked);
    tourLocked_ = locked;
}

void Menu::setCursorLockItemInteractive(bool interactive) { leftColumn->setCursorLockItemEnabled(interactive); }

bool Menu::isGamepadFormVisible() const { return gamepadForm->visible != 0; }

IRightMenu& Menu::rightMenu() { return *rightColumn; }

IBitrateSlider& Menu::bitrateSlider() { return *leftColumn->bitrateSlider; }

void Menu::refreshAccount() {
    const AccountBalance balance = window->clientState().getClientInfo().balance;
    ControlCredits& panel = *rightColumn->credits;
    panel.setMemory(whole(balance.usedStorage), whole(balance.totalStorage), "Gb");
    panel.setCreditCost("1", "10", "Gb");
    panel.setCredits(whole(balance.accountBalance));
    panel.setCharge(whole(balance.nextCredit), "00", "min");
    rightColumn->idleTimeoutDialog->setValue(balance.timeout);
}

void Menu::updateHomeZone() {
    int w = 0, h = 0;
    gui_->getSize(&w, &h);
    ImageButton& b = *toggleButton;
    b.snapZoneX = w / 2 - kHomeZoneHalfWidth;
    b.snapZoneY = 0;
    b.snapZoneWidth = 2 * kHomeZoneHalfWidth;
    b.snapZoneHeight = kHomeZoneHeight;
    b.snapX = w / 2;
    b.snapY = b.height / 2;
}

bool Menu::tick(double) {
    if (refreshPending.exchange(false))
        refreshAccount();

    if (menuReachable && !toggleLookChanged) {
        const bool badge = hasMessages();
        if (badge != alertShown) {
            alertShown = badge;
            toggleLookChanged = true;
        }
    }
    if (toggleLookChanged) {
        const Rect normal = !menuReachable ? kUnlockPicture : alertShown ? kBadgePicture : kTogglePicture;
        const Rect hover = !menuReachable ? kUnlockPicture : alertShown ? kBadgeHoverPicture : kToggleHoverPicture;
        toggleButton->setImages(normal.x, normal.y, normal.width, normal.height, hover.x, hover.y, hover.width,
                                hover.height, hover.x, hover.y, hover.width, hover.height, 0, 0, -1, -1);
        toggleButton->height = normal.height;
        gui_->setEnabled(toggleButton.get(), menuReachable);
        toggleLookChanged = false;
    }
    if (toggleButton->takeClicked() && hasMessages()) {
        window->postCommand(kCommandBack);
        window->postCommand(kCommandReconnectAfterMessages);
    }

    int w = 0, h = 0;
    gui_->getSize(&w, &h);
    if (!toggleAnchored_ && toggleButton->visible && w > 0 && h > 0) {
        // Where the alignment puts it, once; a drag then sticks.
        toggleButton->setX(w / 2 - toggleButton->width / 2);
        toggleButton->setY(toggleButton->marginTop);
        toggleButton->horizontalAlign = 0;
        toggleButton->verticalAlign = 0;
        toggleAnchored_ = true;
    }
    updateHomeZone();
    if (w != lastWidth || h != lastHeight) {
        if (w != 0 && h != 0 && lastWidth != 0 && lastHeight != 0) {
            toggleButton->setX(toggleButton->x * w / lastWidth);
            toggleButton->setY(toggleButton->y * h / lastHeight);
        }
        lastWidth = w;
        lastHeight = h;
    }
    return true;
}
