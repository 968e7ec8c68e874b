#pragma once
// What every clickable widget shares: the pressed and hover looks, keyboard activation with
// Space or Enter, optional dragging with a snap zone, and the task a click runs.

#include "gui/Widget.h"

#include <memory>

class TaskBase;

class ButtonCommon : public Widget {
public:
    static constexpr int kDragThreshold = 10;

    explicit ButtonCommon(PlayerGUI* gui);
    ~ButtonCommon() override;

    void onFocus() override { needsRedraw = 1; }
    void onBlur() override;
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void onMouseEnter() override;
    void onMouseLeave() override;
    bool onKeyDown(int key, int scancode, int mods) override;
    bool onKeyUp(int key, int scancode, int mods) override;
    // Runs the command task. The task may destroy this button.
    virtual void onClick();

    // A click sends the command id to the window.
    void setCommand(int id);
    // Any task may be the click task; a PlayerGUITask learns the GUI that runs it. Null: a
    // click runs nothing.
    void setCommandTask(std::shared_ptr<TaskBase> task) { commandTask_ = std::move(task); }
    const std::shared_ptr<TaskBase>& commandTask() const { return commandTask_; }

    void setDown(bool down);
    void setHighlighted(bool highlighted);
    bool isDown() const { return down != 0; }
    bool isHighlighted() const { return highlighted != 0; }
    // The clicked latch (set by a pointer click), cleared by reading it.
    bool takeClicked();

    // Position, drag origin and last pointer position together.
    void setX(int value);
    void setY(int value);

    int snapX = 0;
    int snapY = 0;
    int lastPointerX = 0;
    int lastPointerY = 0;
    int dragY = -1;
    int dragX = -1;
    unsigned char clicked = 0;
    unsigned char draggable = 0;
    unsigned char snapEnabled = 0;
    unsigned char down = 0;
    unsigned char highlighted = 0;
    int snapZoneX = -1;
    int snapZoneY = -1;
    int snapZoneWidth = -1;
    int snapZoneHeight = -1;

protected:
    // Space or Enter while this enabled button has the focus.
    bool isActivationKey(int key) const;

private:
    void dragTo(int x, int y);

    std::shared_ptr<TaskBase> commandTask_;
};
