#pragma once
// Styled label text and its layout: a RichText is a list of TextSpans (text, font, colour,
// and whether the span is a link with a task to run). A label cuts the spans into word
// blocks, measures them and flows them into lines of a given width, left, right or centre
// aligned, with the baselines of different fonts on one line lined up.

#include "gui/Color.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AbstractGraphicsContext;
class GraphicsFont;
class PlayerGUITask;

struct TextSpan {
    static constexpr int kPlain = 0;
    static constexpr int kLink = 1;

    TextSpan() = default;
    TextSpan(const std::string& text, GraphicsFont* font, Color color = Color(0xffffffffu), int kind = kPlain,
             std::shared_ptr<PlayerGUITask> task = {});
    TextSpan(const std::vector<std::uint32_t>& codePoints, GraphicsFont* font, Color color = Color(0xffffffffu),
             int kind = kPlain, std::shared_ptr<PlayerGUITask> task = {});

    bool isLink() const { return kind == kLink; }

    std::string text;
    std::vector<std::uint32_t> codePoints;  // always equal to text
    GraphicsFont* font = nullptr;           // not owned (the GUI's font cache)
    Color color = Color(0xffffffffu);
    int kind = kPlain;
    std::shared_ptr<PlayerGUITask> task;  // what activating the link runs
};

// Line alignment of a RichText.
enum RichTextMode : int {
    RichTextLeft = 1,
    RichTextRight = 2,
    RichTextCentre = 3,
    RichTextLeftJustified = 4,  // stored; lays out left
};

class RichText {
public:
    explicit RichText(int mode = RichTextLeft) : mode(mode) {}
    RichText(int mode, const std::string& text, GraphicsFont* font, Color color = Color(0xffffffffu),
             int kind = TextSpan::kPlain, std::shared_ptr<PlayerGUITask> task = {});
    RichText(int mode, const std::vector<std::uint32_t>& codePoints, GraphicsFont* font,
             Color color = Color(0xffffffffu), int kind = TextSpan::kPlain, std::shared_ptr<PlayerGUITask> task = {});

    void addSpan(const TextSpan& span) { spans.push_back(span); }

    // A label's public alignment (0 one line, 1 left, 2 centre, 3 right, 4 justified) as a
    // line-layout mode.
    static int modeFromAlignment(int alignment);

    int mode;
    std::vector<TextSpan> spans;
};

// A positioned, measured piece of text. Positions are relative to the owning widget.
class RenderBlock {
public:
    RenderBlock(int descent, bool endsRun, bool breaksLine)
        : descent(descent), endsRun(endsRun), breaksLine(breaksLine) {}
    virtual ~RenderBlock() = default;

    virtual void measure(AbstractGraphicsContext* context, int* width, int* height) = 0;
    virtual void setSize(int width, int height) = 0;
    virtual void draw(AbstractGraphicsContext* context, int x, int y, bool enabled) = 0;

    void setPosition(int px, int py) {
        x = px;
        y = py;
    }
    void setSpacing(int left, int top, int right, int bottom) {
        leftSpacing = left;
        topSpacing = top;
        rightSpacing = right;
        bottomSpacing = bottom;
    }

    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int leftSpacing = 0;
    int topSpacing = 0;
    int rightSpacing = 0;   // the space that follows the block on its line
    int bottomSpacing = 0;  // the line gap
    int descent = 0;        // below the baseline
    bool endsRun = false;     // no space follows (last word of its span)
    bool breaksLine = false;  // the next block starts a new line
};

// A block showing code points [first, first + count) of one span.
class TextRenderBlock : public RenderBlock {
public:
    TextRenderBlock(const TextSpan* span, int first, int count, int descent, bool endsRun, bool breaksLine)
        : RenderBlock(descent, endsRun, breaksLine), span(span), first(first), count(count) {}

    void measure(AbstractGraphicsContext* context, int* width, int* height) override;
    void setSize(int w, int h) override {
        width = w;
        height = h;
    }
    // In the span's colour, or grey when not enabled.
    void draw(AbstractGraphicsContext* context, int originX, int originY, bool enabled) override;

    const TextSpan* span;  // into the owner's span vector
    int first;
    int count;
    bool linkHovered = false;
};

// Font metrics in the units of measured widths (logical pixels).
struct BlockFontMetrics {
    int descent = 0;
    int spaceAdvance = 0;
    int lineGap = 0;
};
BlockFontMetrics blockFontMetrics(GraphicsFont* font);

// One block per word of every span (whitespace separates words; a newline in it breaks the
// line). Replaces the contents of blocks.
void buildTextBlocks(const std::vector<TextSpan>& spans, std::vector<TextRenderBlock>& blocks);
// The same words, with words wider than availableWidth split between characters so that the
// pieces fill lines.
void buildWrappedTextBlocks(const std::vector<TextSpan>& spans, int availableWidth,
                            std::vector<TextRenderBlock>& blocks);
// Space after each block (none after the last word of a span) and the font's line gap.
void setBlockSpacing(std::vector<TextRenderBlock>& blocks);

// Flows the blocks into lines of at most availableWidth (a block wider than that gets a line
// of its own), aligned by mode, baselines lined up. Widest line and total height.
void layoutBlockLines(AbstractGraphicsContext* context, TextRenderBlock* first, TextRenderBlock* end,
                      int availableWidth, int mode, int* width, int* height);
// All blocks on one line from x = 0.
void layoutBlockRow(AbstractGraphicsContext* context, TextRenderBlock* first, TextRenderBlock* end, int* width,
                    int* height);
