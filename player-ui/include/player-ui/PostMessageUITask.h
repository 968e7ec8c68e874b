#pragma once
// A task that posts one command to the player window: how a task chain, a dialog button or
// a tour page raises a window command from any thread. Its run posts and succeeds at once;
// the command runs later on the main thread.

#include "core/TaskBase.h"

class IPlayerWindow;

class PostMessageUITask : public TaskBase {
public:
    PostMessageUITask(IPlayerWindow* window, int commandId) : TaskBase(false), window_(window), commandId_(commandId) {}

    bool run() override;

    int commandId() const { return commandId_; }

private:
    IPlayerWindow* window_;
    int commandId_;
};
