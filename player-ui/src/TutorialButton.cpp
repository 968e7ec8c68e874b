#include "player-ui/TutorialButton.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "player-ui/PlayerCommandIds.h"

namespace {

// The arrow after the label, in the "selectos" atlas.
const Rect kArrowPicture{173, 131, 25, 19};
const Rect kNoPicture{-1, -1, -1, -1};

}  // namespace

TutorialButton::TutorialButton(PlayerGUI* gui, const std::string& label, bool showArrow)
    : TableButton(gui, 2, 1), ControlsRender(gui) {
    textButton = std::make_shared<Button>(gui, label, kCommandTourNext);
    textButton->setTextColor(gui->getColor("black"));
    textButton->setColor(gui->getColor("transparent"));

    arrowButton = std::make_shared<ImageButton>(gui, kCommandTourNext, gui->getSurface("selectos"), kArrowPicture,
                                                kNoPicture, kNoPicture, kNoPicture);
    arrowButton->centerImage = 1;
    arrowButton->width = kArrowPicture.width + kArrowExtraWidth;
    arrowButton->setImageAlignment(ImageButton::AlignStart, ImageButton::AlignCentre);

    if (showArrow) {
        textButton->width = kLabelWidthWithArrow;
        textButton->contentOffsetX = kLabelShiftWithArrow;
        setCell(1, 0, arrowButton.get());
    } else {
        gui->setVisible(arrowButton.get(), false);
    }

    z = kZOrder;
    textButton->z = kZOrder;
    arrowButton->z = kZOrder;
    propagateZOrder();
    textButton->propagateZOrder();
    arrowButton->propagateZOrder();
    setCell(0, 0, textButton.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
}

TutorialButton::~TutorialButton() = default;

void TutorialButton::draw(AbstractGraphicsContext* context) {
    context->setColor(gui_->getColor("white").value());
    drawCheckBoxFrame(context, x, y, width, height, isPressed(), hovered);
}

bool TutorialButton::tick(double) {
    hovered = textButton->isHighlighted() || arrowButton->isHighlighted();
    return hovered;
}

void TutorialButton::onHoverChanged(bool value) { hovered = hovered || value; }
