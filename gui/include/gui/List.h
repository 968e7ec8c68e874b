#pragma once
// A vertical list of button rows that shows a window of its items, scrolled by what owners
// add to its accumulator, with a marker at the hovered item and a scroll thumb. It does not
// own its items and starts hidden.

#include "gui/Color.h"
#include "gui/Widget.h"

#include <vector>

class Button;

class List : public Widget {
public:
    explicit List(PlayerGUI* gui);

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;
    void propagateZOrder() override;
    bool tick(double seconds) override;

    void addItem(Button* item) { items_.push_back(item); }
    void setBackgroundColor(Color color) { background_ = color; }
    void setItemsVisible(bool visible);
    void setVisibleWithItems(bool visible);
    const std::vector<Button*>& items() const { return items_; }
    // The largest first visible index that still fills the window.
    int maxFirstVisible() const;

    int firstVisible = 0;
    int visibleCount = -1;  // 0 or less: all items
    int scrollAccumulator = 0;
    int scrollStep = 2;
    unsigned char noBackground = 0;
    int padding = 2;
    int markerWidth = 10;
    Color borderColor;
    Color markerColor = Color(0xff000000u);

private:
    std::vector<Button*> items_;
    Color background_ = Color(0u);
};
