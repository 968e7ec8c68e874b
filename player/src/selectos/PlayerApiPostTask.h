#pragma once
// A hop onto the web facade's worker: running it queues the held task there and succeeds at
// once. Several of them as follow-ups of one chain head queue their tasks in order, so the
// tasks then run one after another on the facade's single worker.
//
// A machine operation's hop (a click on restart or delete) queues nothing, and fails, while
// another machine operation is under way: a second click sends no second request.

#include "core/TaskBase.h"
#include "webapi/PlayerApi.h"
#include "webapi/PlayerApiTasks.h"

#include "selectos/SelectOsMachine.h"

class PlayerApiPostTask : public TaskBase {
public:
    PlayerApiPostTask(PlayerApi* api, TaskPtr task) : TaskBase(false), api_(api), task_(std::move(task)) {}

    bool run() override {
        const auto* request = dynamic_cast<const PlayerApiTaskBase*>(task_.get());
        if (request && request->machineOperation() != PlayerApiTaskBase::kNoOperation &&
            selectos::machineOperationUnderWay(api_->clientState))
            return false;
        api_->post(task_);
        return true;
    }

    const TaskPtr& task() const { return task_; }

private:
    PlayerApi* api_;
    TaskPtr task_;
};
