#pragma once
// The error screen: a title, the error text and OK, which leads back to sign-in.

#include <memory>
#include <string>

#include "gui/Widget.h"
#include "launcher/LauncherState.h"

class Button;
class Static;

class LauncherErrorState : public Widget, public LauncherState {
public:
    LauncherErrorState(LauncherApp* window, PlayerGUI* gui, const std::string& errorText);

    void enter() override;
    void leave() override;
    void onCommand(int id) override;
    void draw(AbstractGraphicsContext* context) override;
    const char* name() const override { return "error"; }

    const std::string& errorText() const { return errorText_; }
    Static* message() const { return message_.get(); }
    Button* okButton() const { return ok_.get(); }

private:
    std::string errorText_;
    std::shared_ptr<Button> ok_;
    std::shared_ptr<Static> version_;
    std::shared_ptr<Static> title_;
    std::shared_ptr<Static> message_;
};
