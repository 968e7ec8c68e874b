// The gamepad setup form: its fixed layout, what a mapped state lights and where the knobs
// go, clicks on its pictures, showing and hiding with its pictures, and a scripted pad
// mapped end to end through the gamepad manager into joysticks.ini.

#include "PlayerUiTestSupport.h"

#include "ScriptedJoystickSource.h"
#include "TestSupport.h"
#include "gui/ImageButton.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/menu/GamepadSetupForm.h"
#include "stream/gamepad/JoystickManager.h"

#include <gtest/gtest.h>

using playeruitest::Bench;
using playeruitest::drawnBy;
using playeruitest::quadAt;

namespace {

struct FormFixture {
    FormFixture() {
        form = std::make_shared<GamepadSetupForm>(bench.gui.get());
        form->setVisible(true);
        for (int i = 0; i < 3; ++i)
            bench.frame();
    }
    // Hands a state to the form as the gamepad manager does, and draws a frame.
    void feed(const GamepadState& state) {
        form->inputDevice().setState(state);
        bench.frame();
    }
    std::vector<int> litIndices() const {
        std::vector<int> lit;
        for (const auto& b : form->buttons)
            if (b.second->lit)
                lit.push_back(b.first);
        return lit;
    }

    Bench bench{1280, 720};
    std::shared_ptr<GamepadSetupForm> form;
};

GamepadState withButtons(std::uint64_t mask) {
    GamepadState s = GamepadState::neutral();
    s.buttons = mask;
    return s;
}

}  // namespace

TEST(GamepadSetupForm, FixedLayoutInsideTheCentredForm) {
    FormFixture f;
    GamepadSetupForm& form = *f.form;
    ASSERT_EQ(form.width, 640);
    ASSERT_EQ(form.height, 480);
    EXPECT_EQ(form.x, (1280 - 640) / 2);
    EXPECT_EQ(form.y, (720 - 480) / 2);
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.buttons.size(), 17u);
    EXPECT_EQ(form.button(8), nullptr);

    struct Case {
        const char* name;
        Widget* widget;
        int dx;
        int dy;
    };
    const Case cases[] = {
        {"left trigger", form.button(6), 62, 20},      {"right trigger", form.button(7), 482, 20},
        {"left bumper", form.button(4), 20, 64},       {"right bumper", form.button(5), 482, 64},
        {"X", form.button(2), 440, 193},               {"Y", form.button(3), 500, 133},
        {"A", form.button(0), 500, 253},               {"B", form.button(1), 560, 193},
        {"pad left", form.button(14), 16, 196},        {"pad up", form.button(12), 73, 139},
        {"pad down", form.button(13), 73, 233},        {"pad right", form.button(15), 110, 196},
        {"left stick", form.leftStick.get(), 20, 332}, {"right stick", form.rightStick.get(), 492, 332},
        {"left press", form.button(10), 178, 336},     {"right press", form.button(11), 402, 336},
        {"back", form.button(16), 214, 151},           {"start", form.button(9), 330, 151},
        {"guide", form.button(17), 287, 207},          {"close", form.closeButton.get(), 640, -25},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.widget->x - form.x, c.dx) << c.name;
        EXPECT_EQ(c.widget->y - form.y, c.dy) << c.name;
    }
}

TEST(GamepadSetupForm, StatesLightButtonsAndMoveKnobs) {
    FormFixture f;
    struct Case {
        const char* name;
        std::uint64_t mask;
        std::vector<int> lit;
    };
    const Case cases[] = {
        {"nothing", 0, {}},
        {"A and Y", (1u << 0) | (1u << 3), {0, 3}},
        {"bit 8 alone is Back", 1u << 8, {16}},
        {"bit 16 alone is Back", 1u << 16, {16}},
        {"Guide", 1u << 17, {17}},
        {"pad and bumpers", (1u << 4) | (1u << 5) | (1u << 12) | (1u << 15), {4, 5, 12, 15}},
        {"start and stick presses", (1u << 9) | (1u << 10) | (1u << 11), {9, 10, 11}},
        {"trigger bits do not light triggers", (1u << 6) | (1u << 7), {}},
    };
    for (const Case& c : cases) {
        f.feed(withButtons(c.mask));
        EXPECT_EQ(f.litIndices(), c.lit) << c.name;
    }

    // Triggers light from their axes, from the first step past the centre.
    GamepadState s = GamepadState::neutral();
    s.axes[10] = 128;
    s.axes[11] = 129;
    f.feed(s);
    EXPECT_EQ(f.litIndices(), (std::vector<int>{7}));

    // Knobs: 128 x 128 base, 64 x 64 knob; axis byte 255 on y is the top.
    const JoystickWidget& left = *f.form->leftStick;
    struct Knob {
        std::uint8_t x;
        std::uint8_t y;
        int dx;
        int dy;
    };
    for (const Knob& k : {Knob{128, 128, 32, 32}, Knob{128, 255, 32, 0}, Knob{128, 0, 32, 64}, Knob{0, 128, 0, 32},
                          Knob{255, 128, 64, 32}}) {
        GamepadState state = GamepadState::neutral();
        state.axes[0] = k.x;
        state.axes[1] = k.y;
        f.feed(state);
        EXPECT_EQ(left.knobPosition().x - left.x, k.dx) << int(k.x) << "," << int(k.y);
        EXPECT_EQ(left.knobPosition().y - left.y, k.dy) << int(k.x) << "," << int(k.y);
    }
    // The right stick reads axes 3 and 4; the knob is drawn where it is placed.
    GamepadState right = GamepadState::neutral();
    right.axes[3] = 255;
    right.axes[4] = 255;
    f.feed(right);
    const std::vector<Vertex> v = drawnBy(*f.form->rightStick, f.bench.ctx);
    ASSERT_GE(v.size(), 8u);
    EXPECT_EQ(quadAt(v, 0).width, 128);
    EXPECT_EQ(quadAt(v, 4).x, f.form->rightStick->x + 64);
    EXPECT_EQ(quadAt(v, 4).y, f.form->rightStick->y);

    // reset: nothing lit, knobs centred.
    f.feed(withButtons(~std::uint64_t(0)));
    f.form->inputDevice().reset(false);
    f.bench.frame();
    EXPECT_TRUE(f.litIndices().empty());
    EXPECT_EQ(left.knobPosition().x - left.x, 32);
    EXPECT_FALSE(f.form->tick(0.0)) << "no new state, no redraw";
}

TEST(GamepadSetupForm, PicturesSendTheirCommands) {
    FormFixture f;
    f.bench.clickOn(*f.form->button(17));
    f.bench.clickOn(*f.form->leftStick);
    f.bench.clickOn(*f.form->rightStick);
    f.bench.clickOn(*f.form->button(0));
    f.bench.clickOn(*f.form->button(16));
    f.bench.clickOn(*f.form->closeButton);
    EXPECT_EQ(f.bench.handler.commands, (std::vector<int>{83, 65, 66, 67, 82, kCommandCloseGamepadSetup}));

    f.form->setVisible(false);
    for (const auto& b : f.form->buttons)
        EXPECT_FALSE(b.second->isVisible());
    EXPECT_FALSE(f.form->closeButton->isVisible());
    EXPECT_FALSE(f.form->leftStick->isVisible());
    f.bench.handler.commands.clear();
    f.bench.clickOn(*f.form->button(0));
    EXPECT_TRUE(f.bench.handler.commands.empty());
}

namespace {

// The in-stream screen's side of the form: each picture's command starts learning its
// control, and a learned control ends the learning.
class LearningScreen : public IJoystickEventDetectionCallback {
public:
    explicit LearningScreen(JoystickManager& manager) : manager_(manager) {}
    void onCommand(int id) {
        switch (id) {
            case 65: manager_.detectAxis(0, this); break;
            case 67: manager_.detectButton(0, this); break;
            case 68: manager_.detectButton(1, this); break;
            case 73: manager_.detectForAxis(10, 11, this); break;
            default: break;
        }
    }
    void onDetectionResult(int result, int target) override {
        manager_.stopDetection();
        results.push_back(std::to_string(result) + "/" + std::to_string(target));
    }
    void onDetectionStopped() override {}
    std::vector<std::string> results;

private:
    JoystickManager& manager_;
};

}  // namespace

TEST(GamepadSetupForm, MapsAScriptedPadEndToEnd) {
    testsupport::TempDir dir;
    playeruitest::ScriptedPad pad(dir.path(), "Scripted Pad", 12, 6);
    ScriptedJoystickSource& source = pad.source;
    JoystickManager& manager = pad.manager;
    manager.poll();

    FormFixture f;
    LearningScreen screen(manager);
    f.bench.handler.hook = [&](int id) { screen.onCommand(id); };
    manager.setMonitorDevice(&f.form->inputDevice());

    // The default mapping: physical button 0 is A.
    source.setButton(0, 0, true);
    manager.poll();
    f.bench.frame();
    EXPECT_TRUE(f.form->button(0)->lit);
    source.setButton(0, 0, false);
    manager.poll();
    f.bench.frame();
    EXPECT_FALSE(f.form->button(0)->lit);

    // The user teaches A: a click on its picture, then physical button 7.
    f.bench.clickOn(*f.form->button(0));
    EXPECT_EQ(manager.detectionMode(), kDetectButton);
    source.setButton(0, 7, true);
    manager.poll();
    EXPECT_EQ(screen.results, (std::vector<std::string>{"0/0"}));
    EXPECT_EQ(manager.detectionMode(), kDetectNone);
    // From now on button 7 lights A.
    manager.poll();
    source.setButton(0, 7, false);
    manager.poll();
    source.setButton(0, 7, true);
    manager.poll();
    f.bench.frame();
    EXPECT_TRUE(f.form->button(0)->lit);

    // And the left trigger from axis 5.
    source.setButton(0, 7, false);
    manager.poll();
    f.bench.clickOn(*f.form->button(6));
    source.setAxis(0, 5, 1.0f);
    manager.poll();
    EXPECT_EQ(screen.results.size(), 2u);

    const std::string file = testsupport::readFile(dir.file("joysticks.ini"));
    EXPECT_NE(file.find("[Scripted Pad-b12-a6]"), std::string::npos) << file;
    EXPECT_NE(file.find("Button7=B2B:0"), std::string::npos) << file;
    EXPECT_NE(file.find("Axis5="), std::string::npos) << file;

    // The form's device leaves the manager with the form.
    manager.setMonitorDevice(nullptr);
}
