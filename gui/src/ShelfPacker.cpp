#include "gui/ShelfPacker.h"

#include <algorithm>

bool ShelfPacker::place(int width, int height, int* outX, int* outY) {
    if (width < 0 || height < 0 || width + 2 > pageWidth_ || height + 2 > pageHeight_)
        return false;  // could never fit, not even on an empty page
    int x = nextX_;
    int y = rowY_;
    int rowHeight = rowHeight_;
    if (empty_) {
        x = 0;
        y = 0;
        rowHeight = 0;
    } else {
        if (pageWidth_ < x + width + 2) {
            x = 0;
            y = rowY_ + rowHeight_ + 2;
            rowHeight = 0;
        }
        if (pageHeight_ < y + height + 2)
            return false;
    }
    nextX_ = x + width + 2;
    rowY_ = y;
    rowHeight_ = std::max(rowHeight, height);
    empty_ = false;
    *outX = x + 1;
    *outY = y + 1;
    return true;
}
