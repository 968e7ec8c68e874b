#pragma once
// The ground of a test screen: one colour over the whole window, below every other widget
// and never hit by the pointer.

#include "gui/Color.h"
#include "gui/Widget.h"

namespace guitest {

class ScreenGround : public Widget {
public:
    ScreenGround(PlayerGUI* gui, Color colour) : Widget(gui), colour_(colour) {
        z = -1000;
        ignoreMouse = 1;
    }
    void draw(AbstractGraphicsContext* context) override;

private:
    Color colour_;
};

}  // namespace guitest
