#pragma once
// Desktop settings the program adapts to.

namespace platform {

// The DPI the user chose for the desktop: the X resource "Xft.dpi" of the display named by
// $DISPLAY, rounded to an integer. 0 when there is no display, no such resource or a value
// that is not a positive number.
int desktopDpi();

// The same read from the text of an X resource database ("Xft.dpi:\t120\n...").
int desktopDpiFromResources(const char* resources);

}  // namespace platform
