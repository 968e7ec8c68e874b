// The keyboard table: every GLFW key the machine knows becomes the virtual key and scan
// code of a PC keyboard, extended keys carry the extended marker, the keypad follows
// NumLock, and keys without a row stay untranslated.

#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include "player/stream/KeyTable.h"

namespace {

struct KeyCase {
    int key;
    bool numLock;
    std::uint32_t virtualKey;
    std::uint32_t scanByte;
    bool extended;
};

}  // namespace

TEST(KeyTable, TranslatesKeysToVirtualKeysScanCodesAndTheExtendedFlag) {
    const KeyCase cases[] = {
        {GLFW_KEY_A, false, 65, 0x1E, false},
        {GLFW_KEY_Z, false, 90, 0x2C, false},
        {GLFW_KEY_0, false, 48, 0x0B, false},
        {GLFW_KEY_1, false, 49, 0x02, false},
        {GLFW_KEY_SPACE, false, 32, 0x39, false},
        {GLFW_KEY_APOSTROPHE, false, 222, 0x28, false},
        {GLFW_KEY_WORLD_2, false, 226, 0x56, false},
        {GLFW_KEY_ESCAPE, false, 27, 0x01, false},
        {GLFW_KEY_ENTER, false, 13, 0x1C, false},
        {GLFW_KEY_KP_ENTER, false, 13, 0x1C, true},
        {GLFW_KEY_INSERT, false, 45, 0x52, true},
        {GLFW_KEY_UP, false, 38, 0x48, true},
        {GLFW_KEY_NUM_LOCK, false, 144, 0x45, true},
        {GLFW_KEY_F10, false, 121, 0x44, false},
        {GLFW_KEY_F11, false, 122, 0x57, false},
        {GLFW_KEY_F24, false, 135, 0x76, false},
        {GLFW_KEY_LEFT_CONTROL, false, 17, 0x1D, false},
        {GLFW_KEY_RIGHT_CONTROL, false, 17, 0x1D, true},
        {GLFW_KEY_RIGHT_ALT, false, 18, 0x38, true},
        {GLFW_KEY_RIGHT_SHIFT, false, 16, 0x36, false},
        {GLFW_KEY_MENU, false, 93, 0x5D, true},
        {GLFW_KEY_KP_DIVIDE, true, 111, 0x35, true},
        // The keypad's digits follow NumLock; the scan code stays.
        {GLFW_KEY_KP_7, true, 103, 0x47, false},
        {GLFW_KEY_KP_7, false, 36, 0x47, false},
        {GLFW_KEY_KP_0, true, 96, 0x52, false},
        {GLFW_KEY_KP_0, false, 45, 0x52, false},
        {GLFW_KEY_KP_DECIMAL, true, 110, 0x53, false},
        {GLFW_KEY_KP_DECIMAL, false, 46, 0x53, false},
        // Keys without a NumLock column ignore it.
        {GLFW_KEY_KP_ADD, true, 107, 0x4E, false},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE("GLFW key " + std::to_string(c.key) + (c.numLock ? " with NumLock" : ""));
        KeyTranslation t;
        ASSERT_TRUE(glfwKeyToWin32Key(c.key, c.numLock, t));
        EXPECT_EQ(t.virtualKey, c.virtualKey);
        EXPECT_EQ(t.scanByte(), c.scanByte);
        EXPECT_EQ(t.extended(), c.extended);
    }
    EXPECT_EQ(keyTableRows(), 106);
}

TEST(KeyTable, KeysWithoutARowAndOutOfRangeCodesAreNotTranslated) {
    for (int key : {GLFW_KEY_PRINT_SCREEN, GLFW_KEY_PAUSE, GLFW_KEY_F14, GLFW_KEY_F22, GLFW_KEY_F25,
                    GLFW_KEY_KP_EQUAL, GLFW_KEY_WORLD_1, GLFW_KEY_UNKNOWN, GLFW_KEY_LAST + 1, 100000}) {
        KeyTranslation t;
        t.virtualKey = 7;
        t.scanCode = 9;
        EXPECT_FALSE(glfwKeyToWin32Key(key, true, t)) << key;
        EXPECT_EQ(t.virtualKey, 7u);
        EXPECT_EQ(t.scanCode, 9u);
    }
}
