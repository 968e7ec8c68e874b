#pragma once
// The contents of the message popup window: a caption, a wrapped message and an OK button
// that sends a command, on a 383 x 164 modal panel.

#include "gui/Widget.h"

#include <memory>
#include <string>

class Button;
class Static;

class MessagePopup : public Widget {
public:
    static constexpr int kWidth = 383;
    static constexpr int kHeight = 164;
    static constexpr int kMessageX = 20;
    static constexpr int kMessageY = 50;
    static constexpr int kMessageWidth = 343;
    static constexpr int kButtonY = 120;

    // The OK button is labelled with the language text "text_ok" and sends commandId. The
    // popup and its children start hidden.
    MessagePopup(PlayerGUI* gui, const std::string& caption, const std::string& message, int commandId);
    ~MessagePopup() override;

    void draw(AbstractGraphicsContext* context) override;

    // Shows or hides the popup together with its caption, message and button.
    void setVisibleWithChildren(bool visible);

    Static* caption() const { return caption_.get(); }
    Static* message() const { return message_.get(); }
    Button* okButton() const { return button_.get(); }

private:
    std::shared_ptr<Static> caption_;
    std::shared_ptr<Static> message_;
    std::shared_ptr<Button> button_;
};
