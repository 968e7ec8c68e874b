#pragma once
// A bar of squares that shows a value between minimum and maximum (the bitrate, in units of
// 1024 bit/s): one square per unitsPerSegment, full squares in the full colour, the square
// the value ends in split between the two colours. Dragging the pointer along the bar while
// it is held sets the value and sends the command on every move; a plain click sends
// nothing.

#include "gui/ButtonCommon.h"
#include "gui/Color.h"

#include <cstdint>

class Slider : public ButtonCommon {
public:
    Slider(PlayerGUI* gui, int command, std::int32_t gap, std::int32_t minimum, std::int32_t maximum);

    bool onMouseMove(int x, int y) override;
    void draw(AbstractGraphicsContext* context) override;
    // A click without a move changes nothing, so it sends nothing.
    void onClick() override {}

    // Held by the pointer (pressed on it and not yet released).
    bool isDragging() const;

    std::int32_t maximum;
    std::int32_t minimum;
    std::int32_t value = 0;
    std::int32_t unitsPerSegment = 2000;
    std::int32_t step = 25;
    std::int32_t segmentSize = 20;
    std::int32_t gap;
    int command;
    Color emptyColour;
    Color fullColour;
};
