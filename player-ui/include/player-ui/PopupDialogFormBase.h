#pragma once
// A modal form: one content table drawn as a dark panel with a header band, which the user
// drags by any point of it that no control takes. The form opens where its content table's
// alignment puts it (the subclasses centre it); the first draw pins that position, so that
// dragging can move it and it stays where it was left.
//
// Modal: while it is visible the GUI reports a modal widget and the stream is dimmed. The
// caption row of a subclass is 31 high, as high as the header band: headerPadTop and
// headerPadBottom fill the header font's line height up to 31.

#include "gui/Widget.h"

#include <cstdint>
#include <memory>

class Table;

class PopupDialogFormBase : public Widget {
public:
    static constexpr int kHeaderHeight = 31;

    explicit PopupDialogFormBase(PlayerGUI* gui);
    ~PopupDialogFormBase() override;

    // Inside the content table (right and bottom edges excluded).
    bool hitTest(int x, int y) override;
    // While the form holds the capture: moves the content table with the pointer.
    bool onMouseMove(int x, int y) override;
    // A left press takes the capture and starts a drag.
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void draw(AbstractGraphicsContext* context) override;
    // After every drag step.
    virtual void onMoved() {}

    std::shared_ptr<Table> contentTable;
    std::int32_t dragX = 0;
    std::int32_t dragY = 0;
    std::int32_t headerPadTop = 0;
    std::int32_t headerPadBottom = 0;

protected:
    // Turns a centred content table into a fixed one at its current place.
    void pinContentTable();
};
