#pragma once
// The head of a task chain: its run does nothing and succeeds, so the tasks added with
// addOnSuccess run in order after it when the head is executed or posted.

#include "core/TaskBase.h"

class SuccessTask : public TaskBase {
public:
    SuccessTask() : TaskBase(false) {}
    bool run() override { return true; }
};
