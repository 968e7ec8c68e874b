#include "gui/CheckBox.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"

namespace {

constexpr std::uint32_t kDisabledText = 0xff7f7f7f;
constexpr int kBoxSize = 16;
constexpr int kBoxGap = 4;
constexpr int kKeyEnter = 257;

}  // namespace

CheckBox::CheckBox(PlayerGUI* gui, const std::string& label, int commandId, GraphicsFont* font, Color textColor)
    : ButtonCommon(gui),
      ControlsRender(gui),
      label_(label),
      codePoints_(utf8ToCodePoints(label)),
      commandId_(commandId),
      font_(font ? font : gui->getDefaultFont()),
      textColor_(textColor) {
    focusable = 1;
    if (AbstractGraphicsContext* context = gui->context()) {
        if (!context->measureText(codePoints_, 0, -1, font_, &labelWidth_, &labelHeight_, 0)) {
            labelWidth_ = 0;
            labelHeight_ = 0;
        }
    }
    width = labelWidth_ + kBoxSize + kBoxGap;
    height = 17;
}

void CheckBox::setChecked(bool value) {
    checked_ = value ? 1 : 0;
    needsRedraw = 1;
}

void CheckBox::onClick() {
    checked_ = checked_ ? 0 : 1;
    needsRedraw = 1;
    // The handler may destroy this box: nothing of it is touched after the command.
    PlayerGUI* gui = gui_;
    const int id = commandId_;
    gui->sendCommand(id);
}

bool CheckBox::onKeyDown(int key, int scancode, int mods) {
    if (key == kKeyEnter && !enterToggles_) return false;
    return ButtonCommon::onKeyDown(key, scancode, mods);
}

bool CheckBox::onKeyUp(int key, int scancode, int mods) {
    if (key == kKeyEnter && !enterToggles_) return false;
    return ButtonCommon::onKeyUp(key, scancode, mods);
}

void CheckBox::draw(AbstractGraphicsContext* context) {
    const std::uint32_t ink = enabled ? textColor_.value() : kDisabledText;
    context->setColor(ink);
    Rect box{x, y + height / 2 - kBoxSize / 2, kBoxSize, kBoxSize};
    drawCheckBox(context, box, down != 0, gui_->hovered() == this, checked_ != 0);
    const int labelX = x + kBoxSize + kBoxGap;
    const int labelY = y + height / 2 - labelHeight_ / 2;
    context->setTextColor(ink);
    context->drawText(codePoints_, 0, -1, font_, labelX, labelY, labelWidth_, labelHeight_, 0);
    if (gui_->focusShown() && gui_->focused() == this)
        gui_->drawFocusOverlay(context, labelX, labelY, labelWidth_, labelHeight_);
}
