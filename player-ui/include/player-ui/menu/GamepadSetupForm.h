#pragma once
// The gamepad setup form: a drawn game controller whose buttons light while held and whose
// sticks move their knobs, so the user sees what the player receives from the pad. A click
// on a button picture or a stick sends that control's command, with which the in-stream
// screen starts learning the physical control for it; the close picture sends its own
// command.
//
// The gamepad manager hands every mapped state to the form's device on the main thread
// (every poll); the form takes the latest state in its tick on the render thread and only
// there touches its pictures, so the two threads share nothing but the device's locked copy.

#include "gui/ButtonCommon.h"
#include "gui/Color.h"
#include "gui/PlayerGUI.h"
#include "gui/Widget.h"
#include "stream/gamepad/UIJoystickDevice.h"

#include <cstdint>
#include <map>
#include <memory>

class AbstractSurface;
class ImageButton;

// A stick: its base with the knob at the stick's position (x and y from -1 to 1, y up).
class JoystickWidget : public ButtonCommon {
public:
    static constexpr int kSize = 128;
    static constexpr int kKnobSize = 64;

    JoystickWidget(PlayerGUI* gui, int command);

    void onMouseEnter() override;
    void onMouseLeave() override;
    void draw(AbstractGraphicsContext* context) override;

    void setStickX(float value);
    void setStickY(float value);
    // Where the knob is drawn (its top-left corner).
    Point knobPosition() const;

    int command;
    float stickX = 0.0f;
    float stickY = 0.0f;

private:
    AbstractSurface* atlas_;
};

// A button of the controller: its grey picture, or its orange one while lit.
class GamepadButtonWidget : public ButtonCommon {
public:
    GamepadButtonWidget(PlayerGUI* gui, int index, int command);

    void onMouseEnter() override;
    void onMouseLeave() override;
    void draw(AbstractGraphicsContext* context) override;

    void setLit(bool value);

    int index;
    int command;
    bool lit = false;
    Rect unlitPicture;
    Rect litPicture;

private:
    AbstractSurface* atlas_;
};

class GamepadSetupForm : public Widget {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    explicit GamepadSetupForm(PlayerGUI* gui);
    ~GamepadSetupForm() override;

    void draw(AbstractGraphicsContext* context) override;
    bool arrange(AbstractGraphicsContext* context) override;
    // Shows the latest state the gamepad manager handed over.
    bool tick(double seconds) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;

    // Shows or hides the form with its pictures; nothing when it already is so.
    void setVisible(bool visible);
    // Lights the pictures and places the knobs from a mapped state.
    void showState(const GamepadState& state);
    // What the gamepad manager feeds while the form is shown.
    UIJoystickDevice& inputDevice() { return device; }
    GamepadButtonWidget* button(int index) const;

    std::shared_ptr<JoystickWidget> leftStick;
    std::shared_ptr<JoystickWidget> rightStick;
    std::shared_ptr<ImageButton> closeButton;
    std::map<std::int32_t, std::shared_ptr<GamepadButtonWidget>> buttons;
    UIJoystickDevice device;

private:
    Color fill_;
};
