#pragma once
// What the two drop-down choosers share: a value button showing the choice, an arrow, and a
// list of item buttons that opens below the chooser. A click on the value or the arrow opens
// or closes the list (the next frame applies it); a press on no widget at all closes it. The
// owner fills the list with buttons whose tasks report the picked item, and shows the pick
// with setSelectedText.
//
// ListT is the toolkit list the chooser opens: OldList (all items) or List (a scrolled
// window of them). The item buttons belong to the owner; the chooser only places them.

#include "gui/Color.h"
#include "gui/Widget.h"

#include <cstdint>
#include <memory>
#include <string>

class Button;
class ImageButton;

template <class ListT>
class DropDownChooser : public Widget {
public:
    // The arrow picture of the "selectos" atlas.
    static constexpr Rect kArrowPicture{487, 98, 18, 9};

    bool tick(double seconds) override;
    void propagateZOrder() override;

    // Shows or hides the chooser with its value button (and the arrow unless it is drawn);
    // the value button shows the committed value again. Hiding also closes the list; the
    // list is never opened by this.
    void setVisible(bool visible);
    // Appends an item button to the list, hidden. Styled items take the list colour as
    // their background and show their text left-aligned.
    void addItem(Button* item, bool styled);
    // The text of the last pick: kept for the next opening and shown at once.
    void setSelectedText(const std::string& text);
    void hideList();
    bool isListVisible() const;

    std::shared_ptr<ImageButton> arrowButton;
    std::shared_ptr<Button> valueButton;
    std::shared_ptr<ListT> list;
    std::int32_t valueWidth;
    std::int32_t borderWidth = 2;
    std::int32_t lastPressX = 0;
    std::int32_t lastPressY = 0;
    std::int32_t textInset;
    bool drawnArrow;
    Color listColour = Color(0u);
    Color frameColour;
    std::string pendingValue;
    std::string value;

protected:
    DropDownChooser(PlayerGUI* gui, const std::string& text, bool drawnArrow, std::int32_t valueWidth,
                    std::int32_t textInset, bool insetStyledItems);
    ~DropDownChooser() override;

    // The value button showing pendingValue in the font style, valueWidth wide, its text
    // left-aligned at the text inset; and the arrow every chooser uses. Both at this
    // chooser's z order.
    void makeValueButton(const char* fontStyle);
    void makeArrowButton();
    // Centres the arrow vertically on the value button, at x.
    void placeArrow(int arrowX);
    // Places the list under the chooser, as wide as it.
    void placeList();

private:
    bool insetStyledItems_;
};
