#pragma once
// The decoder row of the menu's system page: an item that names the decoder in use, with a
// small arrow, and under it, when opened, the list of the decoders this computer can use
// (one entry per name, sorted by name). A click on an entry stores it as the decoder to use
// ("Decoder.Last") and raises choiceMade, which the in-stream screen reads and clears; the
// screen then restarts itself with that decoder.

#include "gui/Widget.h"
#include "player-ui/menu/IDecoderPopup.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ImageButton;
class MenuButton;
class RightMenuPopupButton;
class Table;

class DecoderPopup : public Widget, public IDecoderPopup {
public:
    DecoderPopup(PlayerGUI* gui, std::int32_t width, std::int32_t spacing);
    ~DecoderPopup() override;

    bool arrange(AbstractGraphicsContext* context) override;
    bool measure(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    bool tick(double) override { return true; }

    // Adds an entry per name (a repeated name replaces its entry) and rebuilds the list,
    // hidden.
    void setDecoders(const std::vector<std::string>& names) override;
    // Marks the named entry as the one in use and names it on the item; an unknown name
    // changes nothing.
    void setCurrentDecoder(const std::string& name) override;
    // Whether the user picked a decoder since the last call.
    bool takeChoice() override;
    // Opens or closes the list (nothing before setDecoders).
    void toggleList();
    bool isListVisible() const;

    bool choiceMade = false;
    std::int32_t spacing;
    std::int32_t itemWidth;
    std::string currentDecoder;
    std::shared_ptr<MenuButton> decoderItem;
    std::shared_ptr<ImageButton> arrow;
    std::shared_ptr<Table> list;
    std::map<std::string, std::shared_ptr<RightMenuPopupButton>> entries;
};
