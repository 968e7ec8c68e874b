#pragma once
// Bringing another program's window to the front, found by its title on the X display
// named by $DISPLAY.

#include <string>

namespace platform {

// Shows the first top-level window whose title is exactly title, raises it and asks the
// window manager to activate it. False when there is no display or no such window; nothing
// else happens then.
bool showWindowByTitle(const std::string& title);

}  // namespace platform
