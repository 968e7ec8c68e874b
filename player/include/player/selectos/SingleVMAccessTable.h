#pragma once
// The machine access panel of the machine-selection screen. It shows one machine of the
// user (the one named "Windows", else the first): its data centre and storage, the account's
// balance, charge or trial time by plan, the main button that creates ("Create"), starts
// ("Start") or opens ("Access") the machine, the purchase or upgrade button (account page),
// and a settings gear whose menu stops ("restart") or deletes the machine.
//
// The main button runs a registered task of the screen that calls onIndexSelected; that
// posts kCommandShowDatacenterChoice, kCommandShowPlans or kCommandStartConnectionCheck.
// The menu's items queue their web task on the facade's worker and post their status
// command at once, before the request runs.
//
// Threads: built and used under the window's GUI lock (render thread for building, main
// thread for clicks).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/TaskBase.h"
#include "gui/Table.h"
#include "player-ui/IIndexSelectable.h"
#include "webapi/DesktopInfo.h"

class Button;
class CustomUICommandHandler;
class IPlayerWindow;
class ImageButton;
class MenuButton;
class Static;
struct UserPlan;

// The gear at the top right and its two items below it.
class Settings : public Widget {
public:
    Settings(PlayerGUI* gui, bool restartEnabled, int topMargin, int rightMargin);
    ~Settings() override;

    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    bool tick(double seconds) override;

    void setTasks(TaskPtr restartTask, TaskPtr deleteTask);

    bool isMenuOpen() const { return menuOpen_; }
    MenuButton* restartItem() const { return restartItem_.get(); }
    MenuButton* deleteItem() const { return deleteItem_.get(); }
    ImageButton* gearButton() const { return gearButton_.get(); }

private:
    void toggleMenu();

    bool menuOpen_ = false;
    std::int32_t gearGap_ = 8;
    std::int32_t itemGap_ = 2;
    std::shared_ptr<MenuButton> deleteItem_;
    std::shared_ptr<MenuButton> restartItem_;
    std::shared_ptr<ImageButton> gearButton_;
};

class SingleVMAccessTable : public Table, public IIndexSelectable {
public:
    SingleVMAccessTable(IPlayerWindow* window, CustomUICommandHandler* commands, std::int32_t buttonWidth,
                        std::int32_t buttonHeight);
    ~SingleVMAccessTable() override;

    // Builds the content for the list's shown machine (the list is not empty).
    void setDesktops(const std::vector<DesktopInfo>& desktops, const UserPlan& plan);
    DesktopInfo getDesktop() const { return desktop_; }
    // Refreshes the figures.
    void setAccountInfo(std::int32_t balance, std::int32_t nextCredit, std::int32_t usedStorage,
                        std::int32_t totalStorage, std::int32_t trialMinutes);

    // The main button was clicked (the index plays no part).
    void onIndexSelected(std::int32_t index) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;

    // What the panel shows (tests, screenshots).
    Button* mainButton() const { return mainButton_.get(); }
    Button* purchaseButton() const { return purchaseButton_.get(); }
    Settings* settings() const { return settings_.get(); }
    Static* trialLabel() const { return trialLabel_.get(); }
    Static* balanceLabel() const { return balanceLabel_.get(); }
    Static* chargeLabel() const { return chargeLabel_.get(); }
    Static* storageLabel() const { return storageLabel_.get(); }
    Static* datacenterLabel() const { return datacenterLabel_.get(); }
    Static* startTrialLabel() const { return startTrialLabel_.get(); }
    Static* unlimitedLabel() const { return unlimitedLabel_.get(); }
    ImageButton* locationIcon() const { return locationIcon_.get(); }
    ImageButton* storageIcon() const { return storageIcon_.get(); }
    // The fourteen parts in field order.
    std::vector<Widget*> parts() const;

private:
    bool isTrialWithoutDatacenter() const;
    void buildMachineBlock();
    void buildPlanBlock();

    IPlayerWindow* window_;
    CustomUICommandHandler* commands_;
    std::int32_t buttonWidth_;
    std::int32_t buttonHeight_;
    std::int32_t rowSpacing_ = 20;
    std::int32_t planBlockSpacing_ = 3;
    std::int32_t machineBlockSpacing_ = 5;
    std::string planName_;
    std::int32_t trialMinutes_ = 0;
    std::shared_ptr<Settings> settings_;
    std::shared_ptr<ImageButton> locationIcon_;
    std::shared_ptr<Static> datacenterLabel_;
    std::shared_ptr<ImageButton> storageIcon_;
    std::shared_ptr<Static> storageLabel_;
    std::shared_ptr<Static> startTrialLabel_;
    std::shared_ptr<Table> machineBlock_;
    std::shared_ptr<Button> mainButton_;
    std::shared_ptr<Static> unlimitedLabel_;
    std::shared_ptr<Static> balanceLabel_;
    std::shared_ptr<Static> chargeLabel_;
    std::shared_ptr<Static> trialLabel_;
    std::shared_ptr<Table> planBlock_;
    std::shared_ptr<Button> purchaseButton_;
    DesktopInfo desktop_;
};
