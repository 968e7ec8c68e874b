#pragma once
// The "go on" button of a tour callout: a label and, optionally, an arrow picture, both of
// which send the tour's next-page command, drawn together in one white frame that shows the
// pressed look while the button is pressed and the hover look while either part is hovered.

#include "gui/TableButton.h"

#include <memory>
#include <string>

class Button;
class ImageButton;

class TutorialButton : public TableButton, public ControlsRender {
public:
    static constexpr int kZOrder = 1000;
    static constexpr int kLabelWidthWithArrow = 80;
    static constexpr int kLabelShiftWithArrow = 10;
    static constexpr int kArrowExtraWidth = 10;  // the arrow button is this much wider than its picture

    TutorialButton(PlayerGUI* gui, const std::string& label, bool showArrow);
    ~TutorialButton() override;

    void draw(AbstractGraphicsContext* context) override;
    // Follows the hover of the two parts; asks for a redraw while hovered.
    bool tick(double seconds) override;
    void onHoverChanged(bool hovered) override;
    void onPressChanged(bool) override {}

    bool hovered = false;
    std::shared_ptr<Button> textButton;
    std::shared_ptr<ImageButton> arrowButton;

protected:
    using TableButton::gui_;
};
