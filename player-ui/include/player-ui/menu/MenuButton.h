#pragma once
// An item of the overlay menu and of the machine panel's settings menu: an icon and a label
// on a coloured bar with a white 1-unit border. The label always starts 60 units from the
// item's left edge; the icon is indented 15 units, or centred in its 60-unit column. The
// label's text keeps kLabelMarginRight from the item's right edge: a longer text wraps onto
// more lines and the item grows taller. labelWidthFor gives the label width that holds
// given texts on one line, so that a column of items can be made wide enough for them.
//
// Colours: defaultColour, or the active pair while active; hovered or pressed shows the
// hover colour of the pair in use. A non-interactive item ignores presses and always shows
// defaultColour. Releasing a pressed item (or moving the pointer off it while it is held)
// calls beforeCommand(), then sends the item's command (0 sends none), then runs its click
// task. The command may end the item: nothing of it is touched afterwards.

#include "gui/Color.h"
#include "gui/TableButton.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AbstractSurface;
class GraphicsFont;
class ImageButton;
class Static;
class TaskBase;

class MenuButton : public TableButton {
public:
    // Longest text setText keeps: a bound on what a value from elsewhere may fill, well
    // above what the item's lines are meant to show.
    static constexpr std::int32_t kMaxTextLength = 96;
    static constexpr std::int32_t kIconColumnWidth = 60;
    static constexpr std::int32_t kLabelMarginRight = 10;

    // The label width, at least atLeast, that holds each text on one line with the right
    // margin, measured in the font (null: the GUI's "default" font). Without a context to
    // measure with it is atLeast.
    static std::int32_t labelWidthFor(PlayerGUI* gui, const std::vector<std::string>& texts, std::int32_t atLeast,
                                      GraphicsFont* font = nullptr);

    // A null font is the GUI's "default" font.
    MenuButton(PlayerGUI* gui, const std::string& text, int command, AbstractSurface* surface, const Rect& picture,
               Color defaultColour, Color hoverColour, std::int32_t labelWidth, GraphicsFont* font = nullptr,
               Color textColour = Color(0xffffffffu), int textAlignment = 0);
    ~MenuButton() override;

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    void onHoverChanged(bool hovered) override;
    void onPressChanged(bool pressed) override;
    // Called on a click before the command is sent.
    virtual void beforeCommand() {}

    // The label shows at most maxTextLength bytes of the text, cut at a character boundary.
    void setText(const std::string& text);
    // The text the label shows.
    std::string text() const;
    // The icon drawn tinted: colour a normally and when hovered, b while the item is disabled.
    void setIconTint(Color a, Color b);
    // Interactive items react to presses and show their hover and active colours.
    void setInteractive(bool interactive);
    bool isInteractive() const { return pressReporting != 0; }
    // Changes that move the cells; they take effect at the next layout.
    void setFixedHeight(std::int32_t height);
    void setCentreIcon(bool centre);

    // The bar of a menu item: the rectangle filled with the fill colour, with a 1-unit
    // border in the border colour when withBorder.
    static void drawBar(PlayerGUI* gui, AbstractGraphicsContext* context, const Rect& bar, Color fill,
                        Color borderColour, bool withBorder);

    std::shared_ptr<ImageButton> icon;
    std::shared_ptr<Static> label;
    std::int32_t command;
    bool hovered = false;
    bool border = true;
    bool centreIcon = false;
    bool relayoutPending = false;
    std::int32_t maxTextLength = kMaxTextLength;
    std::int32_t iconIndent = 15;
    std::int32_t iconColumnWidth = kIconColumnWidth;
    std::int32_t labelWidth;
    std::int32_t totalWidth;
    std::int32_t fixedHeight = 0;
    std::int32_t verticalPadding = 12;
    bool background = true;
    bool active = false;
    bool pressShift = true;
    Color activeDefaultColour;
    Color activeHoverColour;
    Color defaultColour;
    Color hoverColour;
    std::shared_ptr<TaskBase> clickTask;

private:
    Color borderColour_;
    // Sets the cells' paddings and alignments from the fields above.
    void layoutCells();
};
