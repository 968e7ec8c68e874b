#include "player-ui/menu/Slider.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"

#include <algorithm>

Slider::Slider(PlayerGUI* gui, int command, std::int32_t gap, std::int32_t minimum, std::int32_t maximum)
    : ButtonCommon(gui),
      maximum(maximum),
      minimum(minimum),
      gap(gap),
      command(command),
      emptyColour(gui->getColor("player-slider")),
      fullColour(gui->getColor("player-button-green-hover")) {
    setCommand(command);
    height = segmentSize + 2 * gap;
    width = (maximum - minimum) * (segmentSize + gap) / unitsPerSegment - gap;
}

bool Slider::isDragging() const { return gui_ && gui_->isCaptured(this); }

bool Slider::onMouseMove(int px, int py) {
    ButtonCommon::onMouseMove(px, py);
    if (!isDragging())
        return true;
    float fraction = width > 0 ? float(px - x) / float(width) : 0.0f;
    fraction = std::min(1.0f, std::max(0.0f, fraction));
    value = std::int32_t(float(maximum - minimum) * fraction + float(minimum));
    needsRedraw = 1;
    gui_->sendCommand(command);
    return true;
}

void Slider::draw(AbstractGraphicsContext* context) {
    const std::int32_t segments = (maximum - minimum) / unitsPerSegment;
    const std::int32_t full = (value - minimum) / unitsPerSegment;
    const int top = y + gap;
    int left = x;
    for (std::int32_t i = 0; i < segments; ++i, left += segmentSize + gap) {
        if (i < full) {
            context->setColor(fullColour.value());
            gui_->fillRect(context, left, top, segmentSize, segmentSize);
        } else if (i == full) {
            const int filled = (value - full * unitsPerSegment - minimum) * segmentSize / unitsPerSegment;
            if (filled > 0) {
                context->setColor(fullColour.value());
                gui_->fillRect(context, left, top, filled, segmentSize);
            }
            context->setColor(emptyColour.value());
            gui_->fillRect(context, left + filled, top, segmentSize - filled, segmentSize);
        } else {
            context->setColor(emptyColour.value());
            gui_->fillRect(context, left, top, segmentSize, segmentSize);
        }
    }
}
