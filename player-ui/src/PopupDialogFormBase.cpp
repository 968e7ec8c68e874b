#include "player-ui/PopupDialogFormBase.h"

#include "gui/GraphicsFont.h"
#include "gui/PlayerGUI.h"
#include "gui/Table.h"

namespace {

constexpr int kLeftButton = 0;
constexpr int kAlignNone = 0;
constexpr int kAlignCentre = 3;

}  // namespace

PopupDialogFormBase::PopupDialogFormBase(PlayerGUI* gui) : Widget(gui) {
    modal = 1;
    int lineHeight = 0;
    if (GraphicsFont* header = gui->getHeaderFont()) {
        FontMetrics metrics;
        header->getMetrics(metrics);
        lineHeight = metrics.height;
    }
    headerPadTop = (kHeaderHeight - lineHeight) / 2;
    headerPadBottom = kHeaderHeight - lineHeight - headerPadTop;
}

PopupDialogFormBase::~PopupDialogFormBase() { contentTable.reset(); }

bool PopupDialogFormBase::hitTest(int px, int py) {
    if (!contentTable)
        return false;
    const Table& t = *contentTable;
    return px >= t.x && py >= t.y && px < t.x + t.width && py < t.y + t.height;
}

bool PopupDialogFormBase::onMouseMove(int px, int py) {
    if (gui_->isCaptured(this) && contentTable) {
        contentTable->x += px - dragX;
        contentTable->y += py - dragY;
        dragX = px;
        dragY = py;
        needsRedraw = 1;
        onMoved();
    }
    return true;
}

bool PopupDialogFormBase::onMouseDown(int button, int px, int py) {
    if (gui_->isCaptured(this) || button != kLeftButton)
        return false;
    gui_->setCapture(this);
    dragX = px;
    dragY = py;
    needsRedraw = 1;
    return true;
}

bool PopupDialogFormBase::onMouseUp(int button, int, int) {
    if (!gui_->isCaptured(this) || button != kLeftButton)
        return false;
    gui_->setCapture(nullptr);
    needsRedraw = 1;
    return true;
}

void PopupDialogFormBase::draw(AbstractGraphicsContext* context) {
    if (!contentTable)
        return;
    const Table& t = *contentTable;
    gui_->drawModalPanel(context, t.x, t.y, t.width, t.height);
    pinContentTable();
}

void PopupDialogFormBase::pinContentTable() {
    if (contentTable->horizontalAlign == kAlignCentre || contentTable->verticalAlign == kAlignCentre) {
        contentTable->horizontalAlign = kAlignNone;
        contentTable->verticalAlign = kAlignNone;
    }
}
