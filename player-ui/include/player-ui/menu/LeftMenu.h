#pragma once
// The left column of the overlay menu: at the top the bitrate block and four items (open
// the menu, full screen, cursor lock, the machine's administrator password), at the bottom
// three picture items (Steam Big Picture, the machine's desktop, and the store, which is
// disabled).

#include "gui/Widget.h"
#include "stream/session/VariableBase.h"

#include <array>
#include <cstdint>
#include <memory>

class BitrateSlider;
class ImageMenuButton;
class MenuButton;
class Table;

class LeftMenu : public Widget {
public:
    LeftMenu(PlayerGUI* gui, std::int32_t spacing, std::int32_t margin,
             std::shared_ptr<VariableUserBase<BoolVariable>> autoBitrateVariable,
             std::shared_ptr<VariableUserBase<Int32Variable>> bitrateVariable);
    ~LeftMenu() override;

    void onVisibilityChanged() override;

    // The guided tour locks the four items of the top table (no press, no pressed look).
    void setTourLock(bool locked);
    // Hot keys off also turns the cursor-lock item off; the tour's unlock keeps it so.
    void setCursorLockItemEnabled(bool enabled);
    // The four items of the top table in their order: hide menu, full screen, cursor lock,
    // administrator password.
    const std::array<std::shared_ptr<MenuButton>, 4>& topItems() const { return topItems_; }

    std::int32_t buttonWidth = 135;
    std::shared_ptr<Table> topTable;
    std::shared_ptr<Table> bottomTable;
    std::shared_ptr<BitrateSlider> bitrateSlider;
    std::shared_ptr<MenuButton> hideMenuItem;
    std::shared_ptr<MenuButton> fullScreenItem;
    std::shared_ptr<MenuButton> cursorLockItem;
    std::shared_ptr<MenuButton> adminPasswordItem;
    std::shared_ptr<ImageMenuButton> steamItem;
    std::shared_ptr<ImageMenuButton> desktopItem;
    std::shared_ptr<ImageMenuButton> storeItem;

private:
    void applyInteractive();

    std::array<std::shared_ptr<MenuButton>, 4> topItems_;
    bool tourLocked_ = false;
    bool cursorLockEnabled_ = true;
};
