#include "player-ui/UniqueDialogBase.h"

#include "core/LanguageStore.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "gui/OldList.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "gui/Table.h"
#include "player-ui/PopupTable.h"
#include "player-ui/PlayerCommandIds.h"

namespace {

constexpr int kAlignCentre = 3;
constexpr int kCaptionMaxWidth = 400;
constexpr int kCaptionMaxHeight = 100;
constexpr int kButtonSpacing = 5;     // between the buttons' frames
constexpr int kButtonTextMargin = 10;  // between a button's text and its edges
constexpr Color kWhite(255, 255, 255, 255);

}  // namespace

UniqueDialogBase::UniqueDialogBase(PlayerGUI* gui, std::int32_t captionLayout)
    : PopupDialogFormBase(gui),
      captionLayout(captionLayout),
      panelColour_(gui->getColor("modal-panel-body-na")),
      marginColour_(gui->getColor("modal-panel-header")) {}

UniqueDialogBase::~UniqueDialogBase() = default;

void UniqueDialogBase::build() {
    PlayerGUI* gui = gui_;
    captionLabel = std::make_shared<Static>(gui, caption, captionLayout, gui->getHeaderFont(), kWhite);
    captionLabel->setSizeLimits(0, 0, kCaptionMaxWidth, kCaptionMaxHeight);
    captionLabel->invalidate();
    gui->setEnabled(captionLabel.get(), false);

    buttonRow = std::make_shared<Table>(gui, 2u, 1u);
    GraphicsFont* font = gui->getDefaultFont();
    yesButton = std::make_shared<Button>(gui, LanguageStore::instance().text("text_selectos_btn_yes"), kCommandNone,
                                         font);
    noButton = std::make_shared<Button>(gui, LanguageStore::instance().text("text_selectos_btn_no"), kCommandNone,
                                        font);
    buttonRow->setCell(0, 0, yesButton.get());
    buttonRow->setCell(1, 0, noButton.get());
    buttonRow->setAllCellsAlignment(Table::AlignCentre, Table::AlignCentre);
    // The gap is the one between the buttons' frames, which reach beyond their rectangles.
    yesButton->fitContent(gui->context(), kButtonTextMargin);
    noButton->fitContent(gui->context(), kButtonTextMargin);
    buttonRow->setSpacing(Button::framedSpacing(kButtonSpacing), 0);

    // Made after the buttons: among widgets of one z order the later ones draw on top, and
    // the open list lies over the button row.
    chooser = std::make_shared<PopupTable>(gui, value, false);
    chooser->build();
    chooser->listColour = panelColour_;
    chooser->list->setBackgroundColor(chooser->listColour);

    contentTable = std::make_shared<Table>(gui, 1u, 3u);
    contentTable->setCell(0, 0, captionLabel.get());
    contentTable->setCellAlignment(0, 0, Table::AlignCentre, Table::AlignCentre);
    contentTable->setCellPadding(0, 0, 0, headerPadTop, 0, headerPadBottom);
    contentTable->setCell(0, 1, chooser.get());
    contentTable->setCellAlignment(0, 1, Table::AlignCentre, Table::AlignStart);
    contentTable->setCellPadding(0, 1, kCellPadding, kCellPadding, kCellPadding, kCellPadding);
    contentTable->setCell(0, 2, buttonRow.get());
    contentTable->setCellAlignment(0, 2, Table::AlignCentre, Table::AlignCentre);
    contentTable->setCellPadding(0, 2, kCellPadding, kCellPadding, kCellPadding, kCellPadding);
    contentTable->horizontalAlign = kAlignCentre;
    contentTable->verticalAlign = kAlignCentre;
    contentTable->setSpacing(0, kCellPadding);

    Widget* parts[] = {captionLabel.get(), chooser.get(), buttonRow.get(), yesButton.get(), noButton.get(),
                       contentTable.get()};
    for (Widget* part : parts) {
        part->z = z;
        part->propagateZOrder();
    }

    gui->setVisible(this, false);
    chooser->setVisible(false);
    gui->setVisible(captionLabel.get(), false);
    gui->setVisible(buttonRow.get(), false);
    gui->setVisible(yesButton.get(), false);
    gui->setVisible(noButton.get(), false);
}

void UniqueDialogBase::setYesCommand(int commandId) {
    if (yesButton)
        yesButton->setCommand(commandId);
}

void UniqueDialogBase::showParts(bool show) {
    gui_->setVisible(this, show);
    chooser->setVisible(show);
    gui_->setVisible(captionLabel.get(), show);
    gui_->setVisible(buttonRow.get(), show);
    gui_->setVisible(yesButton.get(), show);
    gui_->setVisible(noButton.get(), show);
}

void UniqueDialogBase::setVisible(bool show) {
    if (!contentTable)
        return;
    if (show) {
        contentTable->horizontalAlign = kAlignCentre;
        contentTable->verticalAlign = kAlignCentre;
    }
    showParts(show);
}

void UniqueDialogBase::setValueText(const std::string& text) {
    if (!chooser)
        return;
    chooser->value = text;
    chooser->pendingValue = text;
}

bool UniqueDialogBase::tick(double) {
    if (!visible || !yesButton)
        return false;
    // The yes latch is taken even before a pick, so that an early yes cannot close the form
    // later; the yes command itself went out with the click.
    const bool yes = yesButton->takeClicked();
    if ((yes && valueChosen) || noButton->takeClicked()) {
        showParts(false);
        return true;
    }
    return false;
}

void UniqueDialogBase::onMoved() {
    if (chooser)
        chooser->hideList();
}

void UniqueDialogBase::onIndexSelected(std::int32_t index) {
    if (!chooser)
        return;
    chooser->hideList();
    valueChosen = true;
    onValueChosen(index);
    chosenText_.clear();
    valueText(chosenText_, index);
    chooser->setSelectedText(chosenText_);
}

void UniqueDialogBase::draw(AbstractGraphicsContext* context) {
    if (!contentTable)
        return;
    const Table& t = *contentTable;
    context->setColor(panelColour_.value());
    gui_->fillRect(context, t.x, t.y, t.width, t.height);
    context->setColor(marginColour_.value());
    gui_->fillRect(context, t.x - kPanelMargin, t.y - kPanelMargin, t.width + 2 * kPanelMargin,
                   t.height + 2 * kPanelMargin);
    pinContentTable();
}
