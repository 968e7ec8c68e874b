#include "player-ui/menu/LeftMenu.h"

#include "core/LanguageStore.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Table.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/BitrateSlider.h"
#include "player-ui/menu/ImageMenuButton.h"
#include "player-ui/menu/MenuButton.h"

namespace {

constexpr Rect kF10Picture{52, 472, 32, 20};
constexpr Rect kF11Picture{52, 450, 32, 20};
constexpr Rect kF12Picture{1, 482, 32, 20};
constexpr Rect kKeyPicture{106, 130, 20, 20};
constexpr Rect kSteamPicture{1, 35, 95, 39};
constexpr Rect kDesktopPicture{335, 1, 88, 23};
constexpr Rect kStorePicture{123, 1, 104, 23};
constexpr int kImageItemHeight = 30;
constexpr int kCursorLockTourPage = 8;
constexpr int kCursorLockTourKind = 3;

}  // namespace

LeftMenu::LeftMenu(PlayerGUI* gui, std::int32_t spacing, std::int32_t margin,
                   std::shared_ptr<VariableUserBase<BoolVariable>> autoBitrateVariable,
                   std::shared_ptr<VariableUserBase<Int32Variable>> bitrateVariable)
    : Widget(gui) {
    LanguageStore& texts = LanguageStore::instance();
    AbstractSurface* images = gui->getSurface("images");
    bitrateSlider = std::make_shared<BitrateSlider>(gui, spacing, std::move(autoBitrateVariable),
                                                    std::move(bitrateVariable));
    topTable = std::make_shared<Table>(gui, 1, 5);
    bottomTable = std::make_shared<Table>(gui, 1, 3);

    const Color normal = gui->getColor("player-button-main-default");
    const Color hover = gui->getColor("player-button-main-hover");
    // As wide as the longest text needs; the picture items are as wide as the text items.
    buttonWidth = MenuButton::labelWidthFor(gui,
                                            {texts.text("menu_hide_menu"), texts.text("menu_full_screen"),
                                             texts.text("menu_lock_cursor"), texts.text("menu_admin_password")},
                                            buttonWidth);
    const int imageItemWidth = buttonWidth + MenuButton::kIconColumnWidth;
    auto item = [&](const char* key, int command, const Rect& picture) {
        return std::make_shared<MenuButton>(gui, texts.text(key), command, images, picture, normal, hover,
                                            buttonWidth);
    };
    hideMenuItem = item("menu_hide_menu", kCommandOpenMenu, kF10Picture);
    fullScreenItem = item("menu_full_screen", kCommandToggleFullscreen, kF11Picture);
    cursorLockItem = item("menu_lock_cursor", kCommandToggleCursorLock, kF12Picture);
    adminPasswordItem = item("menu_admin_password", kCommandTypeAdminPassword, kKeyPicture);
    topItems_ = {hideMenuItem, fullScreenItem, cursorLockItem, adminPasswordItem};

    const Color secondaryHover = gui->getColor("player-button-secondary-default");
    steamItem = std::make_shared<ImageMenuButton>(gui, kCommandSteamBigPicture, images, kSteamPicture,
                                                  gui->getColor("player-button-green-default"), secondaryHover,
                                                  imageItemWidth, kImageItemHeight);
    desktopItem = std::make_shared<ImageMenuButton>(gui, kCommandShowDesktop, images, kDesktopPicture, normal,
                                                    secondaryHover, imageItemWidth, kImageItemHeight);
    storeItem = std::make_shared<ImageMenuButton>(gui, kCommandStore, images, kStorePicture, normal,
                                                  secondaryHover, imageItemWidth, kImageItemHeight);
    storeItem->pressShift = false;
    storeItem->picture->enabled = 0;
    storeItem->setInteractive(false);
    storeItem->focusable = 0;
    gui->registerTutorialTarget(kCursorLockTourPage, kCursorLockTourKind, cursorLockItem.get());

    topTable->setCell(0, 0, bitrateSlider.get());
    for (unsigned row = 0; row < topItems_.size(); ++row)
        topTable->setCell(0, row + 1, topItems_[row].get());
    topTable->setAllCellsAlignment(Table::AlignStart, Table::AlignCentre);
    topTable->horizontalAlign = 1;
    topTable->verticalAlign = 1;
    topTable->setMargins(margin, margin, 0, 0);
    topTable->setSpacing(0, spacing);

    bottomTable->setCell(0, 0, steamItem.get());
    bottomTable->setCell(0, 1, desktopItem.get());
    bottomTable->setCell(0, 2, storeItem.get());
    bottomTable->setAllCellsAlignment(Table::AlignCentre, Table::AlignCentre);
    bottomTable->horizontalAlign = 1;
    bottomTable->verticalAlign = 2;
    bottomTable->setMargins(margin, margin, 0, margin);
    bottomTable->setSpacing(0, spacing);

    topTable->updateLayout();
    bottomTable->updateLayout();
}

LeftMenu::~LeftMenu() = default;

void LeftMenu::onVisibilityChanged() {
    gui_->setVisible(topTable.get(), visible != 0);
    gui_->setVisible(bottomTable.get(), visible != 0);
}

void LeftMenu::applyInteractive() {
    for (const auto& item : topItems_) {
        const bool on = !tourLocked_ && (item != cursorLockItem || cursorLockEnabled_);
        item->setInteractive(on);
        item->pressShift = !tourLocked_;
    }
}

void LeftMenu::setTourLock(bool locked) {
    tourLocked_ = locked;
    applyInteractive();
}

void LeftMenu::setCursorLockItemEnabled(bool enabled) {
    cursorLockEnabled_ = enabled;
    applyInteractive();
}
