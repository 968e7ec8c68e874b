#include "player-ui/menu/ImageMenuButton.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "player-ui/menu/MenuButton.h"

#include <algorithm>

namespace {

constexpr Rect kNoPicture{-1, -1, -1, -1};

}  // namespace

ImageMenuButton::ImageMenuButton(PlayerGUI* gui, int command, AbstractSurface* surface, const Rect& pictureRect,
                                 Color defaultColour, Color hoverColour, std::int32_t width, std::int32_t height)
    : TableButton(gui, 1, 1),
      command(command),
      itemWidth(width),
      itemHeight(height),
      defaultColour(defaultColour),
      hoverColour(hoverColour),
      borderColour_(gui->getColor("white")) {
    focusable = command != 0 ? 1 : 0;
    picture = std::make_shared<ImageButton>(gui, command, surface, pictureRect, pictureRect, kNoPicture, kNoPicture);
    gui->setEnabled(picture.get(), false);
    picture->width = width;
    picture->centerImage = 1;
    const int padding = std::max(0, height - pictureRect.height / 2);
    setCell(0, 0, picture.get());
    setCellPadding(0, 0, 0, padding, 0, padding);
    setCellAlignment(0, 0, AlignCentre, AlignCentre);
}

ImageMenuButton::~ImageMenuButton() = default;

void ImageMenuButton::draw(AbstractGraphicsContext* context) {
    const bool lit = isInteractive() && (hovered || isPressed());
    Rect bar = getCellRect(0, 0);
    if (pressShift && isPressed()) {
        ++bar.x;
        ++bar.y;
    }
    MenuButton::drawBar(gui_, context, bar, lit ? hoverColour : defaultColour, borderColour_, true);
}

void ImageMenuButton::onVisibilityChanged() { gui_->setVisible(picture.get(), visible != 0); }

void ImageMenuButton::propagateZOrder() { picture->z = z; }

void ImageMenuButton::onHoverChanged(bool isHovered) {
    hovered = isHovered;
    picture->setHighlighted(isHovered);
    needsRedraw = 1;
}

void ImageMenuButton::onPressChanged(bool pressed) {
    picture->setDown(pressed);
    needsRedraw = 1;
    if (!pressed && command != 0)
        gui_->sendCommand(command);
}

void ImageMenuButton::setInteractive(bool interactive) {
    pressReporting = interactive ? 1 : 0;
    needsRedraw = 1;
}
