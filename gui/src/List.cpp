#include "gui/List.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"

#include <algorithm>

List::List(PlayerGUI* gui) : Widget(gui), borderColor(gui->getColor("button-default")) {
    gui->setVisible(this, false);
}

int List::maxFirstVisible() const {
    if (visibleCount <= 0)
        return 0;
    return std::max(0, int(items_.size()) - visibleCount);
}

bool List::arrange(AbstractGraphicsContext*) {
    if (!visible)
        return false;
    const int count = int(items_.size());
    const int begin = std::min(std::max(firstVisible, 0), count);
    const int end = visibleCount > 0 ? std::min(count, begin + visibleCount) : count;
    if (begin >= end) {
        // Nothing to show: an empty frame.
        width = 0;
        height = 2 * padding;
        return true;
    }
    int rowY = y + padding;
    for (int i = begin; i < end; ++i) {
        Button* item = items_[std::size_t(i)];
        item->setX(x);
        item->setY(rowY);
        rowY += item->height;
    }
    const Button* firstItem = items_[std::size_t(begin)];
    const Button* lastItem = items_[std::size_t(end - 1)];
    height = lastItem->y + lastItem->height + 2 * padding - firstItem->y;
    width = firstItem->width;
    return true;
}

bool List::tick(double) {
    if (visibleCount > 0 && scrollStep != 0) {
        const int steps = scrollAccumulator / scrollStep;
        if (steps != 0) {
            // Clamped to [0, items - visible], which is 0 for a list shorter than its window.
            firstVisible = std::min(std::max(firstVisible + steps, 0), maxFirstVisible());
            scrollAccumulator = 0;
        }
    }
    if (visible) {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const int index = int(i);
            const bool show =
                visibleCount <= 0 || (index >= firstVisible && index <= firstVisible + visibleCount - 1);
            if ((items_[i]->visible != 0) != show)
                gui_->setVisible(items_[i], show);
        }
    }
    return false;
}

void List::propagateZOrder() {
    for (Button* item : items_) {
        item->z = z;
        item->propagateZOrder();
    }
}

void List::draw(AbstractGraphicsContext* context) {
    if (!noBackground) {
        context->setColor(background_.value());
        gui_->fillRect(context, x, y, width, height);
        context->setColor(borderColor.value());
        gui_->drawBorder(context, x, y, width, height, padding, 0);
    }
    Widget* hovered = gui_->hovered();
    for (Button* item : items_) {
        if (item != hovered)
            continue;
        const int markerHeight = int(float(item->height) * 0.4f);
        const int m = visibleCount > 0 ? 2 * markerWidth : markerWidth;
        context->setColor(markerColor.value());
        gui_->fillRect(context, x + width - padding - m, item->y + (item->height - markerHeight) / 2, 2 * padding,
                       markerHeight);
        break;
    }
    if (visibleCount > 0 && !items_.empty()) {
        // At least 1: a list shorter than its window has a full-height thumb.
        const unsigned divisor = unsigned(std::max(1, int(items_.size()) - visibleCount + 1));
        const int thumb = int(unsigned(visibleCount) * unsigned(std::max(items_.front()->height, 0)) / divisor);
        context->setColor(markerColor.value());
        gui_->fillRect(context, x + width - markerWidth - padding, y + thumb * firstVisible, 2 * padding, thumb);
    }
}

void List::setItemsVisible(bool show) {
    for (Button* item : items_)
        gui_->setVisible(item, show);
}

void List::setVisibleWithItems(bool show) {
    setItemsVisible(show);
    gui_->setVisible(this, show);
}
