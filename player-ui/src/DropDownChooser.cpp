#include "player-ui/DropDownChooser.h"

#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/List.h"
#include "gui/OldList.h"
#include "gui/PlayerGUI.h"
#include "player-ui/PlayerCommandIds.h"

template <class ListT>
DropDownChooser<ListT>::DropDownChooser(PlayerGUI* gui, const std::string& text, bool drawnArrow,
                                        std::int32_t valueWidth, std::int32_t textInset, bool insetStyledItems)
    : Widget(gui),
      valueWidth(valueWidth),
      textInset(textInset),
      drawnArrow(drawnArrow),
      frameColour(gui->getColor("button-default")),
      pendingValue(text),
      value(text),
      insetStyledItems_(insetStyledItems) {}

template <class ListT>
DropDownChooser<ListT>::~DropDownChooser() = default;

template <class ListT>
void DropDownChooser<ListT>::makeValueButton(const char* fontStyle) {
    valueButton = std::make_shared<Button>(gui_, pendingValue, kCommandNone, gui_->getFont(fontStyle));
    valueButton->width = valueWidth;
    valueButton->centerContent = 0;
    valueButton->contentOffsetX = textInset;
    valueButton->z = z;
}

template <class ListT>
void DropDownChooser<ListT>::makeArrowButton() {
    const Rect none{-1, -1, -1, -1};
    arrowButton = std::make_shared<ImageButton>(gui_, kCommandNone, gui_->getSurface("selectos"), kArrowPicture, none,
                                                none, none);
    arrowButton->z = z;
}

template <class ListT>
void DropDownChooser<ListT>::placeArrow(int arrowX) {
    arrowButton->x = arrowX;
    arrowButton->y = valueButton->y + valueButton->height / 2 - arrowButton->height / 2;
}

template <class ListT>
void DropDownChooser<ListT>::placeList() {
    list->x = x;
    list->y = y + height;
    list->width = width;
}

template <class ListT>
bool DropDownChooser<ListT>::tick(double) {
    if (!list || !valueButton)
        return false;
    const bool wasOpen = list->visible != 0;
    const Point press = gui_->pressPosition();
    if ((press.x != lastPressX || press.y != lastPressY) && !gui_->focused()) {
        hideList();
        lastPressX = press.x;
        lastPressY = press.y;
    }
    // Both latches are taken, so that a stale one cannot toggle the list a frame later.
    const bool valueClicked = valueButton->takeClicked();
    const bool arrowClicked = arrowButton && arrowButton->takeClicked();
    if (valueClicked || arrowClicked) {
        if (list->visible) {
            hideList();
        } else {
            list->setVisibleWithItems(true);
            valueButton->setText(pendingValue);
        }
    }
    // Opening or closing the list is a change on screen.
    return (list->visible != 0) != wasOpen;
}

template <class ListT>
void DropDownChooser<ListT>::propagateZOrder() {
    if (valueButton)
        valueButton->z = z;
    if (arrowButton)
        arrowButton->z = z;
    if (list) {
        list->z = z;
        for (Button* item : list->items())
            item->z = z;
    }
}

template <class ListT>
void DropDownChooser<ListT>::setVisible(bool show) {
    gui_->setVisible(this, show);
    if (!valueButton)
        return;  // not built yet
    valueButton->setText(value);
    if (!drawnArrow)
        gui_->setVisible(arrowButton.get(), show);
    gui_->setVisible(valueButton.get(), show);
    // A list left open would float without its chooser.
    if (!show)
        hideList();
}

template <class ListT>
void DropDownChooser<ListT>::addItem(Button* item, bool styled) {
    if (!list || !item)
        return;
    list->addItem(item);
    gui_->setVisible(item, false);
    if (styled) {
        item->setColor(listColour);
        item->centerContent = 0;
        if (insetStyledItems_)
            item->contentOffsetX = textInset;
    }
}

template <class ListT>
void DropDownChooser<ListT>::setSelectedText(const std::string& text) {
    pendingValue = text;
    if (valueButton)
        valueButton->setText(text);
}

template <class ListT>
void DropDownChooser<ListT>::hideList() {
    if (list)
        list->setVisibleWithItems(false);
}

template <class ListT>
bool DropDownChooser<ListT>::isListVisible() const {
    return list && list->visible != 0;
}

template class DropDownChooser<OldList>;
template class DropDownChooser<List>;
