#pragma once
// The bitrate block at the top of the overlay menu: a caption and the "automatic" check box
// over the slider, and a minus and a plus picture under it, on one bar with a white border.
// The slider shows the session's "Video.Bitrate" (in units of 1024 bit/s) and the check box
// its "Stream.AutoBitrate". A drag of the slider and every frame in which the minus or plus
// picture is held send the set-bitrate command; the screen then reads getBitrate().
//
// The block is the only reader of the two variables' changed flags. It leaves the bitrate's
// flag alone while the user moves the value (slider held, minus or plus held), so that the
// streamer's echo of an older value cannot pull the slider back under the pointer; the
// latest value is taken once the user lets go.

#include "gui/Color.h"
#include "gui/Table.h"
#include "player-ui/menu/IBitrateSlider.h"
#include "stream/session/VariableBase.h"

#include <cstdint>
#include <memory>

class CheckBox;
class ImageButton;
class Slider;
class Static;

class BitrateSlider : public Table, public IBitrateSlider {
public:
    using BoolUser = VariableUserBase<BoolVariable>;
    using Int32User = VariableUserBase<Int32Variable>;

    static constexpr std::int32_t kDefaultMaxMbit = 20;
    // The largest "General.MaxBitrate" whose bitrate in bit/s still fits an int32.
    static constexpr std::int32_t kLargestMaxMbit = 2097;

    BitrateSlider(PlayerGUI* gui, std::int32_t spacing, std::shared_ptr<BoolUser> autoVariable,
                  std::shared_ptr<Int32User> bitrateVariable);
    ~BitrateSlider() override;

    bool tick(double seconds) override;
    void draw(AbstractGraphicsContext* context) override;

    // The slider's value in bit/s.
    std::int32_t getBitrate() const override;
    // Shows a bitrate in bit/s (capped at the maximum) unless the user is moving the value.
    void setBitrate(std::int32_t bitsPerSecond) override;
    // The user is moving the value (the slider or a minus/plus picture is held).
    bool isDragging() const override;
    // "General.MaxBitrate" in Mbit/s as the slider uses it: a text that is not a whole
    // number, or a number below 1, gives 20; numbers above 2097 give 2097.
    static std::int32_t maxBitrateSetting();

    std::shared_ptr<Slider> slider;
    std::shared_ptr<Static> label;
    std::shared_ptr<CheckBox> autoBox;
    std::shared_ptr<ImageButton> minusPicture;
    std::shared_ptr<ImageButton> plusPicture;
    std::shared_ptr<Table> topRow;
    std::shared_ptr<Table> bottomRow;
    std::shared_ptr<BoolUser> autoVariable;
    std::shared_ptr<Int32User> bitrateVariable;

private:
    Color fill_;
    Color border_;
};
