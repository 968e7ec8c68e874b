#include "player-ui/PopupTable.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/OldList.h"
#include "gui/PlayerGUI.h"

namespace {

constexpr int kValueWidth = 200;
constexpr int kTextInset = 10;

}  // namespace

PopupTable::PopupTable(PlayerGUI* gui, const std::string& text, bool drawnArrow)
    : DropDownChooser<OldList>(gui, text, drawnArrow, kValueWidth, kTextInset, false),
      arrowColour_(gui->getColor("tutorial")) {}

PopupTable::~PopupTable() = default;

void PopupTable::build() {
    makeValueButton("selectos-info");
    valueButton->setColor(gui_->getColor("transparent"));

    list = std::make_shared<OldList>(gui_);
    list->padding = borderWidth;
    list->itemInsetX = textInset;
    list->z = z;

    makeArrowButton();
    if (drawnArrow) {
        gui_->setVisible(arrowButton.get(), false);
        valueButton->width = arrowButton->width + valueWidth;
        valueButton->height = valueButton->height * 7 / 10;
    }
    const int frame = innerGap + borderWidth;
    height = valueButton->height + 2 * frame;
    width = arrowButton->width + valueWidth + 2 * frame;
}

bool PopupTable::arrange(AbstractGraphicsContext*) {
    if (!valueButton)
        return true;
    const int frame = innerGap + borderWidth;
    valueButton->x = x + frame;
    valueButton->y = y + frame;
    if (!drawnArrow)
        placeArrow(x + valueWidth);
    placeList();
    return true;
}

void PopupTable::draw(AbstractGraphicsContext* context) {
    context->setColor(frameColour.value());
    gui_->drawBorder(context, x, y, width, height, borderWidth, 0);
    if (!drawnArrow)
        return;
    const int side = height;
    const int shift = valueButton && valueButton->isDown() ? 1 : 0;
    const int left = x + valueWidth + shift;
    const int top = y + shift;
    gui_->fillRect(context, left, top, side, side);
    context->setColor(arrowColour_.value());
    const int wingY = top + 5 * side / 12;
    gui_->fillTriangle(context, Point{left + 8, wingY}, Point{left + side - 8, wingY},
                       Point{left + side / 2, top + 2 * side / 3});
}
