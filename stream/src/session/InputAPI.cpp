#include "stream/session/InputAPI.h"

#include "core/Utf8.h"
#include "input-lib/InputClient.pb.h"
#include "stream/session/InputInterface.h"

using InputClient::Request;

namespace {
// One reusable request per kind and thread: every field of its payload is written on each
// use, so it serializes exactly like a fresh message.
// The payload accessor makes the sub-message present, so even an all-default payload is on
// the wire. Each kind gets its own thread_local through the template arguments.
template <Request::RequestType kType, auto kMutablePayload>
Request& reusableRequest() {
    thread_local Request r = [] {
        Request q;
        q.set_type(kType);
        (q.*kMutablePayload)();
        return q;
    }();
    return r;
}

Request& keyRequest() {
    return reusableRequest<Request::KEYBOARD_ACTION_V2, &Request::mutable_keyactionv2>();
}
Request& mouseRequest() {
    return reusableRequest<Request::MOUSE_ACTION, &Request::mutable_mouseaction>();
}
Request& joystickStateRequest() {
    return reusableRequest<Request::JOYSTICK_STATE_V2, &Request::mutable_joystickstatev2>();
}
}  // namespace

void InputAPI::key(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags) {
    Request& r = keyRequest();
    auto* k = r.mutable_keyactionv2();
    k->set_vkey(vkey);
    k->set_scancode(scancode);
    k->set_flags(flags);
    endpoint_->send(r);
}

void InputAPI::KeyDown(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags) {
    key(vkey, scancode, flags);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::KeyUp(std::uint32_t vkey, std::uint32_t scancode, std::uint32_t flags) {
    key(vkey, scancode, flags | kKeyRelease);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::bare(int requestType) {
    Request r;
    r.set_type(static_cast<Request::RequestType>(requestType));
    endpoint_->send(r);
}

void InputAPI::KeyboardReset() {
    bare(Request::KEYBOARD_RESET);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::TypeText(const std::string& utf8) {
    for (std::uint32_t codePoint : utf8ToCodePoints(utf8)) {
        KeyDown(0, codePoint, kTypedCharacter);
        KeyUp(0, codePoint, kTypedCharacter);
    }
}

void InputAPI::mouse(std::int32_t absX, std::int32_t absY, std::int32_t relX, std::int32_t relY,
                     std::int32_t screenX, std::int32_t screenY, std::int64_t flags, std::int64_t data) {
    Request& r = mouseRequest();
    auto* m = r.mutable_mouseaction();
    m->set_absx(absX);
    m->set_absy(absY);
    m->set_relx(relX);
    m->set_rely(relY);
    m->set_screenx(screenX);
    m->set_screeny(screenY);
    m->set_flags(flags);
    m->set_data(data);
    endpoint_->send(r);
}

void InputAPI::MouseMove(std::int32_t absX, std::int32_t absY, std::int32_t relX, std::int32_t relY,
                         std::int32_t screenX, std::int32_t screenY, bool absolute) {
    mouse(absX, absY, relX, relY, screenX, screenY, absolute ? 0x8001 : 0x0001, 0);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::MouseButton(std::int32_t absX, std::int32_t absY, std::int32_t screenX, std::int32_t screenY,
                           int button, bool pressed) {
    // Windows mouse-input flags of the button's press and release, and its data word.
    struct ButtonFlags {
        std::int64_t down, up, data;
    };
    static constexpr ButtonFlags kButtons[] = {
        {2, 4, 0}, {32, 64, 0}, {8, 16, 0}, {128, 256, 1}, {128, 256, 2}};
    ButtonFlags b{0, 0, 0};
    if (button >= 0 && button < 5) b = kButtons[button];
    mouse(absX, absY, 0, 0, screenX, screenY, pressed ? b.down : b.up, b.data);
    if (pressed) notify(InputAPIEvent::kInputSent);
}

void InputAPI::MouseWheel(std::int32_t absX, std::int32_t absY, std::int32_t screenX, std::int32_t screenY,
                          int delta) {
    mouse(absX, absY, 0, 0, screenX, screenY, 0x800, static_cast<std::int16_t>(delta & 0xFFFF));
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::joystickAction(int type, std::uint8_t joyId, int buttonId, int axisId, std::int32_t value) {
    Request r;
    r.set_type(Request::JOYSTICK_ACTION);
    auto* a = r.mutable_joystickaction();
    a->set_type(static_cast<Request::JoystickAction::ActionType>(type));
    a->set_joyid(joyId);
    a->set_buttonid(buttonId);
    a->set_axisid(axisId);
    a->set_value(value);
    endpoint_->send(r);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::JoystickButtonDown(std::uint8_t joyId, std::uint8_t buttonId) {
    joystickAction(Request::JoystickAction::BUTTON, joyId, buttonId, 0, 1);
}

void InputAPI::JoystickButtonUp(std::uint8_t joyId, std::uint8_t buttonId) {
    joystickAction(Request::JoystickAction::BUTTON, joyId, buttonId, 0, 0);
}

void InputAPI::JoystickAxis(std::uint8_t joyId, std::uint8_t axisId, std::int32_t value) {
    joystickAction(Request::JoystickAction::AXIS, joyId, 0, axisId, value);
}

void InputAPI::JoystickReset() {
    bare(Request::JOYSTICK_RESET);
    notify(InputAPIEvent::kInputSent);
}

void InputAPI::JoystickStateV2(std::uint8_t joyId, const GamepadState& state) {
    Request& r = joystickStateRequest();
    auto* s = r.mutable_joystickstatev2();
    s->set_joyid(joyId);
    s->set_buttons(state.buttons);
    s->set_axises1(state.axisWord(0));
    s->set_axises2(state.axisWord(1));
    endpoint_->send(r);
    notify(InputAPIEvent::kInputSent);
}
