#pragma once
// A fixed set of worker threads that run tasks: queued, periodically or after a delay.
//
// A posted task and all its follow-ups run on one worker. With one worker, tasks run one
// at a time in posting order. Destroying the pool stops it: queued tasks and pending
// timers are dropped (which releases their tasks) and the workers are joined.

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <thread>
#include <vector>

#include "core/TaskBase.h"

class ThreadPool {
public:
    explicit ThreadPool(unsigned workers);
    ~ThreadPool();

    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Runs the task and its follow-ups on the calling thread. A cancelled task does not
    // run (nor its follow-ups) and gives false; otherwise the task's result.
    static bool execute(TaskBase* task);

    // Queues one execution of the task; returns at once.
    void post(std::shared_ptr<TaskBase> task);

    // Runs the task every period (milliseconds), the first time one period from now, for
    // as long as its repeat flag stays set. The next run is counted from the end of the
    // previous one, so runs never overlap.
    void addPeriodic(std::shared_ptr<TaskBase> task, int periodMs);

    // Clears the task's repeat flag and runs it once, delayMs from now.
    void addDelayed(std::shared_ptr<TaskBase> task, int delayMs);

    // A task that, when run on any thread, posts the given task into this pool.
    std::shared_ptr<TaskBase> wrap(std::shared_ptr<TaskBase> task);

    unsigned workerCount() const { return static_cast<unsigned>(workers_.size()); }

    // The timer-driven repeat of a periodic or delayed task.
    class Pereodic : public TaskBase {
    public:
        Pereodic(boost::asio::io_context& io, std::shared_ptr<TaskBase> task, int periodMs);
        bool run() override;
        void schedule();

    private:
        boost::asio::steady_timer timer_;
        std::shared_ptr<TaskBase> task_;
        int periodMs_;
    };

private:
    boost::asio::io_context io_;
    std::unique_ptr<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
    std::vector<std::thread> workers_;
};

// A join point: succeeds on its n-th run (and every run after that). The decrement and
// the test are one atomic step, so runs from several workers at once see zero exactly once.
class CountedConditionTask : public TaskBase {
public:
    explicit CountedConditionTask(int n) : TaskBase(false), count_(n) {}
    bool run() override;
    int remaining() const { return count_; }

private:
    std::atomic<int> count_;
};

// A hop into a pool: running it posts the held task into the held pool and succeeds.
class ThisPoolTask : public TaskBase {
public:
    ThisPoolTask(ThreadPool* pool, std::shared_ptr<TaskBase> task)
        : TaskBase(false), pool_(pool), task_(std::move(task)) {}
    bool run() override;

private:
    ThreadPool* pool_;
    std::shared_ptr<TaskBase> task_;
};
