#pragma once
// The process-wide UI scale and font DPI class. Start-up sets both once, before any window
// exists; every window reads them when it makes its graphics context. Widgets work in
// logical units: window pixels divided by the UI scale.

#include <functional>

class ConfigStore;

float getUiScale();
void setUiScale(float scale);
int getUiDpi();
void setUiDpi(int dpi);

// The scale from the float setting "General.Scale" (default "1.0"): above 1.5 gives 1.5;
// above 0 is taken as it is; otherwise the desktop's DPI decides: none or 0 gives 1.0, up
// to 116 gives 1.0, up to 138 gives 1.25, above gives 1.5. desktopDpi returns 0 when the
// desktop has no DPI setting.
float computeUiScale(const ConfigStore& config, const std::function<int()>& desktopDpi);
// The same with the process's settings and the desktop's Xft.dpi.
float computeUiScale();

// The font DPI class of a scale: 96 up to 1.0, 116 up to 1.1 (compared in double, so a
// stored 1.1f falls above), 138 up to 1.25, else 168.
int dpiForUiScale(float scale);

// Spins on the monotonic clock for about ms milliseconds (between ms - 1 and ms).
void busyWaitMs(unsigned ms);
