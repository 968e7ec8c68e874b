#pragma once
// A unit of work with follow-ups.
//
// run() returns true for success and false for failure; running a task (ThreadPool::execute)
// then runs its success or failure follow-ups right after it, on the same thread,
// recursively. Tasks are always held by std::shared_ptr (make them with make_shared).

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

    // The GUI task view of this task; null for tasks that do not drive a GUI.
    virtual PlayerGUITask* asPlayerGUITask() { return nullptr; }
    // Stops any further run: clears repeat and sets cancelled. Any thread may call it; a
    // run already under way completes.
    virtual void cancel() {
        repeat_ = false;
        cancelled_ = true;
    }
    virtual bool run() = 0;

    // Follow-ups are added before the task is started (the lists are not locked); a null
    // task is ignored. addOnBoth appends to the success list first, then the failure list.
    void addOnSuccess(std::shared_ptr<TaskBase> task) {
        if (task) onSuccess_.push_back(std::move(task));
    }
    void addOnFailure(std::shared_ptr<TaskBase> task) {
        if (task) onFailure_.push_back(std::move(task));
    }
    void addOnBoth(const std::shared_ptr<TaskBase>& task) {
        addOnSuccess(task);
        addOnFailure(task);
    }

    bool repeat() const { return repeat_; }
    void setRepeat(bool repeat) { repeat_ = repeat; }
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

// The head of a chain: its run does nothing and succeeds, so the tasks of its success list
// run in order after it.
class SuccessTask : public TaskBase {
public:
    SuccessTask() : TaskBase(false) {}
    bool run() override { return true; }
};
