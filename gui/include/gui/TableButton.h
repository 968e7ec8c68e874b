#pragma once
// A table that acts as one button: the pointer over any of its cells hovers it, and presses
// and releases (pointer, or Space and Enter) are reported to the subclass, which acts on them.

#include "gui/Table.h"

class TableButton : public Table {
public:
    TableButton(PlayerGUI* gui, unsigned columns, unsigned rows);

    // Inside any cell, edges included.
    bool hitTest(int x, int y) override;
    void onFocus() override { needsRedraw = 1; }
    void onBlur() override;
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void onMouseEnter() override;
    void onMouseLeave() override;
    bool onKeyDown(int key, int scancode, int mods) override;
    bool onKeyUp(int key, int scancode, int mods) override;

    // The subclass's reactions; each may be the last thing that happens to this widget.
    virtual void onHoverChanged(bool hovered) = 0;
    virtual void onPressChanged(bool pressed) = 0;

    void setPressed(bool pressed);
    bool isPressed() const { return pressed_ != 0; }

    // When clear, presses are neither tracked nor reported (the pointer is still captured).
    unsigned char pressReporting = 1;
    // What onHoverChanged hears when the pointer enters.
    unsigned char hoverValue = 1;

private:
    bool isActivationKey(int key) const;

    unsigned char pressed_ = 0;
};
