#pragma once
// An item of the overlay menu that is one picture on a coloured bar with a white border
// (the Steam, desktop and store items). Items of one height line up whatever their picture's
// height: the picture's cell is padded above and below by the height minus half the
// picture's height. A release over the item sends its command (0 sends none).

#include "gui/Color.h"
#include "gui/TableButton.h"

#include <cstdint>
#include <memory>

class AbstractSurface;
class ImageButton;

class ImageMenuButton : public TableButton {
public:
    ImageMenuButton(PlayerGUI* gui, int command, AbstractSurface* surface, const Rect& picture, Color defaultColour,
                    Color hoverColour, std::int32_t width, std::int32_t height);
    ~ImageMenuButton() override;

    void draw(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;
    void onHoverChanged(bool hovered) override;
    void onPressChanged(bool pressed) override;

    void setInteractive(bool interactive);
    bool isInteractive() const { return pressReporting != 0; }

    std::shared_ptr<ImageButton> picture;
    std::int32_t command;
    bool hovered = false;
    std::int32_t itemWidth;
    std::int32_t itemHeight;
    bool pressShift = true;
    Color defaultColour;
    Color hoverColour;

private:
    Color borderColour_;
};
