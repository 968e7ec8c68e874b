#include "gui/Static.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/PlayerGUI.h"

#include <algorithm>

namespace {

constexpr int kKeySpace = 32;
constexpr int kKeyEnter = 257;
constexpr int kCursorArrow = 0;
constexpr int kCursorHand = 2;

}  // namespace

Static::Static(PlayerGUI* gui, const RichText& text, bool wrap) : Widget(gui), wrap_(wrap ? 1 : 0), text_(text) {
    rebuildBlocks();
    layoutDirty = 1;
    relayout(gui ? gui->context() : nullptr);
}

Static::Static(PlayerGUI* gui, const std::string& text, int alignment, GraphicsFont* font, Color color, int kind,
               std::shared_ptr<PlayerGUITask> task)
    : Widget(gui),
      wrap_(alignment != 0 ? 1 : 0),
      text_(RichText::modeFromAlignment(alignment), text, font, color, kind, std::move(task)),
      linkMode_(kind) {
    rebuildBlocks();
    layoutDirty = 1;
    focusable = linkMode_ == kWholeLabelLink ? 1 : 0;
    relayout(gui ? gui->context() : nullptr);
}

void Static::rebuildBlocks() {
    buildTextBlocks(text_.spans, blocks_);
    needsRedraw = 1;
}

void Static::setText(const std::string& text) {
    if (text == currentText_)
        return;
    currentText_ = text;
    GraphicsFont* font = nullptr;
    Color color(0xffffffffu);
    if (!text_.spans.empty()) {
        font = text_.spans.front().font;
        color = text_.spans.front().color;
    } else if (gui_) {
        font = gui_->getDefaultFont();
    }
    linkTask_.reset();
    text_.spans.clear();
    text_.spans.emplace_back(text, font, color);
    rebuildBlocks();
}

void Static::setTextWithStyle(const std::string& text, int alignment, GraphicsFont* font, Color color) {
    currentText_ = text;
    linkTask_.reset();
    text_.mode = RichText::modeFromAlignment(alignment);
    text_.spans.clear();
    text_.spans.emplace_back(text, font, color);
    rebuildBlocks();
}

void Static::setSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
    minWidth_ = minWidth;
    minHeight_ = minHeight;
    maxWidth_ = maxWidth;
    maxHeight_ = maxHeight;
}

bool Static::measure(AbstractGraphicsContext* context) {
    relayout(context);
    return layoutDirty == 0;
}

void Static::relayout(AbstractGraphicsContext* context) {
    if (!layoutDirty || !context)
        return;
    TextRenderBlock* first = blocks_.data();
    if (wrap_) {
        const int available = maxWidth_ > 0 ? maxWidth_ : width;
        buildWrappedTextBlocks(text_.spans, available, blocks_);
        setBlockSpacing(blocks_);
        first = blocks_.data();
        int w = 0, h = 0;
        layoutBlockLines(context, first, first + blocks_.size(), available, text_.mode, &w, &h);
        height = h;
        if (maxWidth_ > 0) {
            // Align inside the narrower width the text needs.
            width = w;
            layoutBlockLines(context, first, first + blocks_.size(), w, text_.mode, &w, &h);
        }
    } else {
        setBlockSpacing(blocks_);
        int w = 0, h = 0;
        layoutBlockRow(context, first, first + blocks_.size(), &w, &h);
        width = w;
        height = h;
    }
    if (maxWidth_ > 0)
        width = std::min(width, maxWidth_);
    if (maxHeight_ > 0)
        height = std::min(height, maxHeight_);
    if (minWidth_ > 0)
        width = std::max(width, minWidth_);
    if (minHeight_ > 0)
        height = std::max(height, minHeight_);
    layoutDirty = 0;
    needsRedraw = 1;
}

bool Static::isHoveredLink(const TextRenderBlock& block) const {
    return block.span && block.span->isLink() && block.span->task && block.span->task == linkTask_;
}

void Static::draw(AbstractGraphicsContext* context) {
    const int ox = x + (pressed_ ? 1 : 0);
    const int oy = y + (pressed_ ? 1 : 0);
    if (linkHovered_ && !blocks_.empty()) {
        context->setColor(text_.spans.empty() ? 0xffffffffu : text_.spans.front().color.value());
        gui_->fillRect(context, ox, oy + height - 1, width, 1);
    }
    const bool wholeLink = linkMode_ == kWholeLabelLink;
    for (TextRenderBlock& block : blocks_) {
        const bool hoveredLink = isHoveredLink(block);
        if (hoveredLink && !wholeLink) {
            context->setColor(block.span->color.value());
            gui_->fillRect(context, ox + block.x, oy + block.y + block.height - 1, block.width, 1);
        }
        block.draw(context, ox, oy, (wholeLink || hoveredLink) ? enabled != 0 : true);
    }
    if (gui_->focusShown() && gui_->focused() == this && focusable)
        gui_->drawFocusOverlay(context, x, y, width, height);
}

bool Static::onMouseMove(int px, int py) {
    needsRedraw = 1;
    if (gui_->isCaptured(this))
        pressed_ = hitTest(px, py) ? 1 : 0;
    const int rx = px - x, ry = py - y;
    linkTask_.reset();
    for (const TextRenderBlock& block : blocks_) {
        if (block.span && block.span->isLink() && rx >= block.x && ry >= block.y && rx < block.x + block.width &&
            ry < block.y + block.height) {
            linkTask_ = block.span->task;
            break;
        }
    }
    for (TextRenderBlock& block : blocks_)
        block.linkHovered = isHoveredLink(block);
    return true;
}

bool Static::onMouseDown(int button, int, int) {
    if (gui_->isCaptured(this) || button != 0 || !linkTask_)
        return true;
    pressed_ = 1;
    gui_->setCapture(this);
    needsRedraw = 1;
    return true;
}

bool Static::onMouseUp(int button, int, int) {
    if (!gui_->isCaptured(this) || button != 0)
        return true;
    const bool wasPressed = pressed_ != 0;
    pressed_ = 0;
    gui_->setCapture(nullptr);
    needsRedraw = 1;
    if (wasPressed)
        activateLink();  // may destroy this label: nothing after it
    return true;
}

void Static::onMouseEnter() {
    if (linkMode_ == kWholeLabelLink) {
        if (AbstractGraphicsContext* context = gui_->context())
            context->setCursorShape(kCursorHand);
        linkHovered_ = 1;
    }
    needsRedraw = 1;
}

void Static::onMouseLeave() {
    if (linkMode_ == kWholeLabelLink) {
        if (AbstractGraphicsContext* context = gui_->context())
            context->setCursorShape(kCursorArrow);
        linkHovered_ = 0;
    }
    needsRedraw = 1;
}

bool Static::onKeyDown(int key, int, int) {
    if (gui_->focused() != this || !enabled || (key != kKeySpace && key != kKeyEnter))
        return false;
    gui_->setFocus(this, 1);
    pressed_ = 1;
    needsRedraw = 1;
    return true;
}

bool Static::onKeyUp(int key, int, int) {
    if (gui_->focused() != this || !enabled || (key != kKeySpace && key != kKeyEnter))
        return false;
    pressed_ = 0;
    needsRedraw = 1;
    // A label without blocks has no link to run.
    if (blocks_.empty() || !blocks_.front().span)
        linkTask_.reset();
    else
        linkTask_ = blocks_.front().span->task;
    activateLink();  // may destroy this label: nothing after it
    return true;
}

void Static::activateLink() {
    PlayerGUI* gui = gui_;
    std::shared_ptr<TaskBase> task = linkTask_;
    if (!gui)
        return;
    if (AbstractGraphicsContext* context = gui->context())
        context->setCursorShape(kCursorArrow);
    gui->runTask(task);
}
