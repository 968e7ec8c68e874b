#pragma once
// The right column of the overlay menu: the account panel at the top right, under it the
// main page (account, settings, system, recording, help, task manager, log out, close), and
// to its left at most one of two pages that the settings and system items open: the
// settings page (gamepad setup, controller pass-through, hot keys, resolution, frame rate,
// machine restart, idle time-out) and the system page (connection quality, decoder score,
// data centre, plan, decoder choice, graphics card, bug report). An open page closes when a
// press lands on no widget, except while the guided tour holds the menu.

#include "gui/Widget.h"
#include "player-ui/menu/IRightMenu.h"
#include "stream/session/VariableBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ControlCredits;
class CustomUICommandHandler;
class DecoderPopup;
class DialogTimeout;
class ImageButton;
class MenuButton;
class RightMenuSwitchButton;
class RightMenuSynchronizedSwitchButton;
class SynchronizedMenuButton;
class Table;

class RightMenu : public Widget, public IRightMenu {
public:
    using BoolUser = VariableUserBase<BoolVariable>;

    RightMenu(PlayerGUI* gui, std::int32_t spacing, std::int32_t margin, std::shared_ptr<BoolUser> recordVariable,
              std::shared_ptr<BoolUser> controllersVariable, CustomUICommandHandler* handler);
    ~RightMenu() override;

    // Closes an open page once no widget holds the focus; places the hint arrows.
    bool tick(double seconds) override;
    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;

    void toggleSettingsPage() override;
    void toggleSystemPage() override;
    void toggleDecoderPopup() override;
    void setTourLock(bool locked);
    void setQuality(std::int32_t value) override;
    void setQualityNormalStyle() override;
    void setQualityWarningStyle() override;
    void setDecoderScore(std::int32_t value) override;
    void setDatacenterLabel(const std::string& text) override;
    void setPlanLabel(const std::string& text) override;
    void setGpuLabel(const std::string& text) override;
    void setCurrentDecoder(const std::string& name) override;
    // The switch shows the option with this text (the language's text of the option).
    void setFramerateSwitchValue(const std::string& text) override;
    void setResolutionSwitchValue(const std::string& text) override;
    IDecoderPopup& decoderPopup() override;
    IDialogTimeout& timeoutDialog() override;

    std::shared_ptr<BoolUser> recordVariable;
    std::shared_ptr<BoolUser> controllersVariable;
    bool tourLocked = false;
    std::int32_t spacing;
    std::int32_t margin;
    // Label widths of the main page's items and of the other pages' items: at least these,
    // wider when a text of the language needs it to stay on one line.
    std::int32_t mainWidth = 110;
    std::int32_t pageWidth = 220;
    std::shared_ptr<DialogTimeout> idleTimeoutDialog;
    std::shared_ptr<ControlCredits> credits;
    std::shared_ptr<Table> mainPage;
    std::shared_ptr<Table> systemPage;
    std::shared_ptr<Table> settingsPage;

    // Main page, top to bottom.
    std::shared_ptr<MenuButton> accountItem;
    std::shared_ptr<MenuButton> settingsItem;
    std::shared_ptr<MenuButton> systemItem;
    std::shared_ptr<SynchronizedMenuButton> recordItem;
    std::shared_ptr<MenuButton> helpItem;
    std::shared_ptr<MenuButton> taskManagerItem;
    std::shared_ptr<MenuButton> logOutItem;
    std::shared_ptr<MenuButton> closeItem;
    // Settings page.
    std::shared_ptr<MenuButton> setupControllerItem;
    std::shared_ptr<RightMenuSynchronizedSwitchButton> passThroughSwitch;
    std::shared_ptr<RightMenuSwitchButton> hotKeysSwitch;
    std::shared_ptr<RightMenuSwitchButton> resolutionSwitch;
    std::shared_ptr<RightMenuSwitchButton> frameRateSwitch;
    std::shared_ptr<MenuButton> restartItem;
    std::shared_ptr<MenuButton> timeoutItem;
    // System page.
    std::shared_ptr<MenuButton> qualityLabel;
    std::shared_ptr<MenuButton> decoderScoreLabel;
    std::shared_ptr<MenuButton> datacenterItem;
    std::shared_ptr<MenuButton> planItem;
    std::shared_ptr<DecoderPopup> decoderRow;
    std::shared_ptr<MenuButton> gpuLabel;
    std::shared_ptr<MenuButton> bugReportItem;

    std::shared_ptr<ImageButton> settingsArrow;
    std::shared_ptr<ImageButton> systemArrow;

    // The eight items of the main page in their order.
    std::vector<MenuButton*> mainItems() const;

private:
    void showPage(Table* page, MenuButton* item, bool show);
    void placeBeside(Widget* page, const MenuButton& item);
    void placeArrow(ImageButton& arrow, const MenuButton& item);
};
