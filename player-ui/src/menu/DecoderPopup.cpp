#include "player-ui/menu/DecoderPopup.h"

#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Table.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/RightMenuPopupButton.h"

namespace {

constexpr Rect kChipPicture{52, 280, 32, 32};
constexpr Rect kArrowPicture{52, 494, 16, 16};
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kArrowInset = 10;

}  // namespace

DecoderPopup::DecoderPopup(PlayerGUI* gui, std::int32_t width, std::int32_t spacing)
    : Widget(gui), spacing(spacing), itemWidth(width) {
    AbstractSurface* images = gui->getSurface("images");
    decoderItem = std::make_shared<MenuButton>(gui, "none", kCommandToggleDecoderList, images, kChipPicture,
                                               gui->getColor("player-button-main-default"),
                                               gui->getColor("player-button-main-hover"), width);
    arrow = std::make_shared<ImageButton>(gui, kCommandNone, images, kArrowPicture, kNoPicture, kNoPicture,
                                          kNoPicture);
    arrow->ignoreMouse = 1;
    arrow->focusable = 0;
    gui->setEnabled(arrow.get(), false);
}

DecoderPopup::~DecoderPopup() = default;

bool DecoderPopup::measure(AbstractGraphicsContext*) {
    width = decoderItem->width;
    height = decoderItem->height;
    if (list && list->visible)
        height += list->height + spacing;
    layoutDirty = 0;
    return true;
}

bool DecoderPopup::arrange(AbstractGraphicsContext*) {
    if (decoderItem->x != x || decoderItem->y != y) {
        decoderItem->x = x;
        decoderItem->y = y;
        decoderItem->invalidate();
    }
    arrow->x = decoderItem->x + decoderItem->width - arrow->width - kArrowInset;
    arrow->y = decoderItem->y + (decoderItem->height - arrow->height) / 2;
    if (list && list->visible) {
        if (list->x != decoderItem->x || list->y != decoderItem->y + decoderItem->height + spacing) {
            list->x = decoderItem->x;
            list->y = decoderItem->y + decoderItem->height + spacing;
            list->invalidate();
        }
    }
    return true;
}

void DecoderPopup::onVisibilityChanged() {
    gui_->setVisible(decoderItem.get(), visible != 0);
    gui_->setVisible(arrow.get(), visible != 0);
    if (list)
        gui_->setVisible(list.get(), false);
    invalidate();
}

void DecoderPopup::propagateZOrder() {
    decoderItem->z = z;
    decoderItem->propagateZOrder();
    arrow->z = z;
    if (list)
        list->z = z;
    for (auto& entry : entries) {
        entry.second->z = z;
        entry.second->propagateZOrder();
    }
}

void DecoderPopup::setDecoders(const std::vector<std::string>& names) {
    AbstractSurface* images = gui_->getSurface("images");
    const Color normal = gui_->getColor("player-button-main-default");
    const Color hover = gui_->getColor("player-button-main-hover");
    const Color active = gui_->getColor("player-button-active-decoder");
    for (const std::string& name : names) {
        auto entry = std::make_shared<RightMenuPopupButton>(&choiceMade, gui_, name, kCommandNone, images,
                                                            kChipPicture, normal, hover, itemWidth);
        entry->activeDefaultColour = active;
        entry->activeHoverColour = active;
        entry->z = z;
        entries[name] = std::move(entry);
    }
    // Entries of the old list (one may just have been replaced) leave with it.
    list = std::make_shared<Table>(gui_, 1, unsigned(entries.size()));
    unsigned row = 0;
    for (auto& entry : entries)
        list->setCell(0, row++, entry.second.get());
    list->setSpacing(0, spacing);
    list->setAllCellsAlignment(Table::AlignCentre, Table::AlignCentre);
    list->z = z;
    gui_->setVisible(list.get(), false);
    if (!currentDecoder.empty()) {
        auto it = entries.find(currentDecoder);
        if (it != entries.end())
            it->second->active = true;
    }
    invalidate();
}

void DecoderPopup::setCurrentDecoder(const std::string& name) {
    auto it = entries.find(name);
    if (it == entries.end())
        return;
    if (!currentDecoder.empty()) {
        auto old = entries.find(currentDecoder);
        if (old != entries.end())
            old->second->active = false;
    }
    it->second->active = true;
    currentDecoder = name;
    decoderItem->setText(formatString(LanguageStore::instance().text("menu_decoder"), name.c_str()));
}

void DecoderPopup::toggleList() {
    if (!list)
        return;
    gui_->setVisible(list.get(), !list->visible);
    list->invalidate();
    invalidate();
}

bool DecoderPopup::takeChoice() {
    const bool made = choiceMade;
    choiceMade = false;
    return made;
}

bool DecoderPopup::isListVisible() const { return list && list->visible; }
