#include "player/selectos/SingleVMAccessTable.h"

#include "core/ConfigStore.h"
#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PostMessageUITask.h"
#include "player-ui/UniqueDialogBaseUITask.h"
#include "player-ui/menu/MenuButton.h"
#include "webapi/ClientState.h"
#include "webapi/PlayerApi.h"

#include "selectos/PlayerApiPostTask.h"
#include "selectos/SelectOsMachine.h"

namespace {

constexpr Rect kNoImage{0, 0, -1, -1};
constexpr Rect kLocationImage{487, 1, 24, 34};
constexpr Rect kStorageImage{43, 271, 32, 32};
constexpr Rect kDeleteIcon{487, 37, 20, 24};
constexpr Rect kRestartIcon{143, 131, 28, 24};
constexpr Rect kGearImage{1, 463, 34, 34};
constexpr Rect kGearHoverImage{43, 163, 34, 34};
constexpr int kMenuItemWidth = 190;
constexpr int kMenuItemHeight = 50;
constexpr int kSettingsTopMargin = 20;
constexpr int kSettingsRightMargin = 50;

std::string text(const char* key) { return LanguageStore::instance().text(key); }

std::shared_ptr<Static> makeLabel(PlayerGUI* gui, const std::string& value, int alignment, const char* font,
                                  int wrapWidth = 0) {
    auto label = std::make_shared<Static>(gui, value, alignment, gui->getFont(font));
    if (wrapWidth > 0) label->setSizeLimits(wrapWidth, 0, wrapWidth, 0);
    label->invalidate();
    return label;
}

std::shared_ptr<ImageButton> makeIcon(PlayerGUI* gui, const Rect& image) {
    auto icon = std::make_shared<ImageButton>(gui, 0, gui->getSurface("selectos"), image, kNoImage, kNoImage, kNoImage);
    gui->setEnabled(icon.get(), false);
    return icon;
}

}  // namespace

// ---- the settings gear ----

Settings::Settings(PlayerGUI* gui, bool restartEnabled, int topMargin, int rightMargin) : Widget(gui) {
    AbstractSurface* atlas = gui->getSurface("selectos");
    const Color idle = gui->getColor("so-white-idle");
    const Color hover = gui->getColor("so-white-hover");
    GraphicsFont* font = gui->getFont("selectos-caption");
    deleteItem_ = std::make_shared<MenuButton>(gui, text("text_selectos_delete_dorvik"), kCommandNone, atlas, kDeleteIcon,
                                               idle, hover, kMenuItemWidth, font, gui->getColor("so-red"));
    const Color restartColour = gui->getColor(restartEnabled ? "so-restart-enable" : "so-restart-disable");
    restartItem_ = std::make_shared<MenuButton>(gui, text("text_selectos_restart_dorvik"), kCommandNone, atlas,
                                                kRestartIcon, idle, hover, kMenuItemWidth, font, restartColour);
    restartItem_->setIconTint(gui->getColor("so-restart-enable"), gui->getColor("so-restart-disable"));
    gui->setEnabled(restartItem_.get(), restartEnabled);
    gearButton_ = std::make_shared<ImageButton>(gui, 0, atlas, kGearImage, kGearHoverImage, kNoImage, kNoImage);
    deleteItem_->setFixedHeight(kMenuItemHeight);
    restartItem_->setFixedHeight(kMenuItemHeight);

    for (Widget* part : {static_cast<Widget*>(gearButton_.get()), static_cast<Widget*>(deleteItem_.get()),
                         static_cast<Widget*>(restartItem_.get())}) {
        part->horizontalAlign = 2;
        part->setMargins(0, 0, rightMargin, 0);
        gui->setVisible(part, false);
    }
    gearButton_->verticalAlign = 1;
    gearButton_->setMargins(0, topMargin, rightMargin, 0);
    gui->setVisible(gearButton_.get(), true);
}

Settings::~Settings() = default;

void Settings::setTasks(TaskPtr restartTask, TaskPtr deleteTask) {
    restartItem_->clickTask = std::move(restartTask);
    deleteItem_->clickTask = std::move(deleteTask);
}

bool Settings::arrange(AbstractGraphicsContext*) {
    restartItem_->y = gearButton_->y + gearButton_->height + gearGap_;
    deleteItem_->y = restartItem_->y + restartItem_->height + itemGap_;
    return true;
}

bool Settings::tick(double) {
    const bool gearClicked = gearButton_->takeClicked();
    Widget* focused = gui_->focused();
    const bool focusElsewhere =
        focused != gearButton_.get() && focused != restartItem_.get() && focused != deleteItem_.get();
    if ((gearButton_->visible && gearClicked) || (menuOpen_ && focusElsewhere)) toggleMenu();
    return true;
}

void Settings::toggleMenu() {
    menuOpen_ = !menuOpen_;
    gui_->setVisible(restartItem_.get(), menuOpen_);
    gui_->setVisible(deleteItem_.get(), menuOpen_);
}

void Settings::onVisibilityChanged() {
    const bool v = visible != 0;
    gui_->setVisible(gearButton_.get(), v);
    if (!v) {
        gui_->setVisible(restartItem_.get(), false);
        gui_->setVisible(deleteItem_.get(), false);
    } else if (menuOpen_) {
        gui_->setVisible(restartItem_.get(), true);
        gui_->setVisible(deleteItem_.get(), true);
    }
}

void Settings::propagateZOrder() {
    gearButton_->z = z;
    restartItem_->z = z;
    deleteItem_->z = z;
}

// ---- the panel ----

SingleVMAccessTable::SingleVMAccessTable(IPlayerWindow* window, CustomUICommandHandler* commands,
                                         std::int32_t buttonWidth, std::int32_t buttonHeight)
    : Table(window->playerGUI(), 1, 4),
      window_(window),
      commands_(commands),
      buttonWidth_(buttonWidth),
      buttonHeight_(buttonHeight) {}

SingleVMAccessTable::~SingleVMAccessTable() = default;

bool SingleVMAccessTable::isTrialWithoutDatacenter() const {
    return planName_ == "Trial" && desktop_.datacenter.empty();
}

void SingleVMAccessTable::setDesktops(const std::vector<DesktopInfo>& desktops, const UserPlan& plan) {
    PlayerGUI* gui = gui_;
    if (const DesktopInfo* shown = selectos::pickMachine(desktops)) desktop_ = *shown;
    planName_ = plan.userPlan;
    trialMinutes_ = plan.minTrialRemaining;

    const bool restartEnabled = desktop_.enabled && !desktop_.isEmpty() && !desktop_.isStopped();
    settings_ = std::make_shared<Settings>(gui, restartEnabled, kSettingsTopMargin, kSettingsRightMargin);
    PlayerApi* api = &window_->playerApi();
    auto restart = std::make_shared<PlayerApiPostTask>(api, api->makeStopVMTask(desktop_, kVmStopping));
    restart->addOnSuccess(std::make_shared<PostMessageUITask>(window_, kCommandStatusShuttingDown));
    auto remove = std::make_shared<PlayerApiPostTask>(api, api->makeDeleteVMTask(desktop_));
    remove->addOnSuccess(std::make_shared<PostMessageUITask>(window_, kCommandStatusDeleted));
    settings_->setTasks(restart, remove);

    buildMachineBlock();
    buildPlanBlock();

    const char* action = desktop_.isEmpty() ? "Create" : desktop_.isStopped() ? "Start" : "Access";
    const int mainCommand = commands_->registerTask(std::make_shared<UniqueDialogBaseUITask>(this, 0));
    mainButton_ = std::make_shared<Button>(gui, formatString(text("text_selectos_main_dorvik_computer"), action),
                                           mainCommand, gui->getFont("selectos-caption"));
    mainButton_->width = buttonWidth_;
    mainButton_->height = buttonHeight_;
    mainButton_->setColor(gui->getColor("so-green-idle"));
    mainButton_->setHoverColor(gui->getColor("so-green-hover"));
    mainButton_->filledLook = 1;
    gui->setEnabled(mainButton_.get(),
                    selectos::isReachable(desktop_) || desktop_.isEmpty() || desktop_.isStopped());

    const bool upgrade = planName_ == "Trial" && !desktop_.datacenter.empty();
    purchaseButton_ = std::make_shared<Button>(gui, text(upgrade ? "text_selectos_upgrade_plan" : "text_selectos_purchase"),
                                               kCommandSelectionAccountPage, gui->getFont("selectos-caption"));
    purchaseButton_->width = buttonWidth_;
    purchaseButton_->height = buttonHeight_;
    purchaseButton_->setColor(gui->getColor("so-blue-idle"));
    purchaseButton_->setHoverColor(gui->getColor("so-blue-hover"));
    purchaseButton_->filledLook = 1;

    setCell(0, 0, machineBlock_.get());
    setCell(0, 1, mainButton_.get());
    setCell(0, 2, planBlock_.get());
    setCell(0, 3, isTrialWithoutDatacenter() ? nullptr : purchaseButton_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, rowSpacing_);
    horizontalAlign = 3;
    verticalAlign = 3;
    invalidate();
    gui->setVisible(this, true);
}

void SingleVMAccessTable::buildMachineBlock() {
    PlayerGUI* gui = gui_;
    locationIcon_ = makeIcon(gui, kLocationImage);
    storageIcon_ = makeIcon(gui, kStorageImage);
    datacenterLabel_ = makeLabel(gui, window_->clientState().getDatacenterName(desktop_.datacenter), 2,
                                 "selectos-info", buttonWidth_ / 2);
    storageLabel_ = makeLabel(gui, "none", 2, "selectos-info", buttonWidth_ / 2);
    startTrialLabel_ = makeLabel(gui, text("text_selectos_start_trial_title"), 2, "selectos-caption", buttonWidth_);

    if (isTrialWithoutDatacenter()) {
        machineBlock_ = std::make_shared<Table>(gui, 1, 1);
        machineBlock_->setCell(0, 0, startTrialLabel_.get());
    } else {
        const bool trial = planName_ == "Trial";
        machineBlock_ = std::make_shared<Table>(gui, trial ? 1 : 2, 2);
        machineBlock_->setCell(0, 0, locationIcon_.get());
        machineBlock_->setCell(0, 1, datacenterLabel_.get());
        if (!trial) {
            machineBlock_->setCell(1, 0, storageIcon_.get());
            machineBlock_->setCell(1, 1, storageLabel_.get());
        }
    }
    machineBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    machineBlock_->setSpacing(0, machineBlockSpacing_);
}

void SingleVMAccessTable::buildPlanBlock() {
    PlayerGUI* gui = gui_;
    unlimitedLabel_ = makeLabel(gui, text("text_selectos_unlimited_plan"), 0, "selectos-caption");
    balanceLabel_ = makeLabel(gui, "none", 0, "selectos-caption");
    chargeLabel_ = makeLabel(gui, "none", 0, "selectos-info");
    trialLabel_ = makeLabel(gui, "none", 0, "selectos-info");
    if (planName_ == "Trial" || planName_ == "Unlimited") {
        planBlock_ = std::make_shared<Table>(gui, 1, 1);
        planBlock_->setCell(0, 0, planName_ == "Trial" ? trialLabel_.get() : unlimitedLabel_.get());
    } else {
        planBlock_ = std::make_shared<Table>(gui, 1, 2);
        planBlock_->setCell(0, 0, balanceLabel_.get());
        planBlock_->setCell(0, 1, chargeLabel_.get());
    }
    planBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    planBlock_->setSpacing(0, planBlockSpacing_);
    planBlock_->keepHiddenRows = 1;
}

void SingleVMAccessTable::setAccountInfo(std::int32_t balance, std::int32_t nextCredit, std::int32_t usedStorage,
                                         std::int32_t totalStorage, std::int32_t trialMinutes) {
    if (!balanceLabel_) return;
    balanceLabel_->setText(formatString(text("text_selectos_dorvik"), balance));
    balanceLabel_->invalidate();
    chargeLabel_->setText(formatString(text("text_selectos_dorvik_charge"), nextCredit));
    chargeLabel_->invalidate();
    storageLabel_->setText(formatString(text("text_selectos_memory"), usedStorage, totalStorage));
    storageLabel_->invalidate();
    trialLabel_->setText(formatString(text("text_selectos_trial_ends_in"), trialMinutes / 60, trialMinutes % 60));
    trialLabel_->invalidate();
}

void SingleVMAccessTable::onIndexSelected(std::int32_t) {
    window_->clientState().setSelectedDesktop(desktop_.name);
    if (desktop_.isEmpty()) {
        window_->postCommand(kCommandShowDatacenterChoice);
        // A new machine: the in-stream tour is offered again.
        ConfigStore::instance().set("Tutorial.MenuFinished", false, true);
    } else if (desktop_.isStopped()) {
        window_->postCommand(kCommandShowPlans);
    } else if (selectos::isReachable(desktop_)) {
        window_->postCommand(kCommandStartConnectionCheck);
    }
}

std::vector<Widget*> SingleVMAccessTable::parts() const {
    return {settings_.get(),       locationIcon_.get(),   datacenterLabel_.get(), storageIcon_.get(),
            storageLabel_.get(),   startTrialLabel_.get(), machineBlock_.get(),   mainButton_.get(),
            unlimitedLabel_.get(), balanceLabel_.get(),   chargeLabel_.get(),    trialLabel_.get(),
            planBlock_.get(),      purchaseButton_.get()};
}

void SingleVMAccessTable::onVisibilityChanged() {
    if (!settings_) return;
    const bool v = visible != 0;
    // The blocks first: a table shows all its cells with itself; the rule below then picks.
    gui_->setVisible(machineBlock_.get(), v);
    gui_->setVisible(planBlock_.get(), v);
    gui_->setVisible(settings_.get(), false);
    for (Widget* w : std::initializer_list<Widget*>{locationIcon_.get(), datacenterLabel_.get(), storageIcon_.get(),
                                                    storageLabel_.get(), startTrialLabel_.get(), mainButton_.get(),
                                                    unlimitedLabel_.get(), balanceLabel_.get(), chargeLabel_.get(),
                                                    trialLabel_.get(), purchaseButton_.get()})
        gui_->setVisible(w, false);

    const bool hasDatacenter = !desktop_.datacenter.empty();
    std::vector<Widget*> shown;
    if (hasDatacenter) shown.push_back(settings_.get());
    if (planName_ == "Trial") {
        if (hasDatacenter)
            shown.insert(shown.end(), {locationIcon_.get(), datacenterLabel_.get(), mainButton_.get(), trialLabel_.get(),
                                       purchaseButton_.get()});
        else
            shown.insert(shown.end(), {mainButton_.get(), startTrialLabel_.get()});
    } else if (planName_ == "Pay As You Go" || planName_ == "Gamer") {
        if (hasDatacenter)
            shown.insert(shown.end(), {locationIcon_.get(), datacenterLabel_.get(), storageIcon_.get(), storageLabel_.get(),
                                       mainButton_.get(), balanceLabel_.get(), chargeLabel_.get(), purchaseButton_.get()});
        else
            shown.insert(shown.end(), {mainButton_.get(), balanceLabel_.get(), purchaseButton_.get()});
    } else if (planName_ == "Unlimited") {
        if (hasDatacenter)
            shown.insert(shown.end(), {locationIcon_.get(), datacenterLabel_.get(), storageIcon_.get(), storageLabel_.get(),
                                       mainButton_.get(), unlimitedLabel_.get()});
        else
            shown.insert(shown.end(), {mainButton_.get(), unlimitedLabel_.get()});
    }
    for (Widget* w : shown) gui_->setVisible(w, v);
}

void SingleVMAccessTable::propagateZOrder() {
    for (Widget* w : parts())
        if (w) {
            w->z = z;
            w->propagateZOrder();
        }
}
