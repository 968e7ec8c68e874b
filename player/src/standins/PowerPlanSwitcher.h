#pragma once
// Stand-in for the power plan switch until the real one lands in player/ under the same
// name: it never finds the power-saving scheme, so the window never warns or switches.
// Delete this file (and point PlayerMainWindow.cpp at the real header) when it lands.

class PowerPlanSwitcher {
public:
    // Whether the computer runs a power-saving scheme that should be left.
    bool needsSwitch() { return false; }
    // Switches to the high-performance scheme; true on success.
    bool switchToHighPerformance() { return false; }
    // Sets the scheme found by the last check again; true on success.
    bool restore() { return false; }
};
