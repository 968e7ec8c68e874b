#include "player-ui/menu/BitrateSlider.h"

#include "core/ConfigStore.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/CheckBox.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/MenuButton.h"
#include "player-ui/menu/Slider.h"

#include <algorithm>

namespace {

constexpr int kSliderGap = 5;
constexpr Rect kMinusPicture{106, 108, 20, 20};
constexpr Rect kPlusPicture{482, 76, 20, 20};
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr int kTourPage = 7;
constexpr int kTourKind = 3;

}  // namespace

std::int32_t BitrateSlider::maxBitrateSetting() {
    const std::string text = ConfigStore::instance().getString("General.MaxBitrate", "20");
    long long mbit = 0;
    try {
        std::size_t used = 0;
        mbit = std::stoll(text, &used);
        if (used != text.size())
            throw std::invalid_argument(text);
    } catch (const std::exception&) {
        LogLine(40, "BitrateSlider::maxBitrateSetting", __LINE__).stream()
            << "General.MaxBitrate \"" << text << "\" is not a whole number, using " << kDefaultMaxMbit;
        return kDefaultMaxMbit;
    }
    if (mbit < 1) {
        LogLine(40, "BitrateSlider::maxBitrateSetting", __LINE__).stream()
            << "General.MaxBitrate " << mbit << " is below 1, using " << kDefaultMaxMbit;
        return kDefaultMaxMbit;
    }
    return std::int32_t(std::min<long long>(mbit, kLargestMaxMbit));
}

BitrateSlider::BitrateSlider(PlayerGUI* gui, std::int32_t spacing, std::shared_ptr<BoolUser> autoVar,
                             std::shared_ptr<Int32User> bitrateVar)
    : Table(gui, 1, 3),
      autoVariable(std::move(autoVar)),
      bitrateVariable(std::move(bitrateVar)),
      fill_(gui->getColor("player-button-main-default")),
      border_(gui->getColor("white")) {
    LanguageStore& texts = LanguageStore::instance();
    slider = std::make_shared<Slider>(gui, kCommandSetBitrate, kSliderGap, 0, maxBitrateSetting() * 1000);
    label = std::make_shared<Static>(gui, texts.text("menu_slider"), 0, gui->getDefaultFont());
    gui->setEnabled(label.get(), false);
    autoBox = std::make_shared<CheckBox>(gui, texts.text("menu_auto"), kCommandToggleAutoBitrate,
                                         gui->getDefaultFont());
    AbstractSurface* images = gui->getSurface("images");
    minusPicture = std::make_shared<ImageButton>(gui, kCommandNone, images, kMinusPicture, kNoPicture, kNoPicture,
                                                 kNoPicture);
    plusPicture = std::make_shared<ImageButton>(gui, kCommandNone, images, kPlusPicture, kNoPicture, kNoPicture,
                                                kNoPicture);

    AbstractGraphicsContext* context = gui->context();
    label->relayout(context);
    label->measure(context);
    autoBox->measure(context);

    topRow = std::make_shared<Table>(gui, 2, 1);
    topRow->setCell(0, 0, label.get());
    topRow->setCell(1, 0, autoBox.get());
    topRow->setCellAlignment(0, 0, AlignStart, AlignCentre);
    topRow->setCellAlignment(1, 0, AlignEnd, AlignCentre);
    topRow->setSpacing(std::max(0, slider->width - autoBox->width - label->width), 0);

    bottomRow = std::make_shared<Table>(gui, 2, 1);
    bottomRow->setCell(0, 0, minusPicture.get());
    bottomRow->setCell(1, 0, plusPicture.get());
    bottomRow->setCellAlignment(0, 0, AlignStart, AlignCentre);
    bottomRow->setCellAlignment(1, 0, AlignEnd, AlignCentre);
    bottomRow->setSpacing(std::max(0, slider->width - minusPicture->width - plusPicture->width), 0);

    gui->registerTutorialTarget(kTourPage, kTourKind, this);

    setCell(0, 0, topRow.get());
    setCell(0, 1, slider.get());
    setCell(0, 2, bottomRow.get());
    setSpacing(0, spacing);
    setCellPadding(0, 0, 2 * spacing, 2 * spacing, 2 * spacing, 0);
    setCellPadding(0, 2, 2 * spacing, 0, 2 * spacing, 2 * spacing);
    setAllCellsAlignment(AlignCentre, AlignCentre);
    topRow->updateLayout();
    bottomRow->updateLayout();
    updateLayout();
}

BitrateSlider::~BitrateSlider() = default;

std::int32_t BitrateSlider::getBitrate() const { return slider->value * 1024; }

void BitrateSlider::setBitrate(std::int32_t bitsPerSecond) {
    if (isDragging())
        return;
    const std::uint32_t bits = std::uint32_t(bitsPerSecond);
    slider->value = std::int32_t(std::min<std::uint32_t>(bits >> 10, std::uint32_t(slider->maximum)));
    slider->needsRedraw = 1;
}

bool BitrateSlider::isDragging() const {
    return slider->isDragging() || plusPicture->isDown() || minusPicture->isDown();
}

bool BitrateSlider::tick(double) {
    if (plusPicture->isDown()) {
        slider->value = std::min(slider->value + slider->step, slider->maximum);
        gui_->sendCommand(kCommandSetBitrate);
    }
    if (minusPicture->isDown()) {
        slider->value -= slider->step;
        if (slider->value < 0)
            slider->value = 0;
        else
            gui_->sendCommand(kCommandSetBitrate);
    }
    if (bitrateVariable && !isDragging() && bitrateVariable->changed.exchange(false))
        setBitrate(bitrateVariable->get());
    if (autoVariable && autoVariable->changed.exchange(false))
        autoBox->setChecked(autoVariable->get());
    return true;
}

void BitrateSlider::draw(AbstractGraphicsContext* context) {
    const Rect top = getCellRect(0, 0);
    const Rect bottom = getCellRect(0, 2);
    const Rect bar{top.x, top.y, top.width, bottom.y + bottom.height - top.y};
    MenuButton::drawBar(gui_, context, bar, fill_, border_, true);
}
