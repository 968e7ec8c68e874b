#pragma once
// What the in-stream screen needs of the decoder row of the menu's system page.
// Threads: as IStreamMenu.

#include <string>
#include <vector>

class IDecoderPopup {
public:
    virtual ~IDecoderPopup() = default;

    // The decoders the user may pick (called once when the screen enters).
    virtual void setDecoders(const std::vector<std::string>& names) = 0;
    // Marks the decoder in use; a name not in the list changes nothing.
    virtual void setCurrentDecoder(const std::string& name) = 0;
    // True once after the user picked a decoder (stored under "Decoder.Last"); reading
    // clears it. The screen then restarts itself with the new decoder.
    virtual bool takeChoice() = 0;
};
