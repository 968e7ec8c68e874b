#include "gui/Widget.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/PlayerGUI.h"

Widget::Widget(PlayerGUI* gui) : gui_(gui) {
    if (gui_) {
        if (!gui_->mayBuildWidgets())
            throw "only main thread!";
        gui_->registerWidget(this);
    }
}

Widget::~Widget() {
    if (gui_)
        gui_->unregisterWidget(this);
}

bool Widget::hitTest(int px, int py) {
    if (ignoreMouse)
        return false;
    return px >= x && py >= y && px < x + width && py < y + height;
}

namespace {

int alignedPosition(int mode, int current, int window, int size, int startMargin, int endMargin) {
    switch (mode) {
        case 1:
            return startMargin;
        case 2:
            return window - size - endMargin;
        case 3:
            return (window - endMargin - startMargin) / 2 - size / 2 + startMargin;
        default:
            return current;
    }
}

}  // namespace

bool Widget::layout(int windowWidth, int windowHeight, AbstractGraphicsContext* context) {
    const bool measured = measure(context);
    if (anchor_) {
        y = anchor_->y + anchorOffsetY_;
        x = anchor_->x + anchorOffsetX_;
    } else {
        x = alignedPosition(horizontalAlign, x, windowWidth, width, marginLeft, marginRight);
        y = alignedPosition(verticalAlign, y, windowHeight, height, marginTop, marginBottom);
    }
    const bool arranged = arrange(context);
    return measured && arranged;
}

void Widget::setMargins(int left, int top, int right, int bottom) {
    marginLeft = left;
    marginTop = top;
    marginRight = right;
    marginBottom = bottom;
}

void Widget::centerAt(int cx, int cy) {
    if (cy != 0)
        y = cy - height / 2;
    if (cx != 0)
        x = cx - width / 2;
}

void Widget::attachTo(Widget* anchor, int offsetY, int offsetX) {
    anchor_ = anchor;
    if (anchor) {
        anchorOffsetY_ = offsetY;
        anchorOffsetX_ = offsetX;
    }
}

// ---------------------------------------------------------------------------------------------
// Frames from the "controls" atlas

namespace {

// Check-box frame looks (normal, hovered, pressed), nine pieces each.
const Rect kCheckBoxFrames[3][9] = {
    {{239, 1, 10, 10}, {251, 1, 4, 10}, {227, 1, 10, 10}, {227, 13, 10, 4}, {23, 167, 4, 4}, {215, 13, 10, 4},
     {215, 1, 10, 10}, {109, 7, 4, 10}, {97, 7, 10, 10}},
    {{23, 59, 10, 10}, {29, 119, 4, 10}, {23, 47, 10, 10}, {23, 131, 10, 4}, {29, 167, 4, 4}, {239, 13, 10, 4},
     {23, 35, 10, 10}, {23, 119, 4, 10}, {23, 23, 10, 10}},
    {{23, 107, 10, 10}, {29, 137, 4, 10}, {23, 95, 10, 10}, {23, 155, 10, 4}, {23, 173, 4, 4}, {23, 149, 10, 4},
     {23, 83, 10, 10}, {23, 137, 4, 10}, {23, 71, 10, 10}},
};

// Button frame looks (normal, hovered, pressed).
const Rect kButtonFrames[3][9] = {
    {{1, 67, 20, 20}, {51, 1, 4, 20}, {1, 45, 20, 20}, {1, 249, 20, 4}, {251, 13, 4, 4}, {1, 243, 20, 4},
     {1, 23, 20, 20}, {45, 1, 4, 20}, {1, 1, 20, 20}},
    {{1, 155, 20, 20}, {85, 1, 4, 20}, {1, 133, 20, 20}, {63, 7, 20, 4}, {23, 161, 4, 4}, {63, 1, 20, 4},
     {1, 111, 20, 20}, {57, 1, 4, 20}, {1, 89, 20, 20}},
    {{23, 1, 20, 20}, {119, 1, 4, 20}, {1, 221, 20, 20}, {97, 1, 20, 4}, {29, 161, 4, 4}, {63, 13, 20, 4},
     {1, 199, 20, 20}, {91, 1, 4, 20}, {1, 177, 20, 20}},
};

int lookOf(bool pressed, bool hovered) {
    return pressed ? 2 : (hovered ? 1 : 0);
}

}  // namespace

const Rect* ControlsRender::checkBoxFrameSources(int look) {
    return kCheckBoxFrames[look < 0 || look > 2 ? 0 : look];
}

const Rect* ControlsRender::buttonFrameSources(int look) {
    return kButtonFrames[look < 0 || look > 2 ? 0 : look];
}

void ControlsRender::drawNineSlice(AbstractGraphicsContext*, int x0, int x1, int x2, int x3, int y0, int y1,
                                   int y2, int y3, int outset, float scale, const Rect sources[9]) {
    AbstractSurface* controls = gui_ ? gui_->controlsSurface() : nullptr;
    if (!controls)
        return;
    const float d = float(outset) * scale;
    const int X0 = int(float(x0) - d), X3 = int(float(x3) + d);
    const int Y0 = int(float(y0) - d), Y3 = int(float(y3) + d);
    const int X1 = int(float(X0) + float(x1 - x0) * scale);
    const int X2 = int(float(X3) - float(x3 - x2) * scale);
    const int Y1 = int(float(Y0) + float(y1 - y0) * scale);
    const int Y2 = int(float(Y3) - float(y3 - y2) * scale);
    const int cols[4] = {X0, X1, X2, X3};
    const int rows[4] = {Y0, Y1, Y2, Y3};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const Rect& s = sources[r * 3 + c];
            controls->draw(cols[c], rows[r], cols[c + 1] - cols[c], rows[r + 1] - rows[r], s.x, s.y, s.width,
                           s.height);
        }
}

void ControlsRender::drawCheckBoxFrame(AbstractGraphicsContext* context, int x, int y, int w, int h, bool pressed,
                                       bool hovered) {
    if (w == 0)
        w = 14;
    if (h == 0)
        h = 14;
    drawNineSlice(context, x, x + 10, x + w - 10, x + w, y, y + 10, y + h - 10, y + h, 5, 1.0f,
                  kCheckBoxFrames[lookOf(pressed, hovered)]);
}

void ControlsRender::drawButtonFrame(AbstractGraphicsContext* context, int x, int y, int w, int h, bool pressed,
                                     bool hovered) {
    if (w == 0)
        w = 34;
    if (h == 0)
        h = 34;
    drawNineSlice(context, x, x + 20, x + w - 20, x + w, y, y + 20, y + h - 20, y + h, 5, 1.0f,
                  kButtonFrames[lookOf(pressed, hovered)]);
}

void ControlsRender::drawCheckBox(AbstractGraphicsContext*, Rect& rect, bool pressed, bool hovered, bool checked) {
    if (rect.width == 0)
        rect.width = 16;
    if (rect.height == 0)
        rect.height = 16;
    AbstractSurface* controls = gui_ ? gui_->controlsSurface() : nullptr;
    if (!controls)
        return;
    int sx = 125;
    if (checked)
        sx = pressed ? 197 : (hovered ? 179 : 161);
    else if (pressed || hovered)
        sx = 143;
    controls->draw(rect.x, rect.y, rect.width, rect.height, sx, 1, 16, 16);
}

// ---------------------------------------------------------------------------------------------

bool GUICommandTask::run() {
    if (manager_)
        manager_->sendCommand(commandId_);
    return true;
}
