#include "gui/Button.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"

namespace {

constexpr std::uint32_t kDisabledText = 0xff7f7f7f;

}  // namespace

Button::Button(PlayerGUI* gui, const std::string& text, int commandId, GraphicsFont* font)
    : ButtonCommon(gui),
      ControlsRender(gui),
      text_(text),
      codePoints_(utf8ToCodePoints(text)),
      font_(font ? font : gui->getDefaultFont()),
      background_(gui->getColor("button-default")),
      hoverBackground_(background_) {
    setCommand(commandId);
    focusable = 1;
    width = kDefaultWidth;
    height = kDefaultHeight;
}

Button::~Button() = default;

void Button::setText(const std::string& text) {
    text_ = text;
    codePoints_ = utf8ToCodePoints(text);
    measured_ = false;
    needsRedraw = 1;
}

void Button::setColor(Color color) {
    background_ = color;
    hoverBackground_ = color;
}

void Button::setTextColor(Color color) {
    textColor_ = color;
    hoverTextColor_ = color;
}

void Button::setIcon(AbstractSurface* surface, int srcX, int srcY, int srcW, int srcH, float scale, int gap) {
    icon_ = surface;
    iconX_ = srcX;
    iconY_ = srcY;
    iconW_ = srcW;
    iconH_ = srcH;
    iconScale_ = scale;
    iconGap_ = gap;
    needsRedraw = 1;
}

void Button::textSize(AbstractGraphicsContext* context, int* w, int* h) {
    if (!measured_) {
        textWidth_ = 0;
        textHeight_ = 0;
        if (!context->measureText(codePoints_, 0, -1, font_, &textWidth_, &textHeight_, 0)) {
            textWidth_ = 0;
            textHeight_ = 0;
        }
        measured_ = true;
    }
    *w = textWidth_;
    *h = textHeight_;
}

void Button::fitContent(AbstractGraphicsContext* context, int margin) {
    if (!context)
        return;
    int tw = 0, th = 0;
    textSize(context, &tw, &th);
    int content = tw;
    if (icon_ && iconW_ >= 0 && iconH_ >= 0)
        content += int(float(iconW_) * iconScale_) + iconGap_;
    // Content that starts at its offset from the left edge needs the margin on the right only.
    const int needed = centerContent ? content + 2 * margin : contentOffsetX + content + margin;
    if (needed > width) {
        width = needed;
        invalidate();
    }
}

void Button::draw(AbstractGraphicsContext* context) {
    const Color fill = highlighted ? hoverBackground_ : background_;
    const Color ink = highlighted ? hoverTextColor_ : textColor_;
    context->setColor(fill.value());
    if (!filledLook) {
        drawCheckBoxFrame(context, x, y, width, height, down != 0, gui_->hovered() == this);
    } else {
        const int shift = down ? 1 : 0;
        gui_->fillRect(context, x + shift, y + shift, width, height);
        context->setColor(frameColor_.value());
        drawButtonFrame(context, x + shift - 1, y + shift - 1, width + 2, height + 2, down != 0, highlighted != 0);
    }

    int tw = 0, th = 0;
    textSize(context, &tw, &th);
    int iconWidth = 0, gap = 0;
    const bool hasIcon = icon_ && iconW_ >= 0 && iconH_ >= 0;
    if (hasIcon) {
        iconWidth = int(float(iconW_) * iconScale_);
        gap = iconGap_;
    }
    int left = centerContent ? x + (width - iconWidth - gap - tw) / 2 : x;
    left += contentOffsetX;
    int textTop = y + height / 2 - th / 2;
    if (down) {
        ++left;
        ++textTop;
    }
    if (hasIcon) {
        const int ih = int(float(iconH_) * iconScale_);
        const int iconTop = int(float(y + height / 2) - float(ih) * 0.5f + 1.0f);
        context->setColor(0xffffffffu);
        icon_->draw(left, iconTop, iconWidth, ih, iconX_, iconY_, iconW_, iconH_);
    }
    const int textX = left + iconWidth + gap;
    context->setTextColor(enabled ? ink.value() : kDisabledText);
    context->drawText(codePoints_, 0, -1, font_, textX, textTop, tw, th, 0);
    if (gui_->focusShown() && gui_->focused() == this)
        gui_->drawFocusOverlay(context, textX, textTop, tw, th);
}
