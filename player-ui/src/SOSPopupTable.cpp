#include "player-ui/SOSPopupTable.h"

#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/PlayerGUI.h"

namespace {

// The window command that nobody handles (kCommandNone of the window's command table).
constexpr int kCommandNone = 126;
constexpr int kValueWidth = 270;
constexpr int kTextInset = 20;
constexpr int kArrowRightInset = 10;

}  // namespace

SOSPopupTable::SOSPopupTable(PlayerGUI* gui, const std::string& text, bool drawnArrow)
    : DropDownChooser<List>(gui, text, drawnArrow, kValueWidth, kTextInset, true) {}

SOSPopupTable::~SOSPopupTable() = default;

void SOSPopupTable::buildContent() {
    valueButton = std::make_shared<Button>(gui_, pendingValue, kCommandNone, gui_->getFont("selectos-caption"));
    valueButton->width = valueWidth;
    valueButton->height = kValueHeight;
    valueButton->centerContent = 0;
    valueButton->contentOffsetX = textInset;
    valueButton->setColor(gui_->getColor("white"));
    valueButton->setTextColor(gui_->getColor("so-blue-hover"));
    valueButton->filledLook = 1;
    valueButton->z = z;

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
