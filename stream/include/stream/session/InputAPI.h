#pragma once
// Keyboard, mouse and gamepad input to the streamer. Every operation builds one request
// (or, for typed text, two per character), hands it to the endpoint and then tells the
// listeners that the user was active (a mouse button only when pressed).
//
// Callable from any thread. The request objects are kept per thread and reused, so an
// input event costs no allocation of its own.

#include <cstdint>
#include <string>

#include "core/InputAPIEvent.h"
#include "core/Listenable.h"
#include "stream/session/GamepadState.h"
#include "stream/control/InputInterfaceAPIBase.h"

class InputAPI : public InputInterfaceAPIBase, public Listenable<InputAPIEvent::eInputAPIEvent> {
public:
    using InputInterfaceAPIBase::InputInterfaceAPIBase;

    // Flag bits of a key event.
    static constexpr std::uint32_t kKeyExtended = 1;
    static constexpr std::uint32_t kKeyRelease = 2;
    // Flags of typed characters (the scancode carries the code point).
    static constexpr std::uint32_t kTypedCharacter = 260;

    void KeyDown(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags);
    void KeyUp(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags);
    void KeyboardReset();
    void TypeText(const std::string& utf8);
    void MouseMove(std::int32_t absX, std::int32_t absY, std::int32_t relX, std::int32_t relY,
                   std::int32_t screenX, std::int32_t screenY, bool absolute);
    // button: 0 left, 1 middle, 2 right, 3 and 4 the extra buttons.
    void MouseButton(std::int32_t absX, std::int32_t absY, std::int32_t screenX, std::int32_t screenY,
                     int button, bool pressed);
    // delta: the scroll amount times 120; cut to 16 bits with its sign.
    void MouseWheel(std::int32_t absX, std::int32_t absY, std::int32_t screenX, std::int32_t screenY,
                    int delta);
    void JoystickButtonDown(std::uint8_t joyId, std::uint8_t buttonId);
    void JoystickButtonUp(std::uint8_t joyId, std::uint8_t buttonId);
    void JoystickAxis(std::uint8_t joyId, std::uint8_t axisId, std::int32_t value);
    void JoystickReset();
    void JoystickStateV2(std::uint8_t joyId, const GamepadState& state);

private:
    void key(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags);
    void mouse(std::int32_t absX, std::int32_t absY, std::int32_t relX, std::int32_t relY,
               std::int32_t screenX, std::int32_t screenY, std::int64_t flags, std::int64_t data);
    void joystickAction(int type, std::uint8_t joyId, int buttonId, int axisId, std::int32_t value);
    void bare(int requestType);
};
