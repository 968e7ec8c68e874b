#pragma once
// A labelled check box: each click or Space/Enter release toggles it and then sends its
// command, whose handler reads the new state. On a form where Enter submits, the box can
// leave Enter to the form (setEnterToggles(false)): Space alone toggles it then.

#include "gui/ButtonCommon.h"
#include "gui/Color.h"

#include <cstdint>
#include <string>
#include <vector>

class GraphicsFont;

class CheckBox : public ButtonCommon, public ControlsRender {
public:
    // A null font means the GUI's default font.
    CheckBox(PlayerGUI* gui, const std::string& label, int commandId, GraphicsFont* font = nullptr,
             Color textColor = Color(0xffffffffu));

    void draw(AbstractGraphicsContext* context) override;
    void onClick() override;
    bool onKeyDown(int key, int scancode, int mods) override;
    bool onKeyUp(int key, int scancode, int mods) override;

    // No command is sent.
    void setChecked(bool checked);
    bool isChecked() const { return checked_ != 0; }
    int commandId() const { return commandId_; }
    // Whether Enter toggles the focused box (it does by default). When not, Enter is not
    // taken and goes on to whoever handles keys after the GUI.
    void setEnterToggles(bool toggles) { enterToggles_ = toggles; }

protected:
    // The widget's GUI (the same one ControlsRender holds).
    using ButtonCommon::gui_;

private:
    std::string label_;
    std::vector<std::uint32_t> codePoints_;
    int commandId_;
    unsigned char checked_ = 0;
    bool enterToggles_ = true;
    GraphicsFont* font_;
    Color textColor_;
    int labelWidth_ = 0;
    int labelHeight_ = 0;
};
