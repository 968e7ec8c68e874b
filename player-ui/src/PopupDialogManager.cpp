#include "player-ui/PopupDialogManager.h"

#include "gui/ImageButton.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"

namespace {
// The overlay: the 4x4 white patch of the "controls" atlas stretched over any window and
// tinted with the grey-out colour, below the dialogs (z 1000).
constexpr int kPatchX = 29;
constexpr int kPatchY = 173;
constexpr int kPatchSize = 4;
constexpr int kCover = 20000;
constexpr int kGreyOutZ = -100;
}  // namespace

PopupDialogManager::PopupDialogManager(IPlayerWindow* window) : window_(window) {}

PopupDialogManager::~PopupDialogManager() = default;

void PopupDialogManager::onCommand(int) {}

bool PopupDialogManager::isPopupVisible() const { return false; }

void PopupDialogManager::createGreyOutButton() {
    PlayerGUI* gui = window_ ? window_->playerGUI() : nullptr;
    if (!gui) return;
    PlayerGUILock lock(gui);
    const Rect none{-1, -1, -1, -1};
    auto button = std::make_shared<ImageButton>(gui, kCommandGreyOutClicked, gui->getSurface("controls"),
                                                Rect{kPatchX, kPatchY, kPatchSize, kPatchSize}, none, none, none);
    button->focusable = false;
    button->x = -kCover / 2;
    button->y = -kCover / 2;
    button->width = kCover;
    button->height = kCover;
    const Color grey = gui->getColor("grey-out-player");
    button->setBackground(ImageButton::BackgroundTint, grey, grey, Color(0xffffffffu));
    button->z = kGreyOutZ;
    button->propagateZOrder();
    gui->setEnabled(button.get(), true);
    gui->setVisible(button.get(), false);
    greyOut_ = std::move(button);
}

void PopupDialogManager::releaseGreyOutButton() {
    PlayerGUI* gui = window_ ? window_->playerGUI() : nullptr;
    if (!gui) {
        greyOut_.reset();
        return;
    }
    PlayerGUILock lock(gui);
    greyOut_.reset();
}

void PopupDialogManager::onModalStateChanged(bool anyModal) {
    modal_ = anyModal;
    if (greyOut_ && window_ && window_->playerGUI()) window_->playerGUI()->setVisible(greyOut_.get(), modal_);
}

void PopupDialogManager::registerTutorialTarget(int, int, Widget*) {}
