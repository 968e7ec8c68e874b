#pragma once
// What the in-stream screen needs of the idle-timeout dialog of the menu's settings page.
// Threads: as IStreamMenu.

class IDialogTimeout {
public:
    virtual ~IDialogTimeout() = default;

    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // The user picked one of the options since the dialog was built.
    virtual bool hasChosenValue() const = 0;
};
