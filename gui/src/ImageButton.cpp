#include "gui/ImageButton.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"

ImageButton::ImageButton(PlayerGUI* gui, int commandId, const State& normal, const State& hover, const State& pressed,
                         const State& disabled)
    : ButtonCommon(gui) {
    states_[Normal] = normal;
    states_[Hover] = hover;
    states_[Pressed] = pressed;
    states_[Disabled] = disabled;
    init(commandId);
}

ImageButton::ImageButton(PlayerGUI* gui, int commandId, AbstractSurface* surface, const Rect& normal,
                         const Rect& hover, const Rect& pressed, const Rect& disabled)
    : ButtonCommon(gui) {
    const Rect* rects[4] = {&normal, &hover, &pressed, &disabled};
    for (int i = 0; i < 4; ++i)
        states_[i] = State{rects[i]->x, rects[i]->y, rects[i]->width, rects[i]->height, surface};
    init(commandId);
}

void ImageButton::init(int commandId) {
    setCommand(commandId);
    width = states_[Normal].width;
    height = states_[Normal].height;
    focusable = commandId != 0 ? 1 : 0;
}

void ImageButton::setImages(int nx, int ny, int nw, int nh, int hx, int hy, int hw, int hh, int px, int py, int pw,
                            int ph, int dx, int dy, int dw, int dh) {
    const int v[4][4] = {{nx, ny, nw, nh}, {hx, hy, hw, hh}, {px, py, pw, ph}, {dx, dy, dw, dh}};
    for (int i = 0; i < 4; ++i) {
        states_[i].x = v[i][0];
        states_[i].y = v[i][1];
        states_[i].width = v[i][2];
        states_[i].height = v[i][3];
    }
    width = nw;
    height = nh;
    needsRedraw = 1;
}

void ImageButton::setHoverImage(int hx, int hy, int hw, int hh) {
    states_[Hover].x = hx;
    states_[Hover].y = hy;
    states_[Hover].width = hw;
    states_[Hover].height = hh;
}

void ImageButton::setSurface(AbstractSurface* surface) {
    for (State& s : states_)
        s.surface = surface;
    needsRedraw = 1;
}

void ImageButton::setBackground(int mode, Color normal, Color active, Color disabled) {
    backgroundMode_ = mode;
    background_ = normal;
    activeBackground_ = active;
    disabledBackground_ = disabled;
}

void ImageButton::setImageAlignment(int horizontal, int vertical) {
    alignH_ = horizontal;
    alignV_ = vertical;
}

int ImageButton::currentState() const {
    if (!enabled)
        return states_[Disabled].usable() ? Disabled : Normal;
    int chosen = Normal;
    if (highlighted && states_[Hover].usable())
        chosen = Hover;
    if (down) {
        if (states_[Pressed].usable())
            chosen = Pressed;
        else if (states_[Hover].usable())
            chosen = Hover;
    }
    return chosen;
}

namespace {

// Start and extent of an image of size `size` in the span [start, start + extent).
void place(int alignment, int start, int extent, int size, int* outStart, int* outSize) {
    switch (alignment) {
        case ImageButton::AlignStart:
            *outStart = start;
            *outSize = size;
            break;
        case ImageButton::AlignCentre:
            *outStart = start + (extent - size) / 2;
            *outSize = size;
            break;
        case ImageButton::AlignEnd:
            *outStart = start + extent - size;
            *outSize = size;
            break;
        default:
            *outStart = start;
            *outSize = extent;
            break;
    }
}

}  // namespace

void ImageButton::draw(AbstractGraphicsContext* context) {
    const State& s = states_[currentState()];
    const int shift = (down && shiftWhenPressed) ? 1 : 0;
    Color colour = (down || highlighted) ? activeBackground_ : background_;
    if (backgroundMode_ == BackgroundTint && !enabled)
        colour = disabledBackground_;
    if (backgroundMode_ == BackgroundFill) {
        context->setColor(colour.value());
        gui_->fillRect(context, x + shift, y + shift, width, height);
        context->setColor(0xffffffffu);
    } else if (backgroundMode_ == BackgroundNone) {
        context->setColor(0xffffffffu);
    } else {
        context->setColor(colour.value());
    }
    if (s.usable()) {
        int dx = 0, dy = 0, dw = 0, dh = 0;
        if (centerImage) {
            dx = x + (width - s.width) / 2;
            dy = y + (height - s.height) / 2;
            dw = s.width;
            dh = s.height;
        } else {
            place(alignH_, x, width, s.width, &dx, &dw);
            place(alignV_, y, height, s.height, &dy, &dh);
        }
        s.surface->draw(dx + shift, dy + shift, dw, dh, s.x, s.y, s.width, s.height);
    }
    if (gui_->focusShown() && gui_->focused() == this)
        gui_->drawFocusOverlay(context, x, y, width, height);
    if (borderThickness != 0) {
        context->setColor(0xffffffffu);
        gui_->drawBorder(context, x, y, width, height, borderThickness, 0);
    }
}
