// The GLFW joystick source inside a real GLFW session (under Xvfb there are no joysticks;
// on a machine with one plugged in, the source must still agree with itself).
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include "stream/gamepad/GlfwJoystickSource.h"
#include "stream/gamepad/JoystickManager.h"

namespace {

class CountingListener : public IJoystickManagerEventListener {
public:
    void onDeviceAdded(int) override { ++added; }
    void onDeviceRemoved(int) override { ++removed; }
    int added = 0, removed = 0;
};

TEST(GlfwJoystickSource, ScanAndPollAgreeWithWhatGlfwReports) {
    ASSERT_EQ(glfwInit(), GLFW_TRUE);
    GlfwJoystickSource& source = GlfwJoystickSource::instance();
    int present = 0;
    for (int id = 0; id < JoystickManager::kMaxJoysticks; ++id) {
        JoystickReading reading;
        reading.axes.assign(3, 0.5f);  // stale content must not survive a read
        source.read(id, reading);
        if (source.present(id)) {
            ++present;
            if (glfwJoystickIsGamepad(id)) {
                EXPECT_EQ(reading.buttons.size(), std::size_t(GlfwJoystickSource::kGamepadButtons));
                EXPECT_EQ(reading.axes.size(), std::size_t(GlfwJoystickSource::kGamepadAxes));
            }
        } else {
            EXPECT_TRUE(reading.empty());
            EXPECT_EQ(source.name(id), "");
        }
    }

    CountingListener listener;
    {
        JoystickManager manager(&listener);  // the GLFW source by default
        manager.setFilePath(::testing::TempDir() + "glfw-smoke-joysticks.ini");
        EXPECT_EQ(manager.scanDevices(), present > 0);
        for (int i = 0; i < 5; ++i) manager.poll();
        EXPECT_EQ(manager.scanDevices(), present > 0);
    }
    EXPECT_EQ(listener.added, present);
    EXPECT_EQ(listener.removed, 0);
    glfwTerminate();
}

}  // namespace
