#include "gui/testing/ScreenGround.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"

namespace guitest {

void ScreenGround::draw(AbstractGraphicsContext* context) {
    int w = 0, h = 0;
    gui_->getSize(&w, &h);
    context->setColor(colour_.value());
    gui_->fillRect(context, 0, 0, w, h);
}

}  // namespace guitest
