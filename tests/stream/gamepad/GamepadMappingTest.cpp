// The gamepad mapping handlers: their arithmetic and their text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "stream/gamepad/JoystickAxisTo2AxisEventHandler.h"
#include "stream/gamepad/JoystickAxisTo2ButtonsEventHandler.h"
#include "stream/gamepad/JoystickAxisToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"
#include "stream/gamepad/JoystickMappingMath.h"

namespace {

TEST(JoystickMappingMath, AxisBytesTruncateAndStayWithinTheByte) {
    struct Case {
        float x;
        int axis, button;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {-1.0f, 0, 0},     {0.0f, 128, 128},   {0.5f, 192, 192}, {1.0f, 255, 255},  // 1 gives 255, not 256
        {0.99f, 254, 254}, {-0.999f, 0, 0},    {-0.99f, 1, 1},
        // Beyond the range (from a hand-edited file): held at the ends, never wrapped.
        {-1.5f, 0, 0},     {3.0f, 255, 255},   {-1e30f, 0, 0},   {1e30f, 255, 255}, {nan, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(joystick_mapping::axisByte(c.x), c.axis);
        EXPECT_EQ(joystick_mapping::buttonAxisByte(c.x), c.button);
    }
}

// Every handler kind: the text it writes, and the handler that text reads back into.
TEST(JoystickHandlers, TextFormsAndReadBack) {
    struct Case {
        std::shared_ptr<IJoystickSerializable> handler;
        std::function<std::shared_ptr<IJoystickSerializable>()> fresh;
        std::string text;
    };
    const Case cases[] = {
        {std::make_shared<JoystickButtonToButtonEventHandler>(5), [] { return std::make_shared<JoystickButtonToButtonEventHandler>(); },
         "B2B:5"},
        // The released value is written first.
        {std::make_shared<JoystickButtonToAxisEventHandler>(10, 1.0f, -1.0f),
         [] { return std::make_shared<JoystickButtonToAxisEventHandler>(); }, "B2A:10:-1.00:1.00"},
        {std::make_shared<JoystickAxisToAxisEventHandler>(0, -1.0f, 0.0f, 1.0f),
         [] { return std::make_shared<JoystickAxisToAxisEventHandler>(); }, "A2A:0:-1.00:0.00:1.00"},
        {std::make_shared<JoystickAxisToAxisEventHandler>(4, 1.0f, 0.0f, -1.0f),
         [] { return std::make_shared<JoystickAxisToAxisEventHandler>(); }, "A2A:4:1.00:0.00:-1.00"},
        {std::make_shared<JoystickAxisToAxisEventHandler>(3, 0.125f, 0.5f, 0.756f),
         [] { return std::make_shared<JoystickAxisToAxisEventHandler>(); }, "A2A:3:0.12:0.50:0.76"},
        {std::make_shared<JoystickAxisTo2AxisEventHandler>(2, 5), [] { return std::make_shared<JoystickAxisTo2AxisEventHandler>(); },
         "A2T:2:5"},
        {std::make_shared<JoystickAxisTo2ButtonsEventHandler>(7, 8),
         [] { return std::make_shared<JoystickAxisTo2ButtonsEventHandler>(); }, "A22B:7:8"},
        {std::make_shared<JoystickButtonToButtonEventHandler>(-3), [] { return std::make_shared<JoystickButtonToButtonEventHandler>(); },
         "B2B:-3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.handler->serialize(), c.text);
        auto back = c.fresh();
        back->deserialize(c.text);
        EXPECT_EQ(back->serialize(), c.text);
    }

    JoystickButtonToAxisEventHandler b2a;
    b2a.deserialize("B2A:10:-1.00:1.00");
    EXPECT_EQ(b2a.targetAxis, 10);
    EXPECT_EQ(b2a.releasedValue, -1.0f);
    EXPECT_EQ(b2a.pressedValue, 1.0f);
}

// Texts as a C scanner reads them: fields it cannot read keep their values.
TEST(JoystickHandlers, ReadingStopsAtTheFirstFieldThatDoesNotFit) {
    JoystickAxisToAxisEventHandler a2a(7, 0.5f, 0.5f, 0.5f);
    a2a.deserialize("A2A:x");
    EXPECT_EQ(a2a.serialize(), "A2A:7:0.50:0.50:0.50");

    struct Case {
        std::string text, expected;
    };
    const Case cases[] = {
        {"A2A:x", "A2A:0:0.00:0.00:0.00"},
        {"A2A:2:-1", "A2A:2:-1.00:0.00:0.00"},
        {"A2A:2:-1,00:0:1", "A2A:2:-1.00:0.00:0.00"},  // a comma is not a decimal point
        {"A2A: 3:+0.5:1e-1:-.25", "A2A:3:0.50:0.10:-0.25"},
        {"A2A:1:--1:0:1", "A2A:1:0.00:0.00:0.00"},
        {"A2A:99999999999:1:1:1", "A2A:0:0.00:0.00:0.00"},  // beyond int: not read
        {"A2A:1:1e99:1:1", "A2A:1:0.00:0.00:0.00"},        // beyond float: not read
        {"A2X:1:1:1:1", "A2A:0:0.00:0.00:0.00"},
        {"A2A:1:2:3:4:5", "A2A:1:2.00:3.00:4.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JoystickAxisToAxisEventHandler h;
        h.deserialize(c.text);
        EXPECT_EQ(h.serialize(), c.expected);
    }

    JoystickButtonToButtonEventHandler b2b(4);
    b2b.deserialize("B2B:+9");
    EXPECT_EQ(b2b.targetButton, 9);
    b2b.deserialize("B2B:-2147483648");
    EXPECT_EQ(b2b.targetButton, std::numeric_limits<int>::min());
    b2b.deserialize("B2B:2147483648");
    EXPECT_EQ(b2b.targetButton, std::numeric_limits<int>::min());  // unchanged
    JoystickAxisTo2ButtonsEventHandler a22b(5, 6);
    a22b.deserialize("A22B:1");
    EXPECT_EQ(a22b.serialize(), "A22B:1:6");
}

GamepadState patterned() {
    GamepadState s;
    for (std::size_t i = 0; i < s.axes.size(); ++i) s.axes[i] = static_cast<std::uint8_t>(100 + i);
    s.buttons = 0x8000000000000001ull;
    return s;
}

// Each handler writes its own targets and nothing else; targets outside the state change
// nothing at all.
TEST(JoystickHandlers, WriteOnlyTheirTargets) {
    struct Case {
        const char* name;
        std::function<void(GamepadState&)> run;
        std::function<void(GamepadState&)> expect;  // applied to the untouched state
    };
    auto axis = [](int i, int v) { return [=](GamepadState& s) { s.axes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v); }; };
    auto two = [](std::function<void(GamepadState&)> a, std::function<void(GamepadState&)> b) {
        return [=](GamepadState& s) { a(s); b(s); };
    };
    auto none = [](GamepadState&) {};
    const Case cases[] = {
        {"B2B press", [](GamepadState& s) { JoystickButtonToButtonEventHandler(3).handle(s, true); },
         [](GamepadState& s) { s.buttons |= 8; }},
        {"B2B release", [](GamepadState& s) { JoystickButtonToButtonEventHandler(0).handle(s, false); },
         [](GamepadState& s) { s.buttons &= ~1ull; }},
        {"B2B bit 63", [](GamepadState& s) { JoystickButtonToButtonEventHandler(63).handle(s, false); },
         [](GamepadState& s) { s.buttons &= ~(1ull << 63); }},
        {"B2B 64", [](GamepadState& s) { JoystickButtonToButtonEventHandler(64).handle(s, true); }, none},
        {"B2B -1", [](GamepadState& s) { JoystickButtonToButtonEventHandler(-1).handle(s, true); }, none},
        {"B2A pressed", [](GamepadState& s) { JoystickButtonToAxisEventHandler(10, 1.0f, -1.0f).handle(s, true); }, axis(10, 255)},
        {"B2A released", [](GamepadState& s) { JoystickButtonToAxisEventHandler(10, 1.0f, -1.0f).handle(s, false); }, axis(10, 0)},
        {"B2A 16", [](GamepadState& s) { JoystickButtonToAxisEventHandler(16, 1.0f, -1.0f).handle(s, true); }, none},
        {"A2A straight 1", [](GamepadState& s) { JoystickAxisToAxisEventHandler(2, -1, 0, 1).handle(s, 1.0f); }, axis(2, 255)},
        {"A2A inverted 1", [](GamepadState& s) { JoystickAxisToAxisEventHandler(2, 1, 0, -1).handle(s, 1.0f); }, axis(2, 0)},
        {"A2A straight 0.5", [](GamepadState& s) { JoystickAxisToAxisEventHandler(2, -1, 0, 1).handle(s, 0.5f); }, axis(2, 192)},
        {"A2A at 0 gives the centre", [](GamepadState& s) { JoystickAxisToAxisEventHandler(2, 5, 0.5f, 9).handle(s, 0.0f); },
         axis(2, 192)},
        {"A2A high unused", [](GamepadState& s) { JoystickAxisToAxisEventHandler(2, -1, 0, 7).handle(s, -1.0f); }, axis(2, 0)},
        {"A2A -1 target", [](GamepadState& s) { JoystickAxisToAxisEventHandler(-1, -1, 0, 1).handle(s, 1.0f); }, none},
        {"A2T -1", [](GamepadState& s) { JoystickAxisTo2AxisEventHandler(3, 4).handle(s, -1.0f); }, two(axis(3, 255), axis(4, 0))},
        {"A2T 0.25", [](GamepadState& s) { JoystickAxisTo2AxisEventHandler(3, 4).handle(s, 0.25f); }, two(axis(3, 0), axis(4, 64))},
        {"A2T 0", [](GamepadState& s) { JoystickAxisTo2AxisEventHandler(3, 4).handle(s, 0.0f); }, two(axis(3, 0), axis(4, 0))},
        {"A2T one target outside", [](GamepadState& s) { JoystickAxisTo2AxisEventHandler(16, 4).handle(s, 1.0f); }, axis(4, 255)},
        {"A22B 0.75", [](GamepadState& s) { JoystickAxisTo2ButtonsEventHandler(1, 2).handle(s, 0.75f); }, none},
        {"A22B 0.76", [](GamepadState& s) { JoystickAxisTo2ButtonsEventHandler(1, 2).handle(s, 0.76f); },
         [](GamepadState& s) { s.buttons |= 2; }},
        {"A22B -0.76", [](GamepadState& s) { JoystickAxisTo2ButtonsEventHandler(1, 2).handle(s, -0.76f); },
         [](GamepadState& s) { s.buttons |= 4; }},
        {"A22B clears", [](GamepadState& s) { JoystickAxisTo2ButtonsEventHandler(0, 63).handle(s, 0.0f); },
         [](GamepadState& s) { s.buttons = 0; }},
        {"A22B outside", [](GamepadState& s) { JoystickAxisTo2ButtonsEventHandler(64, -5).handle(s, 1.0f); }, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GamepadState actual = patterned();
        GamepadState expected = patterned();
        c.run(actual);
        c.expect(expected);
        EXPECT_EQ(actual.buttons, expected.buttons);
        EXPECT_EQ(actual.axes, expected.axes);
    }
}

}  // namespace
