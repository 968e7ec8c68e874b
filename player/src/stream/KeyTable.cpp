#include "player/stream/KeyTable.h"

#include <GLFW/glfw3.h>

#include <array>

namespace {

struct KeyRow {
    std::uint16_t scanCode;  // set 1; 0x100 marks an extended key
    int glfwKey;
    std::uint8_t virtualKey;
    std::uint8_t numLockKey;  // the virtual key while NumLock is on; 0 = the same
};

// clang-format off
constexpr KeyRow kRows[] = {
    {0x1E, GLFW_KEY_A, 65, 0}, {0x30, GLFW_KEY_B, 66, 0}, {0x2E, GLFW_KEY_C, 67, 0}, {0x20, GLFW_KEY_D, 68, 0},
    {0x12, GLFW_KEY_E, 69, 0}, {0x21, GLFW_KEY_F, 70, 0}, {0x22, GLFW_KEY_G, 71, 0}, {0x23, GLFW_KEY_H, 72, 0},
    {0x17, GLFW_KEY_I, 73, 0}, {0x24, GLFW_KEY_J, 74, 0}, {0x25, GLFW_KEY_K, 75, 0}, {0x26, GLFW_KEY_L, 76, 0},
    {0x32, GLFW_KEY_M, 77, 0}, {0x31, GLFW_KEY_N, 78, 0}, {0x18, GLFW_KEY_O, 79, 0}, {0x19, GLFW_KEY_P, 80, 0},
    {0x10, GLFW_KEY_Q, 81, 0}, {0x13, GLFW_KEY_R, 82, 0}, {0x1F, GLFW_KEY_S, 83, 0}, {0x14, GLFW_KEY_T, 84, 0},
    {0x16, GLFW_KEY_U, 85, 0}, {0x2F, GLFW_KEY_V, 86, 0}, {0x11, GLFW_KEY_W, 87, 0}, {0x2D, GLFW_KEY_X, 88, 0},
    {0x15, GLFW_KEY_Y, 89, 0}, {0x2C, GLFW_KEY_Z, 90, 0},
    {0x02, GLFW_KEY_1, 49, 0}, {0x03, GLFW_KEY_2, 50, 0}, {0x04, GLFW_KEY_3, 51, 0}, {0x05, GLFW_KEY_4, 52, 0},
    {0x06, GLFW_KEY_5, 53, 0}, {0x07, GLFW_KEY_6, 54, 0}, {0x08, GLFW_KEY_7, 55, 0}, {0x09, GLFW_KEY_8, 56, 0},
    {0x0A, GLFW_KEY_9, 57, 0}, {0x0B, GLFW_KEY_0, 48, 0},
    {0x39, GLFW_KEY_SPACE, 32, 0}, {0x28, GLFW_KEY_APOSTROPHE, 222, 0}, {0x33, GLFW_KEY_COMMA, 188, 0},
    {0x0C, GLFW_KEY_MINUS, 189, 0}, {0x34, GLFW_KEY_PERIOD, 190, 0}, {0x35, GLFW_KEY_SLASH, 191, 0},
    {0x27, GLFW_KEY_SEMICOLON, 186, 0}, {0x0D, GLFW_KEY_EQUAL, 187, 0}, {0x1A, GLFW_KEY_LEFT_BRACKET, 219, 0},
    {0x2B, GLFW_KEY_BACKSLASH, 220, 0}, {0x1B, GLFW_KEY_RIGHT_BRACKET, 221, 0}, {0x29, GLFW_KEY_GRAVE_ACCENT, 192, 0},
    {0x56, GLFW_KEY_WORLD_2, 226, 0},
    {0x01, GLFW_KEY_ESCAPE, 27, 0}, {0x1C, GLFW_KEY_ENTER, 13, 0}, {0x0F, GLFW_KEY_TAB, 9, 0},
    {0x0E, GLFW_KEY_BACKSPACE, 8, 0}, {0x152, GLFW_KEY_INSERT, 45, 0}, {0x153, GLFW_KEY_DELETE, 46, 0},
    {0x14D, GLFW_KEY_RIGHT, 39, 0}, {0x14B, GLFW_KEY_LEFT, 37, 0}, {0x150, GLFW_KEY_DOWN, 40, 0},
    {0x148, GLFW_KEY_UP, 38, 0}, {0x149, GLFW_KEY_PAGE_UP, 33, 0}, {0x151, GLFW_KEY_PAGE_DOWN, 34, 0},
    {0x147, GLFW_KEY_HOME, 36, 0}, {0x14F, GLFW_KEY_END, 35, 0},
    {0x3A, GLFW_KEY_CAPS_LOCK, 20, 0}, {0x46, GLFW_KEY_SCROLL_LOCK, 145, 0}, {0x145, GLFW_KEY_NUM_LOCK, 144, 0},
    {0x3B, GLFW_KEY_F1, 112, 0}, {0x3C, GLFW_KEY_F2, 113, 0}, {0x3D, GLFW_KEY_F3, 114, 0}, {0x3E, GLFW_KEY_F4, 115, 0},
    {0x3F, GLFW_KEY_F5, 116, 0}, {0x40, GLFW_KEY_F6, 117, 0}, {0x41, GLFW_KEY_F7, 118, 0}, {0x42, GLFW_KEY_F8, 119, 0},
    {0x43, GLFW_KEY_F9, 120, 0}, {0x44, GLFW_KEY_F10, 121, 0}, {0x57, GLFW_KEY_F11, 122, 0}, {0x58, GLFW_KEY_F12, 123, 0},
    {0x64, GLFW_KEY_F13, 124, 0}, {0x6E, GLFW_KEY_F23, 134, 0}, {0x76, GLFW_KEY_F24, 135, 0},
    {0x52, GLFW_KEY_KP_0, 45, 96}, {0x4F, GLFW_KEY_KP_1, 35, 97}, {0x50, GLFW_KEY_KP_2, 40, 98},
    {0x51, GLFW_KEY_KP_3, 34, 99}, {0x4B, GLFW_KEY_KP_4, 37, 100}, {0x4C, GLFW_KEY_KP_5, 12, 101},
    {0x4D, GLFW_KEY_KP_6, 39, 102}, {0x47, GLFW_KEY_KP_7, 36, 103}, {0x48, GLFW_KEY_KP_8, 38, 104},
    {0x49, GLFW_KEY_KP_9, 33, 105}, {0x53, GLFW_KEY_KP_DECIMAL, 46, 110},
    {0x135, GLFW_KEY_KP_DIVIDE, 111, 0}, {0x37, GLFW_KEY_KP_MULTIPLY, 106, 0}, {0x4A, GLFW_KEY_KP_SUBTRACT, 109, 0},
    {0x4E, GLFW_KEY_KP_ADD, 107, 0}, {0x11C, GLFW_KEY_KP_ENTER, 13, 0},
    {0x2A, GLFW_KEY_LEFT_SHIFT, 16, 0}, {0x36, GLFW_KEY_RIGHT_SHIFT, 16, 0},
    {0x1D, GLFW_KEY_LEFT_CONTROL, 17, 0}, {0x11D, GLFW_KEY_RIGHT_CONTROL, 17, 0},
    {0x38, GLFW_KEY_LEFT_ALT, 18, 0}, {0x138, GLFW_KEY_RIGHT_ALT, 18, 0},
    {0x15B, GLFW_KEY_LEFT_SUPER, 91, 0}, {0x15C, GLFW_KEY_RIGHT_SUPER, 92, 0}, {0x15D, GLFW_KEY_MENU, 93, 0},
};
// clang-format on

// One slot per GLFW key; a null row pointer means the key has no translation.
struct KeyIndex {
    std::array<const KeyRow*, GLFW_KEY_LAST + 1> rows{};
    KeyIndex() {
        for (const KeyRow& row : kRows) rows[std::size_t(row.glfwKey)] = &row;
    }
};

const KeyIndex& keyIndex() {
    static const KeyIndex index;
    return index;
}

}  // namespace

bool glfwKeyToWin32Key(int glfwKey, bool numLock, KeyTranslation& out) {
    if (glfwKey < 0 || glfwKey > GLFW_KEY_LAST) return false;
    const KeyRow* row = keyIndex().rows[std::size_t(glfwKey)];
    if (!row) return false;
    out.virtualKey = (numLock && row->numLockKey != 0) ? row->numLockKey : row->virtualKey;
    out.scanCode = row->scanCode;
    return true;
}

int keyTableRows() { return int(sizeof(kRows) / sizeof(kRows[0])); }
