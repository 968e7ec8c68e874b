#pragma once
// The base of every on-screen element: geometry in logical window coordinates, layout by
// alignment and margins or relative to an anchor widget, state flags read by the GUI, and the
// virtual operations through which the GUI draws, ticks and feeds input to it.
//
// A widget registers with its GUI when constructed and unregisters when destroyed. It may
// only be constructed on the GUI's owner thread or while that thread's PlayerGUILock is held
// (otherwise the constructor throws "only main thread!").

#include <memory>

class AbstractGraphicsContext;
class PlayerGUI;

class Widget : public std::enable_shared_from_this<Widget> {
public:
    explicit Widget(PlayerGUI* gui);
    virtual ~Widget();

    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    virtual bool isLayoutDirty() { return layoutDirty != 0; }
    virtual bool hitTest(int x, int y);
    virtual void onFocus() {}
    virtual void onBlur() {}
    virtual bool onMouseMove(int, int) { return false; }
    virtual bool onMouseDown(int, int, int) { return false; }
    virtual bool onMouseUp(int, int, int) { return false; }
    virtual void onMouseEnter() {}
    virtual void onMouseLeave() {}
    virtual bool onKeyDown(int, int, int) { return false; }
    virtual bool onKeyUp(int, int, int) { return false; }
    virtual bool onChar(unsigned) { return false; }
    virtual void draw(AbstractGraphicsContext*) {}
    // Computes the widget's own size; whether it is final.
    virtual bool measure(AbstractGraphicsContext*) { return !layoutDirty; }
    // Places what the widget positions itself, after it was positioned.
    virtual bool arrange(AbstractGraphicsContext*) { return true; }
    virtual void onVisibilityChanged() {}
    virtual void propagateZOrder() {}
    virtual bool tick(double) { return needsRedraw != 0; }

    // Measure, position by anchor or alignment, arrange.
    bool layout(int windowWidth, int windowHeight, AbstractGraphicsContext* context);
    void invalidate() {
        layoutDirty = 1;
        needsRedraw = 1;
    }
    void setMargins(int left, int top, int right, int bottom);
    // Centres on the point; a coordinate of 0 leaves that axis alone.
    void centerAt(int x, int y);
    // Places the widget at the anchor's position plus the offsets; null detaches (offsets kept).
    void attachTo(Widget* anchor, int offsetY, int offsetX);

    PlayerGUI* gui() const { return gui_; }
    int getX() const { return x; }
    int getY() const { return y; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool isVisible() const { return visible != 0; }
    bool isEnabled() const { return enabled != 0; }
    bool isFocusable() const { return focusable != 0; }
    bool isModal() const { return modal != 0; }
    Widget* anchor() const { return anchor_; }

    // Called by the GUI when it is destroyed while a shared pointer still owns this widget:
    // the widget then no longer refers to the GUI.
    void detachFromGUI() { gui_ = nullptr; }

    int z = 0;
    int horizontalAlign = 0;  // 0 leave, 1 start, 2 end, 3 centre
    int verticalAlign = 0;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    unsigned char focusable = 0;
    unsigned char layoutDirty = 0;
    unsigned char modal = 0;
    unsigned char ignoreMouse = 0;
    unsigned char visible = 1;   // change through PlayerGUI::setVisible
    unsigned char enabled = 1;   // change through PlayerGUI::setEnabled
    unsigned char needsRedraw = 1;

protected:
    PlayerGUI* gui_;
    Widget* anchor_ = nullptr;
    int anchorOffsetY_ = 0;
    int anchorOffsetX_ = 0;
};

// A rectangle in logical pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Draws the standard frames and check-box glyphs from the "controls" atlas, tinted by the
// context's current colour.
class ControlsRender {
public:
    explicit ControlsRender(PlayerGUI* gui) : gui_(gui) {}

    static void checkBoxSize(Rect& rect) {
        rect.width = 16;
        rect.height = 16;
    }
    // Nine cells between the column edges x0..x3 and row edges y0..y3, grown outward by
    // outset * scale. Sources in the order top-left, top, top-right, left, centre, right,
    // bottom-left, bottom, bottom-right.
    void drawNineSlice(AbstractGraphicsContext* context, int x0, int x1, int x2, int x3, int y0, int y1, int y2,
                       int y3, int outset, float scale, const Rect sources[9]);
    void drawCheckBoxFrame(AbstractGraphicsContext* context, int x, int y, int width, int height, bool pressed,
                           bool hovered);
    void drawButtonFrame(AbstractGraphicsContext* context, int x, int y, int width, int height, bool pressed,
                         bool hovered);
    // A zero width or height in the rectangle becomes 16 first.
    void drawCheckBox(AbstractGraphicsContext* context, Rect& rect, bool pressed, bool hovered, bool checked);

    // The nine source rectangles of a frame look: 0 normal, 1 hovered, 2 pressed.
    static const Rect* checkBoxFrameSources(int look);
    static const Rect* buttonFrameSources(int look);

protected:
    PlayerGUI* gui_;
};
