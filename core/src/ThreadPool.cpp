#include "core/ThreadPool.h"
#include "platform/Thread.h"

#include <boost/asio/post.hpp>
#include <boost/system/system_error.hpp>
#include <chrono>

ThreadPool::ThreadPool(unsigned workers)
    : work_(std::make_unique<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>>(
          io_.get_executor())) {
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) workers_.push_back(platform::startThread([this] { io_.run(); }));
}

ThreadPool::~ThreadPool() {
    io_.stop();
    for (auto& worker : workers_) worker.join();
    work_.reset();
    workers_.clear();
    // io_ goes last: its destructor drops the queued handlers and pending timer waits,
    // which releases their tasks.
}

bool ThreadPool::execute(TaskBase* task) {
    if (!task || task->cancelled()) return false;
    const bool result = task->run();
    // Copied after run, so a run may add follow-ups for this very execution.
    const std::vector<std::shared_ptr<TaskBase>> followUps =
        result ? task->successFollowUps() : task->failureFollowUps();
    for (const auto& next : followUps) execute(next.get());
    return result;
}

void ThreadPool::post(std::shared_ptr<TaskBase> task) {
    if (!task) return;
    boost::asio::post(io_, [task = std::move(task)] { ThreadPool::execute(task.get()); });
}

void ThreadPool::addPeriodic(std::shared_ptr<TaskBase> task, int periodMs) {
    if (!task) return;
    auto periodic = std::make_shared<Pereodic>(io_, std::move(task), periodMs);
    periodic->schedule();
}

void ThreadPool::addDelayed(std::shared_ptr<TaskBase> task, int delayMs) {
    if (!task) return;
    task->setRepeat(false);
    addPeriodic(std::move(task), delayMs);
}

std::shared_ptr<TaskBase> ThreadPool::wrap(std::shared_ptr<TaskBase> task) {
    return std::make_shared<ThisPoolTask>(this, std::move(task));
}

ThreadPool::Pereodic::Pereodic(boost::asio::io_context& io, std::shared_ptr<TaskBase> task, int periodMs)
    : TaskBase(false), timer_(io), task_(std::move(task)), periodMs_(periodMs) {}

void ThreadPool::Pereodic::schedule() {
    timer_.expires_after(std::chrono::milliseconds(periodMs_));
    auto self = std::static_pointer_cast<Pereodic>(shared_from_this());
    timer_.async_wait([self](const boost::system::error_code&) { ThreadPool::execute(self.get()); });
}

bool ThreadPool::Pereodic::run() {
    const bool result = ThreadPool::execute(task_.get());
    if (task_->repeat()) schedule();
    return result;
}

bool CountedConditionTask::run() {
    int current = count_.load();
    while (current > 0) {
        if (count_.compare_exchange_weak(current, current - 1)) return current - 1 == 0;
    }
    return true;
}

bool ThisPoolTask::run() {
    if (pool_) pool_->post(task_);
    return true;
}
