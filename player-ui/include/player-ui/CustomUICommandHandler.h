#pragma once
// A screen that hands out window command ids while the program runs. A widget that needs a
// task of its own (an option of a dialog, a button of a panel) registers the task here,
// gets a fresh id (from the window's counter, kFirstRunTimeCommandId upward, so it never
// collides with a fixed command) and sends that id when clicked; the screen's onCommand
// then runs the task through runRegisteredTask.
//
// Implemented by the in-stream screen and the machine-selection screen. Registering and
// running may happen on different threads; the table has its own lock, which is not held
// while a task runs (a task may register further tasks).

#include <map>
#include <mutex>

#include "core/TaskBase.h"

class CustomUICommandHandler {
public:
    virtual ~CustomUICommandHandler() = default;

    // The next free id: the window's counter, then incremented.
    virtual int allocateCommandId() = 0;
    // A value chosen through one of the registered tasks (the in-stream screen keeps it as
    // its idle-timeout choice; the selection screen ignores it).
    virtual void setValue(int value) = 0;

    // Registers the task under a fresh id and returns the id for the widget to send.
    int registerTask(TaskPtr task);
    // Runs the task registered for id, with its follow-ups, on the calling thread. False
    // when id has no task here (the command is someone else's).
    bool runRegisteredTask(int id);
    // The task registered for id, or null.
    TaskPtr registeredTask(int id) const;

private:
    mutable std::mutex tasksMutex_;
    std::map<int, TaskPtr> tasks_;
};
