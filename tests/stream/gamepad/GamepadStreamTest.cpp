// Gamepad states on their way to the stand-in streamer as joystick state requests.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <cstdio>
#include <map>
#include <memory>

#include "ScriptedJoystickSource.h"
#include "StreamTestSupport.h"
#include "input-lib/InputClient.pb.h"
#include "stream/session/CommonAPI.h"
#include "stream/gamepad/GlfwJoystickSource.h"
#include "stream/gamepad/InterfaceJoystickInputDevice.h"
#include "stream/gamepad/JoystickManager.h"
#include "stream/session/SimpleInputInterface.h"
#include "stream/gamepad/UIJoystickDevice.h"
#include "stubstreamer/StubStreamer.h"

using InputClient::Request;
using Bodies = std::vector<std::vector<int>>;

namespace {

// JOYSTICK_STATE_V2 for joystick 1 with the neutral state.
const std::vector<int> kNeutral = {0x08, 0x1B, 0x82, 0x03, 0x18, 0x08, 0x01, 0x18, 0x80, 0x81, 0x82, 0x84, 0x88,
                                   0x90, 0xA0, 0xC0, 0x80, 0x01, 0x20, 0x80, 0x81, 0x82, 0x80, 0x80, 0x90, 0xA0,
                                   0xC0, 0x80, 0x01};
// ... with axis 0 at 192 (axises1 0x80808080808080C0); no buttons field.
const std::vector<int> kStickRight = {0x08, 0x1B, 0x82, 0x03, 0x18, 0x08, 0x01, 0x18, 0xC0, 0x81, 0x82, 0x84, 0x88,
                                      0x90, 0xA0, 0xC0, 0x80, 0x01, 0x20, 0x80, 0x81, 0x82, 0x80, 0x80, 0x90, 0xA0,
                                      0xC0, 0x80, 0x01};
// ... and button bit 0.
const std::vector<int> kStickRightButton0 = {0x08, 0x1B, 0x82, 0x03, 0x1A, 0x08, 0x01, 0x10, 0x01, 0x18, 0xC0,
                                             0x81, 0x82, 0x84, 0x88, 0x90, 0xA0, 0xC0, 0x80, 0x01, 0x20, 0x80,
                                             0x81, 0x82, 0x80, 0x80, 0x90, 0xA0, 0xC0, 0x80, 0x01};
// Every axis byte 255 and every button.
const std::vector<int> kAllPressed = {0x08, 0x1B, 0x82, 0x03, 0x23, 0x08, 0x01, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0x01, 0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0x01};

// A session connected to the stand-in streamer.
struct Wire {
    Wire() : session(&app, &factory) {
        stub.scriptStandardSession();
        session.SetupConnectionAndStartStream("127.0.0.1", stub.port(), "t", "en", false);
        EXPECT_TRUE(app.waitFor(kClientAppVariablesReady));
    }
    // The joystick state requests an action sends, in order.
    std::vector<ReceivedFrame> joystickFrames(const std::function<void()>& action) {
        const std::size_t before = stub.frameCount();
        action();
        session.commonAPI().LogString("end");  // marks the end of what the action sent
        EXPECT_TRUE(stub.waitUntil(
            [&] {
                auto f = stub.frames();
                return f.size() > before && f.back().type() == Request::LOG_STRING && f.back().request.logmessage() == "end";
            },
            std::chrono::seconds(5)));
        std::vector<ReceivedFrame> out;
        auto frames = stub.frames();
        for (std::size_t i = before; i < frames.size(); ++i)
            if (frames[i].type() == Request::JOYSTICK_STATE_V2) out.push_back(frames[i]);
        return out;
    }
    // The same, as the bytes of their bodies.
    Bodies joystickStates(const std::function<void()>& action) {
        Bodies out;
        for (const ReceivedFrame& f : joystickFrames(action)) out.push_back(bytesOf(f.body));
        return out;
    }
    StubStreamer stub;
    RecordingApp app;
    FakePlayerFactory factory;
    SimpleInputInterface session;
};

// Does with each joystick what the in-stream screen does.
class StreamScreen : public IJoystickManagerEventListener {
public:
    StreamScreen(SimpleInputInterface& s, IJoystickSource& source) : session(s), manager(this, &source) {
        manager.setFilePath(folder);
    }
    ~StreamScreen() override {
        for (auto& d : devices) d.second->setNotifier(nullptr);
        std::remove(folder.c_str());
    }
    void onDeviceAdded(int id) override {
        auto device = std::make_unique<InterfaceJoystickInputDevice>(0, 1);
        device->setNotifier(&session);
        manager.setInputDevice(id, device.get());
        devices[id] = std::move(device);
    }
    void onDeviceRemoved(int id) override {
        manager.setInputDevice(id, nullptr);
        devices.erase(id);
    }
    SimpleInputInterface& session;
    std::string folder = ::testing::TempDir() + "gamepad-stream-joysticks.ini";
    JoystickManager manager;
    std::map<int, std::unique_ptr<InterfaceJoystickInputDevice>> devices;
};

TEST(JoystickManager, StatesReachTheStreamerOnlyWhenTheyChange) {
    Wire w;
    ScriptedJoystickSource source;
    source.plug(0, "Pad", 14, 8);
    StreamScreen screen(w.session, source);
    UIJoystickDevice form;
    ASSERT_TRUE(screen.manager.scanDevices());
    ASSERT_EQ(screen.devices.size(), 1u);
    EXPECT_EQ(w.session.joystickListenerCount(), 1u);

    auto poll3 = [&] {
        for (int i = 0; i < 3; ++i) screen.manager.poll();
    };
    EXPECT_EQ(w.joystickStates(poll3), Bodies{});  // nothing moved yet
    screen.manager.setMonitorDevice(&form);
    // Triggers go out at rest (0) although nothing has touched them.
    EXPECT_EQ(w.joystickStates([&] { source.setAxis(0, 0, 0.5f); poll3(); }), Bodies{kStickRight});
    EXPECT_EQ(w.joystickStates(poll3), Bodies{});  // held still
    EXPECT_EQ(w.joystickStates([&] { source.setButton(0, 0, true); poll3(); }), Bodies{kStickRightButton0});
    // A control without a handler changes the reading but not the state.
    EXPECT_EQ(w.joystickStates([&] { source.setAxis(0, 7, 1.0f); poll3(); }), Bodies{});
    EXPECT_EQ(w.joystickStates([&] { source.setButton(0, 0, false); source.setAxis(0, 0, 0.0f); poll3(); }),
              Bodies{kNeutral});
    EXPECT_TRUE(form.takeChanged());
    EXPECT_EQ(form.shownState(), GamepadState::neutral());

    source.unplug(0);
    EXPECT_FALSE(screen.manager.scanDevices());
    EXPECT_TRUE(screen.devices.empty());
    EXPECT_EQ(w.session.joystickListenerCount(), 0u);
    EXPECT_EQ(w.joystickStates(poll3), Bodies{});
}

// One recognised gamepad, id 0, behind the GLFW calls: its state is what GLFW's gamepad
// API would report (sticks -1 up and left, triggers -1 at rest).
struct ScriptedGlfwPad {
    static GLFWgamepadstate& state() {
        static GLFWgamepadstate s{};
        return s;
    }
    static GlfwJoystickSource::Calls calls() {
        return {[](int id) { return id == 0 ? GLFW_TRUE : GLFW_FALSE; },
                [](int id) { return id == 0 ? "Scripted Pad" : nullptr; },
                [](int id) { return id == 0 ? GLFW_TRUE : GLFW_FALSE; },
                [](int id, GLFWgamepadstate* out) {
                    if (id != 0) return GLFW_FALSE;
                    *out = state();
                    return GLFW_TRUE;
                },
                [](int, int* count) -> const float* { return *count = 0, nullptr; },
                [](int, int* count) -> const unsigned char* { return *count = 0, nullptr; }};
    }
};

TEST(GlfwJoystickSource, StickDirectionsReachTheStreamerAsTheDefaultMappingMeansThem) {
    ScriptedGlfwPad::state() = GLFWgamepadstate{};
    ScriptedGlfwPad::state().axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = -1.0f;
    ScriptedGlfwPad::state().axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = -1.0f;
    GlfwJoystickSource source(ScriptedGlfwPad::calls());
    Wire w;
    StreamScreen screen(w.session, source);
    ASSERT_TRUE(screen.manager.scanDevices());

    // Sticks as GLFW reports them, and the axis bytes the streamer must get: left X, left Y,
    // right X, right Y (targets 0, 1, 3, 4). Up is 0, down 255, centre 128, right 255.
    struct Case {
        const char* what;
        float leftX, leftY, rightX, rightY;
        int bytes[4];
    };
    const Case cases[] = {
        {"left stick up", 0, -1, 0, 0, {128, 0, 128, 128}},
        {"left stick down", 0, 1, 0, 0, {128, 255, 128, 128}},
        {"left stick half up", 0, -0.5f, 0, 0, {128, 64, 128, 128}},
        {"right stick up", 0, 0, 0, -1, {128, 128, 128, 0}},
        {"right stick down", 0, 0, 0, 1, {128, 128, 128, 255}},
        {"both sticks right", 1, 0, 1, 0, {255, 128, 255, 128}},
        {"left stick left, right stick up", -1, 0, 0, -1, {0, 128, 128, 0}},
    };
    for (const Case& c : cases) {
        GLFWgamepadstate& pad = ScriptedGlfwPad::state();
        pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = c.leftX;
        pad.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = c.leftY;
        pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_X] = c.rightX;
        pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = c.rightY;
        const auto frames = w.joystickFrames([&] { screen.manager.poll(); });
        ASSERT_EQ(frames.size(), 1u) << c.what;
        const auto& state = frames[0].request.joystickstatev2();
        const auto byteOf = [&](int target) { return static_cast<int>((state.axises1() >> (8 * target)) & 0xFF); };
        EXPECT_EQ(byteOf(0), c.bytes[0]) << c.what;
        EXPECT_EQ(byteOf(1), c.bytes[1]) << c.what;
        EXPECT_EQ(byteOf(3), c.bytes[2]) << c.what;
        EXPECT_EQ(byteOf(4), c.bytes[3]) << c.what;
        EXPECT_EQ(state.axises2() & 0xFFFF0000u, 0u) << c.what << ": the triggers (10, 11) stay at rest";
    }
}

TEST(InterfaceJoystickInputDevice, ResetSendsRestOnceAndRefusedStatesAreOfferedAgain) {
    Wire w;
    InterfaceJoystickInputDevice device(0, 1);
    EXPECT_STREQ(device.getName(), "InterfaceJoystickInputDevice");

    // Without a session every state is refused and stays new.
    GamepadState moved = GamepadState::neutral();
    moved.axes[0] = 192;
    EXPECT_EQ(w.joystickStates([&] { EXPECT_FALSE(device.setState(moved)); }), Bodies{});
    EXPECT_FALSE(device.attached());
    device.setNotifier(&w.session);
    EXPECT_TRUE(device.attached());
    EXPECT_EQ(w.joystickStates([&] {
                  EXPECT_TRUE(device.setState(moved));
                  EXPECT_FALSE(device.setState(moved));
              }),
              Bodies{kStickRight});

    EXPECT_EQ(w.joystickStates([&] { EXPECT_TRUE(device.reset(false)); }), Bodies{kNeutral});
    EXPECT_EQ(w.joystickStates([&] { EXPECT_FALSE(device.reset(false)); }), Bodies{});
    EXPECT_EQ(w.joystickStates([&] { EXPECT_TRUE(device.reset(true)); }), (Bodies{kAllPressed, kNeutral}));
    EXPECT_EQ(device.acceptedState(), GamepadState::neutral());

    // Feedback is heard for the device's own joystick id (as a byte) while attached.
    std::uint32_t motors = 9;
    EXPECT_TRUE(device.getFeedback(motors));
    EXPECT_EQ(motors, 0u);
    device.onFeedback(2, 77);
    device.onFeedback(1, 0x1234);
    device.getFeedback(motors);
    EXPECT_EQ(motors, 0x1234u);
    EXPECT_EQ(w.session.joystickListenerCount(), 1u);
    device.setNotifier(nullptr);
    device.getFeedback(motors);
    EXPECT_EQ(motors, 0u);
    EXPECT_EQ(w.session.joystickListenerCount(), 0u);

    InterfaceJoystickInputDevice wide(0, 257);  // goes out as joystick 1
    wide.onFeedback(1, 5);
    wide.getFeedback(motors);
    EXPECT_EQ(motors, 5u);
    {
        InterfaceJoystickInputDevice shortLived(0, 1);
        shortLived.setNotifier(&w.session);
        EXPECT_EQ(w.session.joystickListenerCount(), 1u);
    }
    EXPECT_EQ(w.session.joystickListenerCount(), 0u);  // deleting detaches
}

TEST(UIJoystickDevice, ShowsStatesAndResetsToCentredSticks) {
    UIJoystickDevice form;
    EXPECT_STREQ(form.getName(), "UIJoystickDevice");
    std::uint32_t motors = 0;
    EXPECT_FALSE(form.getFeedback(motors));
    EXPECT_FALSE(form.takeChanged());
    GamepadState s = GamepadState::neutral();
    s.buttons = 6;
    EXPECT_TRUE(form.setState(s));
    EXPECT_FALSE(form.setState(s));
    EXPECT_TRUE(form.takeChanged());
    EXPECT_FALSE(form.takeChanged());
    EXPECT_EQ(form.shownState(), s);
    EXPECT_TRUE(form.reset(false));
    GamepadState centred;
    centred.axes.fill(128);
    EXPECT_EQ(form.shownState(), centred);  // the triggers too: a reset shows every axis centred
}

}  // namespace
