#pragma once
// The callout of one guided-tour page: a caption, a wrapped text, and a bottom row with the
// page counter, a link that skips the rest of the tour and the button that goes on. It is
// filled with the tour colour inside a white frame and points at its anchor widget with a
// triangle; every frame it places itself by the anchor (above, below, beside) or centres
// itself when the page has no anchor.
//
// Modal: while it is up, the GUI reports a modal widget and the stream is dimmed. The popup
// dialog manager makes it under PlayerGUILock and releases it when the tour moves on.

#include "gui/Table.h"
#include "player-ui/TourPage.h"

#include <cstdint>
#include <memory>

class ImageButton;
class Static;
class TutorialButton;

class TutorialPopup : public Table {
public:
    static constexpr int kZOrder = 1000;

    TutorialPopup(PlayerGUI* gui, const TourPage& page);
    ~TutorialPopup() override;

    // Places the callout by its anchor; always asks for a redraw.
    bool tick(double seconds) override;
    // Background, frame and the pointer towards the anchor.
    void draw(AbstractGraphicsContext* context) override;
    // The cells and the decoration come and go with the callout.
    void onVisibilityChanged() override;

    float uiScale;
    std::int32_t page;
    std::int32_t kind;  // the placement kind (no anchor: centred)
    std::int32_t besideAnchor;
    std::int32_t offsetY;
    std::int32_t offsetX;
    Widget* anchor;
    std::int32_t pointerWidth = 50;
    std::int32_t verticalGap = 30;
    std::int32_t horizontalGap = 50;
    std::int32_t padding = 15;
    std::int32_t borderWidth = 3;
    std::shared_ptr<Static> captionLabel;
    std::shared_ptr<Static> textLabel;
    std::shared_ptr<Static> leftLabel;
    std::shared_ptr<TutorialButton> button;
    std::shared_ptr<Static> skipLabel;
    std::shared_ptr<Table> actionRow;
    std::shared_ptr<Table> footer;
    std::shared_ptr<ImageButton> decoration;  // page 3 only
};
