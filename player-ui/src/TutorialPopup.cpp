#include "player-ui/TutorialPopup.h"

#include "core/LanguageStore.h"
#include "core/ThreadPool.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/TutorialButton.h"

#include <algorithm>

namespace {

constexpr int kOneLine = 0;
constexpr int kWrapped = 2;
constexpr int kAlignCentre = 3;
constexpr int kRowSpacing = 15;  // between the skip link and the button, and around the bottom row

// The picture beside the text of page 3, in the "selectos" atlas, and where it sits in the
// callout at each UI scale.
constexpr int kDecorationPage = 3;
const Rect kDecorationPicture{487, 63, 23, 22};
const Rect kNoPicture{-1, -1, -1, -1};

// The skip link is a label link, whose task must be a GUI task: this one runs the page's
// skip chain.
class RunChainTask : public PlayerGUITask {
public:
    explicit RunChainTask(TaskPtr chain) : chain_(std::move(chain)) {}
    bool run() override { return !chain_ || ThreadPool::execute(chain_.get()); }

private:
    TaskPtr chain_;
};

}  // namespace

TutorialPopup::TutorialPopup(PlayerGUI* gui, const TourPage& p)
    : Table(gui, 1, 3),
      uiScale(p.uiScale),
      page(p.page),
      kind(p.placement()),
      besideAnchor(p.besideAnchor),
      offsetY(p.offsetY),
      offsetX(p.offsetX),
      anchor(p.placement() == TourPage::kCentred ? nullptr : p.anchor) {
    const Color white = gui->getColor("white");
    AbstractGraphicsContext* context = gui->context();

    captionLabel = std::make_shared<Static>(gui, p.caption, kOneLine, gui->getFont("tutorial-caption"), white);
    gui->setEnabled(captionLabel.get(), false);
    textLabel = std::make_shared<Static>(gui, p.text, kWrapped, gui->getFont("tutorial"), white);
    gui->setEnabled(textLabel.get(), false);
    textLabel->width = p.contentWidth;
    leftLabel = std::make_shared<Static>(gui, p.leftText, kOneLine, gui->getFont("tutorial-lefttext"), white);
    button = std::make_shared<TutorialButton>(gui, p.buttonText, p.showArrow);
    skipLabel = std::make_shared<Static>(gui, LanguageStore::instance().text("button_skip"), kOneLine,
                                         gui->getFont("tutorial"), white, Static::kWholeLabelLink,
                                         std::make_shared<RunChainTask>(p.skipTask));
    actionRow = std::make_shared<Table>(gui, 2, 1);
    footer = std::make_shared<Table>(gui, 2, 1);
    if (page == kDecorationPage) {
        decoration = std::make_shared<ImageButton>(gui, kCommandNone, gui->getSurface("selectos"), kDecorationPicture,
                                                   kNoPicture, kNoPicture, kNoPicture);
        decoration->focusable = 0;
        decoration->z = kZOrder;
    }

    modal = 1;
    for (Widget* w : {static_cast<Widget*>(skipLabel.get()), static_cast<Widget*>(captionLabel.get()),
                      static_cast<Widget*>(textLabel.get()), static_cast<Widget*>(button.get()),
                      static_cast<Widget*>(leftLabel.get()), static_cast<Widget*>(actionRow.get()),
                      static_cast<Widget*>(footer.get()), static_cast<Widget*>(this)}) {
        w->z = kZOrder;
        w->propagateZOrder();
    }

    captionLabel->relayout(context);
    textLabel->invalidate();
    textLabel->relayout(context);
    button->updateLayout();

    Widget* bottomRow = button.get();
    if (!p.leftText.empty()) {
        actionRow->setCell(0, 0, skipLabel.get());
        actionRow->setCell(1, 0, button.get());
        actionRow->setAllCellsAlignment(AlignEnd, AlignCentre);
        actionRow->setSpacing(kRowSpacing, 0);
        actionRow->updateLayout();
        footer->setCell(0, 0, leftLabel.get());
        footer->setCell(1, 0, actionRow.get());
        // The counter at the left edge of the text, the skip link and the button at its right.
        const int spread = p.contentWidth - leftLabel->width - actionRow->width - 2 * kRowSpacing;
        footer->setSpacing(std::max(spread, 0), 0);
        footer->setMargins(0, 0, 0, kRowSpacing);
        footer->setAllCellsAlignment(AlignCentre, AlignCentre);
        footer->updateLayout();
        bottomRow = footer.get();
    } else {
        for (Widget* unused : {static_cast<Widget*>(skipLabel.get()), static_cast<Widget*>(leftLabel.get()),
                               static_cast<Widget*>(actionRow.get()), static_cast<Widget*>(footer.get())})
            gui->setVisible(unused, false);
    }

    captionLabel->setMargins(0, padding, 0, 0);
    setCell(0, 0, captionLabel.get());
    setCell(0, 1, textLabel.get());
    setCell(0, 2, bottomRow);
    setPadding(padding, padding, padding, padding);
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, kRowSpacing);
    if (besideAnchor == 0 || !anchor)
        horizontalAlign = kAlignCentre;

    captionLabel->invalidate();
    captionLabel->relayout(context);
    textLabel->invalidate();
    textLabel->relayout(context);
    updateLayout();
}

TutorialPopup::~TutorialPopup() = default;

void TutorialPopup::onVisibilityChanged() {
    Table::onVisibilityChanged();
    if (decoration)
        gui_->setVisible(decoration.get(), visible != 0);
}

bool TutorialPopup::tick(double) {
    if (!visible)
        return false;
    if (!anchor) {
        horizontalAlign = kAlignCentre;
        verticalAlign = kAlignCentre;
    } else {
        const int ax = anchor->x, ay = anchor->y, aw = anchor->width, ah = anchor->height;
        if (besideAnchor == 0) {
            switch (kind) {
                case TourPage::kAbove: y = ay - verticalGap - height; break;
                case TourPage::kBelow: y = ay + ah + verticalGap; break;
                default: y = ay; break;
            }
        } else {
            y = ay + offsetY;
            switch (kind) {
                case TourPage::kLeft: x = ax - horizontalGap - width; break;
                case TourPage::kRight: x = ax + aw + horizontalGap; break;
                case TourPage::kBelow:
                    y = ay + ah + verticalGap;
                    x = ax + aw / 2 + offsetX - width / 2;
                    break;
                default: break;
            }
        }
    }
    if (decoration) {
        int dx = 716, dy = 81;
        if (uiScale == 1.0f) {
            dx = 685;
            dy = 76;
        } else if (uiScale == 2.0f) {
            dx = 700;
            dy = 76;
        }
        decoration->x = x + dx;
        decoration->y = y + dy;
    }
    return true;
}

void TutorialPopup::draw(AbstractGraphicsContext* context) {
    const Color fill = gui_->getColor("tutorial");
    const Color white = gui_->getColor("white");
    context->setColor(fill.value());
    gui_->fillRect(context, x, y, width, height);
    // The toolkit's border lies along the rectangle's top and left edges and just past its
    // bottom and right edges; the rectangle one border narrower keeps it all inside.
    context->setColor(white.value());
    gui_->drawBorder(context, x, y, width - borderWidth, height - borderWidth, borderWidth, 0);
    if (!anchor)
        return;

    const int half = pointerWidth / 2;
    const int sideways = horizontalGap / 2;
    Point apex, base1, base2;
    switch (kind) {
        case TourPage::kAbove: {
            const int ax = anchor->x + anchor->width / 2;
            base1 = {ax - half, y + height};
            base2 = {ax + half, y + height};
            apex = {ax, y + height + half};
            break;
        }
        case TourPage::kBelow: {
            const int ax = anchor->x + anchor->width / 2;
            base1 = {ax - half, y + borderWidth};
            base2 = {ax + half, y + borderWidth};
            apex = {ax, y + borderWidth - half};
            break;
        }
        case TourPage::kRight: {
            const int ay = anchor->y + anchor->height / 2;
            base1 = {x + borderWidth, ay - half};
            base2 = {x + borderWidth, ay + half};
            apex = {x + borderWidth - sideways, ay};
            break;
        }
        case TourPage::kLeft: {
            const int ay = anchor->y + anchor->height / 2;
            base1 = {x + width, ay - half};
            base2 = {x + width, ay + half};
            apex = {x + width + sideways, ay};
            break;
        }
        default:
            return;
    }
    context->setColor(fill.value());
    gui_->fillTriangle(context, base1, base2, apex);
    context->setColor(white.value());
    gui_->drawLine(context, base1, apex, borderWidth);
    gui_->drawLine(context, base2, apex, borderWidth);
    if (kind == TourPage::kRight) {
        // The pointer opens the frame on the left edge: the border under its base goes.
        context->setColor(fill.value());
        gui_->drawLine(context, Point{x, base1.y}, Point{x, base2.y}, borderWidth);
    }
}
