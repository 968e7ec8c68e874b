#pragma once
// What the in-stream screen needs of the menu's bitrate slider.
// Threads: as IStreamMenu.

#include <cstdint>

class IBitrateSlider {
public:
    virtual ~IBitrateSlider() = default;

    // The chosen bitrate in bits per second.
    virtual std::int32_t getBitrate() const = 0;
    // Shows the session's bitrate (bits per second) unless the user is dragging.
    virtual void setBitrate(std::int32_t bitsPerSecond) = 0;
    // The user holds the slider (or its plus or minus picture) down.
    virtual bool isDragging() const = 0;
};
