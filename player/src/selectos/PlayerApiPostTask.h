#pragma once
// A hop onto the web facade's worker: running it queues the held task there and succeeds at
// once. Several of them as follow-ups of one chain head queue their tasks in order, so the
// tasks then run one after another on the facade's single worker.

#include "core/TaskBase.h"
#include "webapi/PlayerApi.h"

class PlayerApiPostTask : public TaskBase {
public:
    PlayerApiPostTask(PlayerApi* api, TaskPtr task) : TaskBase(false), api_(api), task_(std::move(task)) {}

    bool run() override {
        api_->post(task_);
        return true;
    }

    const TaskPtr& task() const { return task_; }

private:
    PlayerApi* api_;
    TaskPtr task_;
};
