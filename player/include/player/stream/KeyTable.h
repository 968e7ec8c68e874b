#pragma once
// The keyboard as the machine sees it: each GLFW key that the streamer knows becomes a
// Windows virtual key and a PC scan code (set 1). Scan codes above 0xFF carry the extended
// marker 0x100, which travels as the key request's extended flag.
//
// The lookup is one array index per key event; keys without a row (Print Screen, Pause,
// F14 to F22, F25, keypad "=", World 1) have no translation and are not sent.

#include <cstdint>

struct KeyTranslation {
    std::uint32_t virtualKey = 0;
    std::uint32_t scanCode = 0;  // with the extended marker 0x100
    // The request's arguments: the scan code's low byte and the extended flag.
    std::uint32_t scanByte() const { return scanCode & 0xFF; }
    bool extended() const { return (scanCode & 0x100) != 0; }
};

// The translation of glfwKey; numLock picks the keypad's digit column. False (and out
// unchanged) for a key without a row.
bool glfwKeyToWin32Key(int glfwKey, bool numLock, KeyTranslation& out);

// The number of rows of the table (106).
int keyTableRows();
