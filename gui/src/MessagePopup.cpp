#include "gui/MessagePopup.h"

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"

MessagePopup::MessagePopup(PlayerGUI* gui, const std::string& caption, const std::string& message, int commandId)
    : Widget(gui) {
    caption_ = std::make_shared<Static>(gui, caption, 0, gui->getHeaderFont(), Color(0xffffffffu));
    message_ = std::make_shared<Static>(gui, message, 2, gui->getDefaultFont(), Color(0xffffffffu));
    button_ = std::make_shared<Button>(gui, LanguageStore::instance().text("text_ok"), commandId);
    message_->x = kMessageX;
    message_->y = kMessageY;
    message_->width = kMessageWidth;
    caption_->invalidate();
    message_->invalidate();
    setVisibleWithChildren(false);
}

MessagePopup::~MessagePopup() = default;

void MessagePopup::setVisibleWithChildren(bool show) {
    gui_->setVisible(this, show);
    gui_->setVisible(caption_.get(), show);
    gui_->setVisible(message_.get(), show);
    gui_->setVisible(button_.get(), show);
}

void MessagePopup::draw(AbstractGraphicsContext* context) {
    gui_->drawModalPanel(context, 0, 0, kWidth, kHeight);
    caption_->x = int(191.5f - float(caption_->width) * 0.5f);
    caption_->y = int(18.0f - float(caption_->height) * 0.5f);
    message_->x = kMessageX;
    message_->y = kMessageY;
    message_->width = kMessageWidth;
    button_->setX(191 - button_->width / 2);
    button_->setY(kButtonY);
}
