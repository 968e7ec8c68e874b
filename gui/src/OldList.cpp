#include "gui/OldList.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"

OldList::OldList(PlayerGUI* gui) : Widget(gui), borderColor(gui->getColor("button-default")) {
    gui->setVisible(this, false);
}

bool OldList::arrange(AbstractGraphicsContext*) {
    if (!visible)
        return false;
    if (items_.empty()) {
        height = 2 * padding;
        return true;
    }
    int rowY = y + padding;
    for (Button* item : items_) {
        item->setX(x + itemInsetX);
        item->setY(rowY);
        item->width = width - 2 * (markerWidth + padding);
        rowY += item->height;
    }
    height = items_.back()->y + items_.back()->height + 2 * padding - items_.front()->y;
    return true;
}

void OldList::draw(AbstractGraphicsContext* context) {
    context->setColor(background_.value());
    gui_->fillRect(context, x, y, width, height);
    context->setColor(borderColor.value());
    gui_->drawBorder(context, x, y, width, height, padding, 0);
    Widget* hovered = gui_->hovered();
    for (Button* item : items_) {
        if (item != hovered)
            continue;
        const int markerHeight = int(float(item->height) * 0.8f);
        gui_->fillRect(context, x + width - markerWidth - padding, item->y + int(float(markerHeight) * 0.1f),
                       2 * padding, markerHeight);
        break;
    }
}

void OldList::setItemsVisible(bool show) {
    for (Button* item : items_)
        gui_->setVisible(item, show);
}

void OldList::setVisibleWithItems(bool show) {
    setItemsVisible(show);
    gui_->setVisible(this, show);
}
