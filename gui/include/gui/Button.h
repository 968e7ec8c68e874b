#pragma once
// The text button, with an optional icon before the text. Drawn in the check-box frame
// tinted with its background colour, or filled with a thin frame round it.

#include "gui/ButtonCommon.h"
#include "gui/Color.h"

#include <cstdint>
#include <string>
#include <vector>

class AbstractSurface;
class GraphicsFont;

class Button : public ButtonCommon, public ControlsRender {
public:
    static constexpr int kDefaultWidth = 106;
    static constexpr int kDefaultHeight = 34;
    // The frame images reach this far beyond the button's rectangle on every side (one unit
    // more in the filled look). Buttons side by side are spaced by framedSpacing(gap) so that
    // their frames keep the gap between them instead of overlapping.
    static constexpr int kFrameOutset = 5;
    static constexpr int framedSpacing(int gap) { return gap + 2 * kFrameOutset; }

    // A null font means the GUI's default font.
    Button(PlayerGUI* gui, const std::string& text, int commandId, GraphicsFont* font = nullptr);
    ~Button() override;

    void draw(AbstractGraphicsContext* context) override;

    void setText(const std::string& text);
    const std::string& text() const { return text_; }
    // Both background colours; setHoverColor only the hovered one.
    void setColor(Color color);
    void setHoverColor(Color color) { hoverBackground_ = color; }
    void setTextColor(Color color);
    void setHoverTextColor(Color color) { hoverTextColor_ = color; }
    void setFrameColor(Color color) { frameColor_ = color; }
    void setIcon(AbstractSurface* surface, int srcX, int srcY, int srcW, int srcH, float scale, int gap);
    GraphicsFont* font() const { return font_; }
    // Widens the button, never narrows it, so that its icon and text fit with the margin on
    // either side (content placed from the left: after its offset, with the margin on the
    // right). Without a context to measure with the width stays.
    void fitContent(AbstractGraphicsContext* context, int margin);

    unsigned char centerContent = 1;
    int contentOffsetX = 0;
    int ownerValue = 0;        // for the owner's own use
    unsigned char filledLook = 0;

protected:
    // The widget's GUI (the same one ControlsRender holds).
    using ButtonCommon::gui_;

private:
    // The text's size, measured once per text.
    void textSize(AbstractGraphicsContext* context, int* width, int* height);

    std::string text_;
    std::vector<std::uint32_t> codePoints_;
    GraphicsFont* font_;
    Color background_;
    Color hoverBackground_;
    Color textColor_ = Color(0xffffffffu);
    Color hoverTextColor_ = Color(0xffffffffu);
    Color frameColor_ = Color(0xffffffffu);
    AbstractSurface* icon_ = nullptr;
    int iconX_ = -1;
    int iconY_ = -1;
    int iconW_ = -1;
    int iconH_ = -1;
    float iconScale_ = 1.0f;
    int iconGap_ = 0;
    bool measured_ = false;
    int textWidth_ = 0;
    int textHeight_ = 0;
};
