#pragma once
// Tasks that carry a click to the window: a PlayerGUITask learns its GUI when the GUI runs it,
// and a GUICommandTask sends its command id through that GUI.

#include "core/TaskBase.h"

class PlayerGUI;

class PlayerGUITask : public TaskBase {
public:
    PlayerGUITask() : TaskBase(false) {}
    PlayerGUITask* asPlayerGUITask() override { return this; }

    void setManager(PlayerGUI* gui) { manager_ = gui; }
    PlayerGUI* manager() const { return manager_; }

protected:
    PlayerGUI* manager_ = nullptr;
};

class GUICommandTask : public PlayerGUITask {
public:
    explicit GUICommandTask(int commandId) : commandId_(commandId) {}
    // Sends the command through the GUI that ran the task; true.
    bool run() override;
    int commandId() const { return commandId_; }

private:
    int commandId_;
};
