#pragma once
// The toolkit's label: styled text (a RichText) on one line at its natural size, or wrapped
// into a width, with optional links whose tasks run on click or on Space or Enter.

#include "gui/RichText.h"
#include "gui/Widget.h"

#include <memory>
#include <string>
#include <vector>

class GraphicsFont;
class PlayerGUITask;

class Static : public Widget {
public:
    // Link mode 1: the whole label is one link (hand cursor, underline, focusable).
    static constexpr int kWholeLabelLink = 1;

    Static(PlayerGUI* gui, const RichText& text, bool wrap);
    // Alignment 0 is one line; 1, 2, 3 and 4 wrap left, centred, right and justified.
    // kind 1 makes the whole label a link running task.
    Static(PlayerGUI* gui, const std::string& text, int alignment, GraphicsFont* font,
           Color color = Color(0xffffffffu), int kind = 0, std::shared_ptr<PlayerGUITask> task = {});

    void onFocus() override { needsRedraw = 1; }
    void onBlur() override { needsRedraw = 1; }
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void onMouseEnter() override;
    void onMouseLeave() override;
    bool onKeyDown(int key, int scancode, int mods) override;
    bool onKeyUp(int key, int scancode, int mods) override;
    void draw(AbstractGraphicsContext* context) override;
    bool measure(AbstractGraphicsContext* context) override;

    // Replaces the text (one plain span in the first span's font and colour) unless it is the
    // same as the last one given. The size follows after invalidate() and the next layout.
    void setText(const std::string& text);
    // Always replaces the text, with the given style.
    void setTextWithStyle(const std::string& text, int alignment, GraphicsFont* font, Color color);
    // 0 means no limit. Minimum limits win over maximum ones.
    void setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);
    void setPressedLook(bool pressed) { pressed_ = pressed ? 1 : 0; }
    // Runs the current link task.
    void activateLink();
    // Lays the text out again while the layout is dirty.
    void relayout(AbstractGraphicsContext* context);

    const RichText& richText() const { return text_; }
    const std::vector<TextRenderBlock>& blocks() const { return blocks_; }
    const std::string& currentText() const { return currentText_; }
    const std::shared_ptr<PlayerGUITask>& linkTask() const { return linkTask_; }
    bool isPressed() const { return pressed_ != 0; }
    bool isLinkHovered() const { return linkHovered_ != 0; }
    bool wraps() const { return wrap_ != 0; }
    int linkMode() const { return linkMode_; }

private:
    void rebuildBlocks();
    bool isHoveredLink(const TextRenderBlock& block) const;

    unsigned char wrap_;
    RichText text_;
    std::vector<TextRenderBlock> blocks_;
    std::shared_ptr<PlayerGUITask> linkTask_;
    int linkMode_ = 0;
    unsigned char pressed_ = 0;
    unsigned char linkHovered_ = 0;
    int minWidth_ = 0;
    int minHeight_ = 0;
    int maxWidth_ = 0;
    int maxHeight_ = 0;
    std::string currentText_;
};
