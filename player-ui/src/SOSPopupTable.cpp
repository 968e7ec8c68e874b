#include "player-ui/SOSPopupTable.h"

#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/PlayerGUI.h"

namespace {

constexpr int kValueWidth = 270;
constexpr int kTextInset = 20;
constexpr int kArrowRightInset = 10;

}  // namespace

SOSPopupTable::SOSPopupTable(PlayerGUI* gui, const std::string& text, bool drawnArrow)
    : DropDownChooser<List>(gui, text, drawnArrow, kValueWidth, kTextInset, true) {}

SOSPopupTable::~SOSPopupTable() = default;

void SOSPopupTable::buildContent() {
    makeValueButton("selectos-caption");
    valueButton->height = kValueHeight;
    valueButton->setColor(gui_->getColor("white"));
    valueButton->setTextColor(gui_->getColor("so-blue-hover"));
    valueButton->filledLook = 1;

    list = std::make_shared<List>(gui_);
    list->padding = borderWidth;
    list->visibleCount = kVisibleRows;
    list->z = z;

    makeArrowButton();
    height = valueButton->height;
    width = valueWidth;
}

bool SOSPopupTable::arrange(AbstractGraphicsContext*) {
    if (!valueButton)
        return true;
    valueButton->x = x;
    valueButton->y = y;
    if (!drawnArrow)
        placeArrow(valueButton->x + valueButton->width - arrowButton->width - kArrowRightInset);
    placeList();
    return true;
}

void SOSPopupTable::scrollList(int pixels) {
    if (list)
        list->scrollAccumulator -= pixels;
}

void SOSPopupTable::setListValue(std::int32_t v) {
    borderWidth = v;
    if (list)
        list->padding = v;
}

void SOSPopupTable::setListBackgroundColor(Color colour) {
    listColour = colour;
    if (list)
        list->setBackgroundColor(colour);
}

void SOSPopupTable::setFrameColour(Color colour) {
    frameColour = colour;
    if (!list)
        return;
    list->borderColor = colour;
    list->markerColor = gui_->getColor("so-blue-hover");
}
