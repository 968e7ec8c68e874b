#pragma once
// A vertical list of button rows without scrolling: it stacks all its items, sizes them to
// its width and marks the hovered one. It does not own its items and starts hidden.

#include "gui/Color.h"
#include "gui/Widget.h"

#include <vector>

class Button;

class OldList : public Widget {
public:
    explicit OldList(PlayerGUI* gui);

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;

    void addItem(Button* item) { items_.push_back(item); }
    void setBackgroundColor(Color color) { background_ = color; }
    void setItemsVisible(bool visible);
    void setVisibleWithItems(bool visible);
    const std::vector<Button*>& items() const { return items_; }

    int padding = 2;
    int itemInsetX = 0;
    int markerWidth = 10;
    Color borderColor;

private:
    std::vector<Button*> items_;
    Color background_ = Color(0u);
};
