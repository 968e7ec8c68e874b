#pragma once
// The task types the GUI runs (TaskBase, ThreadPool::execute) come from the application core.
// Until the core's task header is part of the build, an equivalent minimal form is used.

#if __has_include("core/TaskBase.h") && __has_include("core/ThreadPool.h")
#include "core/TaskBase.h"
#include "core/ThreadPool.h"
#else
#include <atomic>
#include <memory>
#include <vector>

class PlayerGUITask;

class TaskBase : public std::enable_shared_from_this<TaskBase> {
public:
    explicit TaskBase(bool repeat) : repeat_(repeat) {}
    virtual ~TaskBase() = default;
    TaskBase(const TaskBase&) = delete;
    TaskBase& operator=(const TaskBase&) = delete;

    virtual PlayerGUITask* asPlayerGUITask() { return nullptr; }
    virtual void cancel() {
        repeat_ = false;
        cancelled_ = true;
    }
    virtual bool run() = 0;

    void addOnSuccess(std::shared_ptr<TaskBase> task) {
        if (task)
            onSuccess_.push_back(std::move(task));
    }
    void addOnFailure(std::shared_ptr<TaskBase> task) {
        if (task)
            onFailure_.push_back(std::move(task));
    }
    bool repeat() const { return repeat_; }
    bool cancelled() const { return cancelled_; }
    const std::vector<std::shared_ptr<TaskBase>>& successFollowUps() const { return onSuccess_; }
    const std::vector<std::shared_ptr<TaskBase>>& failureFollowUps() const { return onFailure_; }

private:
    std::vector<std::shared_ptr<TaskBase>> onSuccess_;
    std::vector<std::shared_ptr<TaskBase>> onFailure_;
    std::atomic<bool> repeat_;
    std::atomic<bool> cancelled_{false};
};

using TaskPtr = std::shared_ptr<TaskBase>;

class ThreadPool {
public:
    // Runs the task now on this thread, then its success or failure follow-ups.
    static bool execute(TaskBase* task) {
        if (!task)
            return false;
        const bool ok = task->run();
        const auto& next = ok ? task->successFollowUps() : task->failureFollowUps();
        for (const auto& followUp : next)
            execute(followUp.get());
        return ok;
    }
};
#endif
