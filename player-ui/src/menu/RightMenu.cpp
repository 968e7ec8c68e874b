#include "player-ui/menu/RightMenu.h"

#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Table.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/ControlCredits.h"
#include "player-ui/menu/DecoderPopup.h"
#include "player-ui/menu/DialogTimeout.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuSwitchButton.h"
#include "player-ui/menu/RightMenuSynchronizedSwitchButton.h"
#include "player-ui/menu/SynchronizedMenuButton.h"

namespace {

constexpr Rect kArrowPicture{496, 1, 10, 18};
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kArrowOffset = 15;
constexpr int kPassThroughTourPage = 10;
constexpr int kPassThroughTourKind = 4;

std::string text(const char* key) { return LanguageStore::instance().text(key); }

}  // namespace

RightMenu::RightMenu(PlayerGUI* gui, std::int32_t spacing, std::int32_t margin,
                     std::shared_ptr<BoolUser> recordVar, std::shared_ptr<BoolUser> controllersVar,
                     CustomUICommandHandler* handler)
    : Widget(gui),
      recordVariable(std::move(recordVar)),
      controllersVariable(std::move(controllersVar)),
      spacing(spacing),
      margin(margin) {
    AbstractSurface* images = gui->getSurface("images");
    const Color normal = gui->getColor("player-button-main-default");
    const Color hover = gui->getColor("player-button-main-hover");
    const Color exitNormal = gui->getColor("player-button-exit-default");
    const Color exitHover = gui->getColor("player-button-exit-hover");

    // Each column is as wide as its longest fixed text needs; values set later wrap.
    mainWidth = MenuButton::labelWidthFor(
        gui, {text("menu_account"), text("menu_settings"), text("menu_system"), text("menu_record_start"),
              text("menu_record_finish"), text("menu_help"), text("menu_taskmgr"), text("menu_logout"),
              text("menu_close")},
        mainWidth);
    pageWidth = MenuButton::labelWidthFor(
        gui, {text("menu_bugreport"), text("menu_setup_controller"), text("menu_enable_passthrought"),
              text("menu_enable_hotkeys"), text("menu_resolution"), text("menu_fps"), text("menu_restart"),
              text("menu_timeout_settings")},
        pageWidth);

    credits = std::make_shared<ControlCredits>(gui, spacing);
    credits->horizontalAlign = 2;
    credits->verticalAlign = 1;
    credits->setMargins(0, margin, margin, 0);

    for (auto* arrow : {&settingsArrow, &systemArrow}) {
        *arrow = std::make_shared<ImageButton>(gui, kCommandNone, images, kArrowPicture, kNoPicture, kNoPicture,
                                               kNoPicture);
        (*arrow)->focusable = 0;
        (*arrow)->ignoreMouse = 1;
        gui->setEnabled(arrow->get(), false);
        gui->setVisible(arrow->get(), false);
    }

    idleTimeoutDialog = std::make_shared<DialogTimeout>(gui, handler, text("dialog_content_timeout"),
                                                    text("dialog_caption_timeout"), kCommandSendIdleTimeout);

    auto item = [&](const std::string& label, int command, const Rect& picture, std::int32_t width) {
        return std::make_shared<MenuButton>(gui, label, command, images, picture, normal, hover, width);
    };
    // A label of the system page: shows a value, takes no input.
    auto valueLabel = [&](const Rect& picture, Color colour) {
        auto label = std::make_shared<MenuButton>(gui, "none", kCommandNone, images, picture, colour, colour,
                                                  pageWidth);
        label->setInteractive(false);
        label->pressShift = false;
        label->focusable = 0;
        return label;
    };

    // Main page.
    accountItem = item(text("menu_account"), kCommandAccountPage, {52, 416, 32, 32}, mainWidth);
    settingsItem = item(text("menu_settings"), kCommandToggleSettingsPage, {373, 35, 32, 32}, mainWidth);
    systemItem = item(text("menu_system"), kCommandToggleSystemPage, {271, 35, 32, 32}, mainWidth);
    recordItem = std::make_shared<SynchronizedMenuButton>(recordVariable, gui, text("menu_record_start"),
                                                          text("menu_record_finish"), kCommandRecordSaved, images,
                                                          Rect{1, 346, 32, 32}, Rect{1, 312, 32, 32}, mainWidth);
    helpItem = item(text("menu_help"), kCommandHelpPage, {52, 144, 32, 32}, mainWidth);
    taskManagerItem = item(text("menu_taskmgr"), kCommandTaskManager, {237, 35, 32, 32}, mainWidth);
    logOutItem = item(text("menu_logout"), kCommandLogOut, {52, 110, 32, 32}, mainWidth);
    closeItem = item(text("menu_close"), kCommandCloseSession, {52, 348, 32, 32}, mainWidth);
    for (MenuButton* exit : {logOutItem.get(), closeItem.get()}) {
        exit->defaultColour = exitNormal;
        exit->hoverColour = exitHover;
        exit->activeDefaultColour = exitNormal;
        exit->activeHoverColour = exitHover;
    }
    const Color activeItem = gui->getColor("player-button-active-item");
    for (MenuButton* pageItem : {settingsItem.get(), systemItem.get()}) {
        pageItem->activeDefaultColour = activeItem;
        pageItem->activeHoverColour = activeItem;
    }

    // System page.
    qualityLabel = valueLabel({1, 448, 32, 32}, normal);
    decoderScoreLabel = valueLabel({1, 414, 32, 32}, normal);
    datacenterItem = item("none", kCommandResetDatacenter, {86, 76, 18, 32}, pageWidth);
    planItem = item("none", kCommandStreamPlan, {1, 380, 32, 32}, pageWidth);
    decoderRow = std::make_shared<DecoderPopup>(gui, pageWidth, spacing);
    gpuLabel = valueLabel({52, 178, 32, 32}, normal);
    bugReportItem = item(text("menu_bugreport"), kCommandBugReport, {475, 35, 32, 32}, pageWidth);

    // Settings page.
    const Rect gamepadPicture{339, 35, 32, 32};
    setupControllerItem = item(text("menu_setup_controller"), kCommandShowGamepadSetup, gamepadPicture, pageWidth);
    passThroughSwitch = std::make_shared<RightMenuSynchronizedSwitchButton>(
        controllersVariable, gui, text("menu_enable_passthrought"), text("menu_enable_passthrought_on"),
        text("menu_enable_passthrought_off"), kCommandNone, kCommandNone, images, gamepadPicture, pageWidth, spacing);
    hotKeysSwitch = std::make_shared<RightMenuSwitchButton>(
        gui, text("menu_enable_hotkeys"), text("menu_enable_hotkeys_on"), text("menu_enable_hotkeys_off"),
        kCommandHotKeysOff, kCommandHotKeysOn, images, Rect{52, 246, 32, 32}, pageWidth, spacing);
    resolutionSwitch = std::make_shared<RightMenuSwitchButton>(
        gui, text("menu_resolution"), text("menu_resolution_720"), text("menu_resolution_1080"),
        kCommandResolution1080, kCommandResolution720, images, Rect{407, 35, 32, 32}, pageWidth, spacing);
    frameRateSwitch = std::make_shared<RightMenuSwitchButton>(
        gui, text("menu_fps"), text("menu_fps_30"), text("menu_fps_60"), kCommandFrameRate60, kCommandFrameRate30,
        images, Rect{52, 212, 32, 32}, pageWidth, spacing);
    restartItem = item(text("menu_restart"), kCommandRestartMachine, {441, 35, 32, 32}, pageWidth);
    timeoutItem = item(text("menu_timeout_settings"), kCommandShowIdleTimeout, {203, 35, 32, 32}, pageWidth);
    gui->registerTutorialTarget(kPassThroughTourPage, kPassThroughTourKind, passThroughSwitch.get());

    mainPage = std::make_shared<Table>(gui, 1, 9);
    unsigned row = 0;
    for (MenuButton* m : mainItems())
        mainPage->setCell(0, row++, m);
    mainPage->horizontalAlign = 2;
    mainPage->setMargins(0, 0, margin, 0);

    systemPage = std::make_shared<Table>(gui, 1, 7);
    row = 0;
    for (Widget* w : std::initializer_list<Widget*>{qualityLabel.get(), decoderScoreLabel.get(),
                                                    datacenterItem.get(), planItem.get(), decoderRow.get(),
                                                    gpuLabel.get(), bugReportItem.get()})
        systemPage->setCell(0, row++, w);

    settingsPage = std::make_shared<Table>(gui, 1, 9);
    row = 0;
    for (Widget* w : std::initializer_list<Widget*>{setupControllerItem.get(), passThroughSwitch.get(),
                                                    hotKeysSwitch.get(), resolutionSwitch.get(),
                                                    frameRateSwitch.get(), restartItem.get(), timeoutItem.get()})
        settingsPage->setCell(0, row++, w);

    for (Table* page : {mainPage.get(), systemPage.get(), settingsPage.get()}) {
        page->setAllCellsAlignment(Table::AlignCentre, Table::AlignCentre);
        page->setSpacing(0, spacing);
        gui->setVisible(page, false);
    }
    settingsPage->setMargins(0, 0, margin, 0);
    systemPage->setMargins(0, 0, margin, 0);

    resolutionSwitch->setValue(text("menu_resolution_720"), false);
    frameRateSwitch->setValue(text("menu_fps_30"), false);
    hotKeysSwitch->setValue(text("menu_enable_hotkeys_on"), false);
}

RightMenu::~RightMenu() = default;

std::vector<MenuButton*> RightMenu::mainItems() const {
    return {accountItem.get(), settingsItem.get(), systemItem.get(),    recordItem.get(),
            helpItem.get(),    taskManagerItem.get(), logOutItem.get(), closeItem.get()};
}

void RightMenu::onVisibilityChanged() {
    const bool show = visible != 0;
    gui_->setVisible(credits.get(), show);
    gui_->setVisible(mainPage.get(), show);
    showPage(settingsPage.get(), settingsItem.get(), false);
    showPage(systemPage.get(), systemItem.get(), false);
    gui_->setVisible(settingsArrow.get(), false);
    gui_->setVisible(systemArrow.get(), false);
}

void RightMenu::showPage(Table* page, MenuButton* item, bool show) {
    gui_->setVisible(page, show);
    item->active = show;
    item->needsRedraw = 1;
    page->invalidate();
}

void RightMenu::toggleSettingsPage() {
    showPage(settingsPage.get(), settingsItem.get(), !settingsPage->visible);
    showPage(systemPage.get(), systemItem.get(), false);
}

void RightMenu::toggleSystemPage() {
    showPage(systemPage.get(), systemItem.get(), !systemPage->visible);
    showPage(settingsPage.get(), settingsItem.get(), false);
}

void RightMenu::toggleDecoderPopup() {
    decoderRow->toggleList();
    systemPage->invalidate();
}

void RightMenu::setTourLock(bool locked) {
    for (MenuButton* m : mainItems())
        m->setInteractive(!locked);
    for (MenuButton* m : {setupControllerItem.get(), restartItem.get(), timeoutItem.get()})
        m->setInteractive(!locked);
    tourLocked = locked;
}

bool RightMenu::tick(double) {
    if (!visible)
        return false;
    const bool noFocus = gui_->focused() == nullptr;
    if (systemPage->visible && noFocus)
        showPage(systemPage.get(), systemItem.get(), false);
    if (settingsPage->visible && noFocus && !tourLocked)
        showPage(settingsPage.get(), settingsItem.get(), false);
    const bool arrows = !systemPage->visible && !settingsPage->visible;
    if ((settingsArrow->visible != 0) != arrows) {
        gui_->setVisible(settingsArrow.get(), arrows);
        gui_->setVisible(systemArrow.get(), arrows);
    }
    return true;
}

void RightMenu::placeBeside(Widget* page, const MenuButton& item) {
    const int px = item.x - page->width - spacing;
    if (page->x != px || page->y != item.y) {
        page->x = px;
        page->y = item.y;
        page->invalidate();
    }
}

void RightMenu::placeArrow(ImageButton& arrow, const MenuButton& item) {
    arrow.x = item.x - kArrowOffset;
    arrow.y = item.y + (item.height - arrow.height) / 2;
}

bool RightMenu::arrange(AbstractGraphicsContext*) {
    const int mainY = credits->y + credits->height + margin;
    if (mainPage->y != mainY) {
        mainPage->y = mainY;
        mainPage->invalidate();
    }
    if (systemPage->visible)
        placeBeside(systemPage.get(), *systemItem);
    if (settingsPage->visible)
        placeBeside(settingsPage.get(), *settingsItem);
    if (systemArrow->visible)
        placeArrow(*systemArrow, *systemItem);
    if (settingsArrow->visible)
        placeArrow(*settingsArrow, *settingsItem);
    return true;
}

void RightMenu::setQuality(std::int32_t value) { qualityLabel->setText(std::to_string(value) + "//100"); }

void RightMenu::setQualityNormalStyle() {
    const Color c = gui_->getColor("player-button-main-default");
    qualityLabel->defaultColour = c;
    qualityLabel->hoverColour = c;
    qualityLabel->needsRedraw = 1;
}

void RightMenu::setQualityWarningStyle() {
    const Color c = gui_->getColor("yellow");
    qualityLabel->defaultColour = c;
    qualityLabel->hoverColour = c;
    qualityLabel->needsRedraw = 1;
}

void RightMenu::setDecoderScore(std::int32_t value) { decoderScoreLabel->setText(std::to_string(value) + "//100"); }

void RightMenu::setDatacenterLabel(const std::string& label) { datacenterItem->setText(label); }

void RightMenu::setPlanLabel(const std::string& label) { planItem->setText(label); }

void RightMenu::setGpuLabel(const std::string& label) {
    gpuLabel->setText(formatString(text("menu_gpu"), label.c_str()));
}

void RightMenu::setCurrentDecoder(const std::string& name) { decoderRow->setCurrentDecoder(name); }

void RightMenu::setFramerateSwitchValue(const std::string& label) { frameRateSwitch->setValue(label, false); }

void RightMenu::setResolutionSwitchValue(const std::string& label) { resolutionSwitch->setValue(label, false); }

IDecoderPopup& RightMenu::decoderPopup() { return *decoderRow; }

IDialogTimeout& RightMenu::timeoutDialog() { return *idleTimeoutDialog; }
