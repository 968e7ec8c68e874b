// Arbitrary text as the text form of every mapping handler: read, applied to a state at
// several axis values, written, read again. Texts the handler writes must read back to the
// same text, and a handler may only ever write inside the state's 16 axes and 64 buttons.

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "stream/gamepad/JoystickAxisTo2AxisEventHandler.h"
#include "stream/gamepad/JoystickAxisTo2ButtonsEventHandler.h"
#include "stream/gamepad/JoystickAxisToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToAxisEventHandler.h"
#include "stream/gamepad/JoystickButtonToButtonEventHandler.h"

namespace {

void axisHandler(const std::shared_ptr<IJoystickAxisEventHandler>& h, const std::string& text) {
    h->deserialize(text);
    // On the heap, exactly its size: a write past it is caught.
    auto state = std::make_unique<GamepadState>(GamepadState::neutral());
    const float values[] = {-1.0f, -0.76f, 0.0f, 0.25f, 1.0f, 2.0f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    for (float v : values) h->handle(*state, v);
    const std::string written = h->serialize();
    h->deserialize(written);
    if (h->serialize() != written) std::abort();
}

void buttonHandler(const std::shared_ptr<IJoystickButtonEventHandler>& h, const std::string& text) {
    h->deserialize(text);
    auto state = std::make_unique<GamepadState>(GamepadState::neutral());
    h->handle(*state, true);
    h->handle(*state, false);
    const std::string written = h->serialize();
    h->deserialize(written);
    if (h->serialize() != written) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Each kind reads the text as it stands and with its own prefix in front, so that the
    // fields behind a prefix are explored for every kind.
    const std::string prefixes[] = {"", "B2B:", "B2A:", "A2A:", "A2T:", "A22B:"};
    for (const std::string& prefix : prefixes) {
        const std::string t = prefix + text;
        buttonHandler(std::make_shared<JoystickButtonToButtonEventHandler>(0), t);
        buttonHandler(std::make_shared<JoystickButtonToAxisEventHandler>(), t);
        axisHandler(std::make_shared<JoystickAxisToAxisEventHandler>(), t);
        axisHandler(std::make_shared<JoystickAxisTo2AxisEventHandler>(), t);
        axisHandler(std::make_shared<JoystickAxisTo2ButtonsEventHandler>(), t);
    }
    return 0;
}
