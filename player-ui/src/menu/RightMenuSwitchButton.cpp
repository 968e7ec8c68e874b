#include "player-ui/menu/RightMenuSwitchButton.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/PlayerCommandIds.h"

namespace {

constexpr int kOptionSpacing = 20;
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr Color kWhite(255, 255, 255, 255);

// The switch picture's click: marks the flip, then sends the command of the option shown.
// The command may end the switch, so the flip is marked first and nothing follows.
class SwitchClickTask : public PlayerGUITask {
public:
    explicit SwitchClickTask(RightMenuSwitchButton* owner) : owner_(owner) {}
    bool run() override {
        owner_->flipPending = true;
        const int id = owner_->currentCommand();
        if (manager_)
            manager_->sendCommand(id);
        return true;
    }

private:
    RightMenuSwitchButton* owner_;
};

}  // namespace

RightMenuSwitchButton::RightMenuSwitchButton(PlayerGUI* gui, const std::string& labelText,
                                             const std::string& firstOptionText,
                                             const std::string& secondOptionText, int firstCommand,
                                             int secondCommand, AbstractSurface* surface, const Rect& iconPicture,
                                             std::int32_t labelWidth, std::int32_t spacing)
    : Table(gui, 1, 2),
      firstCommand(firstCommand),
      secondCommand(secondCommand),
      defaultColour(gui->getColor("player-button-main-default")),
      hoverColour(gui->getColor("player-button-main-hover")),
      borderColour_(gui->getColor("white")),
      firstOption_(firstOptionText),
      secondOption_(secondOptionText) {
    focusable = firstCommand != 0 && secondCommand != 0 ? 1 : 0;
    header = std::make_shared<MenuButton>(gui, labelText, kCommandNone, surface, iconPicture, defaultColour,
                                          defaultColour, labelWidth);
    header->background = false;
    header->pressShift = false;
    header->setInteractive(false);

    GraphicsFont* font = gui->getDefaultFont();
    firstText = std::make_shared<Static>(gui, firstOptionText, 0, font, kWhite);
    secondText = std::make_shared<Static>(gui, secondOptionText, 0, font, kWhite);
    gui->setEnabled(firstText.get(), false);
    gui->setEnabled(secondText.get(), false);
    switchPicture =
        std::make_shared<ImageButton>(gui, firstCommand, surface, onPicture, kNoPicture, kNoPicture, kNoPicture);
    switchPicture->setCommandTask(std::make_shared<SwitchClickTask>(this));

    optionRow = std::make_shared<Table>(gui, 3, 1);
    optionRow->setCell(0, 0, firstText.get());
    optionRow->setCell(1, 0, switchPicture.get());
    optionRow->setCell(2, 0, secondText.get());
    optionRow->setSpacing(kOptionSpacing, 0);
    optionRow->setAllCellsAlignment(AlignCentre, AlignCentre);

    setCell(0, 0, header.get());
    setCell(0, 1, optionRow.get());
    // The whole switch is twice as high as the header plus the spacing.
    header->measure(gui->context());
    optionRow->measure(gui->context());
    setCellPadding(0, 1, 0, 0, 0, header->height + spacing - optionRow->height);
    setAllCellsAlignment(AlignCentre, AlignCentre);
}

RightMenuSwitchButton::~RightMenuSwitchButton() = default;

void RightMenuSwitchButton::setValue(const std::string& text, bool byUser) {
    if (byUser)
        userChanged = true;
    on = text == firstOption_;
    const Rect& p = on ? onPicture : offPicture;
    switchPicture->setImages(p.x, p.y, p.width, p.height, 0, 0, -1, -1, 0, 0, -1, -1, 0, 0, -1, -1);
    needsRedraw = 1;
}

bool RightMenuSwitchButton::tick(double) {
    if (flipPending) {
        flipPending = false;
        setValue(on ? secondOption_ : firstOption_, true);
    }
    const bool nowHovered = gui_->hovered() == switchPicture.get();
    const bool nowDown = switchPicture->isDown();
    if (nowHovered == hovered && nowDown == wasDown)
        return false;
    hovered = nowHovered;
    wasDown = nowDown;
    return true;
}

void RightMenuSwitchButton::draw(AbstractGraphicsContext* context) {
    const Rect top = getCellRect(0, 0);
    const Rect bottom = getCellRect(0, 1);
    const Rect bar{top.x, top.y, top.width, bottom.y + bottom.height - top.y};
    MenuButton::drawBar(gui_, context, bar, hovered || wasDown ? hoverColour : defaultColour, borderColour_, true);
}

void RightMenuSwitchButton::propagateZOrder() {
    header->z = z;
    header->propagateZOrder();
    optionRow->z = z;
    firstText->z = z;
    switchPicture->z = z;
    secondText->z = z;
}
