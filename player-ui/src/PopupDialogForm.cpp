#include "player-ui/PopupDialogForm.h"

#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "gui/Table.h"

namespace {

constexpr int kOneLine = 0;
constexpr int kWrapCentred = 2;
constexpr int kAlignCentre = 3;
constexpr Color kWhite(255, 255, 255, 255);

}  // namespace

PopupDialogForm::PopupDialogForm(PlayerGUI* gui, const DialogDescription& d) : PopupDialogFormBase(gui) {
    GraphicsFont* font = gui->getDefaultFont();
    captionLabel = std::make_shared<Static>(gui, d.caption, kOneLine, gui->getHeaderFont(), kWhite);
    textLabel = std::make_shared<Static>(gui, d.text, kWrapCentred, font, kWhite);
    textLabel->setSizeLimits(0, 0, kTextMaxWidth, kTextMaxHeight);
    textProvider = d.textProvider;

    z = kZOrder;
    captionLabel->z = kZOrder;
    textLabel->z = kZOrder;
    propagateZOrder();
    captionLabel->propagateZOrder();
    textLabel->propagateZOrder();

    unsigned rows = 2;
    if (!d.extraText.empty()) {
        extraLabel = std::make_shared<Static>(gui, d.extraText, kOneLine, font, kWhite);
        extraLabel->z = kZOrder;
        ++rows;
    }
    if (!d.buttons.empty()) {
        buttonTable = std::make_shared<Table>(gui, unsigned(d.buttons.size()), 1u);
        buttonTable->z = kZOrder;
        ++rows;
        unsigned column = 0;
        for (const DialogButtonDescription& b : d.buttons) {
            auto button = std::make_shared<Button>(gui, b.text, 0);
            if (b.hasColour)
                button->setColor(b.colour);
            if (b.width != 0)
                button->width = b.width;
            // A text longer than the width holds widens its button.
            button->fitContent(gui->context(), kButtonTextMargin);
            button->setCommandTask(b.task);
            button->z = kZOrder;
            buttonTable->setCell(column, 0, button.get());
            buttonTable->setCellAlignment(column, 0, Table::AlignCentre, Table::AlignCentre);
            ++column;
            buttonList.push_back(std::move(button));
        }
        // The gap is the one between the buttons' frames, which reach beyond their rectangles.
        buttonTable->setSpacing(Button::framedSpacing(kButtonSpacing), 0);
    }

    contentTable = std::make_shared<Table>(gui, 1u, rows);
    contentTable->z = kZOrder;
    // The labels take no pointer input: a press on them starts a drag of the form.
    gui->setEnabled(captionLabel.get(), false);
    gui->setEnabled(textLabel.get(), false);
    captionLabel->invalidate();
    textLabel->invalidate();
    if (extraLabel) {
        gui->setEnabled(extraLabel.get(), false);
        extraLabel->invalidate();
    }

    unsigned row = 0;
    contentTable->setCell(0, row, captionLabel.get());
    contentTable->setCellAlignment(0, row, Table::AlignCentre, Table::AlignCentre);
    contentTable->setCellPadding(0, row, 0, headerPadTop, 0, headerPadBottom);
    ++row;
    contentTable->setCell(0, row, textLabel.get());
    contentTable->setCellAlignment(0, row, Table::AlignCentre, Table::AlignStart);
    contentTable->setCellPadding(0, row, kCellPadding, kCellPadding, kCellPadding, kCellPadding);
    ++row;
    if (extraLabel) {
        contentTable->setCell(0, row, extraLabel.get());
        contentTable->setCellAlignment(0, row, Table::AlignCentre, Table::AlignStart);
        contentTable->setCellPadding(0, row, kCellPadding, kCellPadding, kCellPadding, kCellPadding);
        ++row;
    }
    if (buttonTable) {
        contentTable->setCell(0, row, buttonTable.get());
        contentTable->setCellAlignment(0, row, d.buttonAlignment, Table::AlignCentre);
        contentTable->setCellPadding(0, row, kCellPadding, kCellPadding, kCellPadding, kCellPadding);
    }

    contentTable->horizontalAlign = kAlignCentre;
    contentTable->verticalAlign = kAlignCentre;
    if (textProvider && buttonTable)
        gui->setVisible(buttonTable.get(), false);
}

PopupDialogForm::~PopupDialogForm() = default;

bool PopupDialogForm::tick(double) {
    if (textProvider) {
        providedText_.clear();
        const bool changing = textProvider->getText(providedText_);
        if (!changing && buttonTable && !buttonTable->visible)
            gui_->setVisible(buttonTable.get(), true);
        if (!providedTextShown_ || providedText_ != textLabel->currentText()) {
            providedTextShown_ = true;
            textLabel->setTextWithStyle(providedText_, kWrapCentred, gui_->getDefaultFont(), kWhite);
            textLabel->invalidate();
        }
    }
    return needsRedraw != 0;
}
