#pragma once
// A button drawn from atlas images: normal, hover, pressed and disabled states, optional
// background fill or tint, image alignment and a border.

#include "gui/ButtonCommon.h"
#include "gui/Color.h"

class AbstractSurface;

class ImageButton : public ButtonCommon {
public:
    // A source rectangle of a surface; usable when the surface is set and the size is not
    // negative.
    struct State {
        int x = 0;
        int y = 0;
        int width = -1;
        int height = -1;
        AbstractSurface* surface = nullptr;
        bool usable() const { return surface && width >= 0 && height >= 0; }
    };
    enum StateIndex { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };
    // Background modes.
    enum { BackgroundNone = 0, BackgroundFill = 1, BackgroundTint = 2 };
    // Image alignment on each axis.
    enum { AlignStart = 0, AlignCentre = 1, AlignEnd = 2, AlignFill = 3 };

    ImageButton(PlayerGUI* gui, int commandId, const State& normal, const State& hover, const State& pressed,
                const State& disabled);
    ImageButton(PlayerGUI* gui, int commandId, AbstractSurface* surface, const Rect& normal, const Rect& hover,
                const Rect& pressed, const Rect& disabled);

    void draw(AbstractGraphicsContext* context) override;

    // Source rectangles (x, y, width, height) of normal, hover, pressed and disabled; the
    // widget takes the normal one's size.
    void setImages(int nx, int ny, int nw, int nh, int hx, int hy, int hw, int hh, int px, int py, int pw, int ph,
                   int dx, int dy, int dw, int dh);
    void setHoverImage(int x, int y, int w, int h);
    void setSurface(AbstractSurface* surface);
    void setBackground(int mode, Color normal, Color active, Color disabled);
    void setImageAlignment(int horizontal, int vertical);

    // The state the next draw shows.
    int currentState() const;
    const State& state(int index) const { return states_[index]; }

    int borderThickness = 0;
    unsigned char centerImage = 0;
    unsigned char shiftWhenPressed = 1;

private:
    void init(int commandId);

    State states_[4];
    Color background_ = Color(0xffffffffu);
    Color activeBackground_ = Color(0xffffffffu);
    Color disabledBackground_ = Color(0xffffffffu);
    int backgroundMode_ = BackgroundNone;
    int alignH_ = AlignFill;
    int alignV_ = AlignFill;
};
