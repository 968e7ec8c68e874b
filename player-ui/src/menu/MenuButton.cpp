#include "player-ui/menu/MenuButton.h"

#include "core/Utf8.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/RichText.h"
#include "gui/Static.h"

#include <algorithm>

namespace {

constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kOneLine = 0;
constexpr int kWrapLeft = 1;

}  // namespace

MenuButton::MenuButton(PlayerGUI* gui, const std::string& text, int command, AbstractSurface* surface,
                       const Rect& picture, Color defaultColour, Color hoverColour, std::int32_t labelWidth,
                       GraphicsFont* font, Color textColour, int textAlignment)
    : TableButton(gui, 2, 1),
      command(command),
      labelWidth(labelWidth),
      totalWidth(labelWidth + kIconColumnWidth),
      activeDefaultColour(defaultColour),
      activeHoverColour(hoverColour),
      defaultColour(defaultColour),
      hoverColour(hoverColour),
      borderColour_(gui->getColor("white")) {
    focusable = command != 0 ? 1 : 0;
    icon = std::make_shared<ImageButton>(gui, command, surface, picture, kNoPicture, kNoPicture, kNoPicture);
    // The icon takes no input, but stays enabled: a tinted icon shows its disabled colour
    // only while the item itself is disabled.
    icon->ignoreMouse = 1;
    icon->focusable = 0;
    icon->centerImage = 1;
    // The label column is labelWidth wide; its lines keep the right margin free.
    label = std::make_shared<Static>(gui, text, textAlignment == kOneLine ? kWrapLeft : textAlignment,
                                     font ? font : gui->getDefaultFont(), textColour);
    gui->setEnabled(label.get(), false);
    label->setSizeLimits(labelWidth, 0, labelWidth - kLabelMarginRight, 0);
    label->invalidate();
    label->relayout(gui->context());
    setCell(0, 0, icon.get());
    setCell(1, 0, label.get());
    layoutCells();
}

MenuButton::~MenuButton() = default;

std::int32_t MenuButton::labelWidthFor(PlayerGUI* gui, const std::vector<std::string>& texts, std::int32_t atLeast,
                                       GraphicsFont* font) {
    AbstractGraphicsContext* context = gui->context();
    if (!context)
        return atLeast;
    std::vector<TextSpan> spans(1);
    spans[0].font = font ? font : gui->getDefaultFont();
    std::vector<TextRenderBlock> blocks;
    std::int32_t width = atLeast;
    for (const std::string& text : texts) {
        // Measured as the label lays a line out, so that a text said to fit does not wrap.
        spans[0].text = utf8Prefix(text, std::size_t(kMaxTextLength));
        spans[0].codePoints = utf8ToCodePoints(spans[0].text);
        buildTextBlocks(spans, blocks);
        setBlockSpacing(blocks);
        int w = 0, h = 0;
        layoutBlockRow(context, blocks.data(), blocks.data() + blocks.size(), &w, &h);
        width = std::max(width, std::int32_t(w) + kLabelMarginRight);
    }
    return width;
}

void MenuButton::layoutCells() {
    const int labelPadding = fixedHeight != 0 ? (fixedHeight - label->height) / 2 : 0;
    const int indent = centreIcon ? (iconColumnWidth - icon->width) / 2 : iconIndent;
    setCellPadding(0, 0, indent, verticalPadding / 2, 0, verticalPadding / 2);
    setCellPadding(1, 0, iconColumnWidth - icon->width - indent, labelPadding, 0, labelPadding);
    setAllCellsAlignment(AlignStart, AlignCentre);
    invalidate();
}

bool MenuButton::arrange(AbstractGraphicsContext* context) {
    if (relayoutPending) {
        layoutCells();
        relayoutPending = false;
    }
    return Table::arrange(context);
}

void MenuButton::setFixedHeight(std::int32_t h) {
    fixedHeight = h;
    relayoutPending = true;
    invalidate();
}

void MenuButton::setCentreIcon(bool centre) {
    centreIcon = centre;
    relayoutPending = true;
    invalidate();
}

void MenuButton::draw(AbstractGraphicsContext* context) {
    // The icon shows the item's enabled state (a tint's disabled colour).
    icon->enabled = enabled;
    if (!background)
        return;
    Color colour = defaultColour;
    if (isInteractive()) {
        if (active)
            colour = activeDefaultColour;
        if (hovered || isPressed())
            colour = active ? activeHoverColour : hoverColour;
    }
    Rect bar = getCellRect(0, 0);
    bar.width += getCellRect(1, 0).width;
    if (pressShift && isPressed()) {
        ++bar.x;
        ++bar.y;
    }
    drawBar(gui_, context, bar, colour, borderColour_, border);
}

void MenuButton::drawBar(PlayerGUI* gui, AbstractGraphicsContext* context, const Rect& bar, Color fill,
                         Color borderColour, bool withBorder) {
    context->setColor(fill.value());
    gui->fillRect(context, bar.x, bar.y, bar.width, bar.height);
    if (withBorder) {
        context->setColor(borderColour.value());
        gui->drawBorder(context, bar.x, bar.y, bar.width, bar.height, 1, 0);
    }
}

void MenuButton::onVisibilityChanged() {
    gui_->setVisible(icon.get(), visible != 0);
    gui_->setVisible(label.get(), visible != 0);
}

void MenuButton::propagateZOrder() {
    icon->z = z;
    label->z = z;
}

void MenuButton::onHoverChanged(bool isHovered) {
    hovered = isHovered;
    icon->setHighlighted(isHovered);
    needsRedraw = 1;
}

void MenuButton::onPressChanged(bool pressed) {
    icon->setDown(pressed);
    label->setPressedLook(pressed);
    needsRedraw = 1;
    if (pressed)
        return;
    beforeCommand();
    // Copies: the command may destroy this item.
    PlayerGUI* gui = gui_;
    const int id = command;
    std::shared_ptr<TaskBase> task = clickTask;
    if (id != 0)
        gui->sendCommand(id);
    if (task)
        gui->runTask(task);
}

void MenuButton::setText(const std::string& text) {
    label->setText(utf8Prefix(text, std::size_t(maxTextLength < 0 ? 0 : maxTextLength)));
    label->invalidate();
}

std::string MenuButton::text() const {
    std::string out;
    for (const TextSpan& span : label->richText().spans)
        out += span.text;
    return out;
}

void MenuButton::setIconTint(Color a, Color b) { icon->setBackground(ImageButton::BackgroundTint, a, a, b); }

void MenuButton::setInteractive(bool interactive) {
    pressReporting = interactive ? 1 : 0;
    needsRedraw = 1;
}
