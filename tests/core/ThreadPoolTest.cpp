#include "core/ThreadPool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "FnTask.h"

namespace {
using namespace std::chrono_literals;

using testsupport::FnTask;

// Records (name, thread) in order.
struct Journal {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> names;
    std::vector<std::thread::id> threads;

    std::shared_ptr<FnTask> task(const std::string& name, bool result = true, bool repeat = false) {
        return std::make_shared<FnTask>(
            [this, name, result] {
                std::lock_guard<std::mutex> guard(mutex);
                names.push_back(name);
                threads.push_back(std::this_thread::get_id());
                changed.notify_all();
                return result;
            },
            repeat);
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, timeout, [&] { return names.size() >= count; });
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> guard(mutex);
        return names;
    }
};
}  // namespace

TEST(ThreadPool, FollowUpsRunDepthFirstOnTheTasksThread) {
    Journal j;
    auto task = j.task("task");
    auto a = j.task("A");
    auto b = j.task("B");
    auto c = j.task("C");
    auto failed = j.task("never");
    a->addOnSuccess(c);
    task->addOnSuccess(a);
    task->addOnSuccess(nullptr);
    task->addOnSuccess(b);
    task->addOnFailure(failed);

    ThreadPool pool(2);
    pool.post(task);
    ASSERT_TRUE(j.waitFor(4));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(j.snapshot(), (std::vector<std::string>{"task", "A", "C", "B"}));
    for (const auto& id : j.threads) EXPECT_EQ(id, j.threads[0]);
    EXPECT_NE(j.threads[0], std::this_thread::get_id());
}

TEST(ThreadPool, ExecuteRunsSynchronouslyAndPicksTheListByResult) {
    Journal j;
    auto task = j.task("fails", false);
    task->addOnSuccess(j.task("success"));
    task->addOnFailure(j.task("failure1"));
    auto second = j.task("failure2", false);
    second->addOnFailure(j.task("nested"));
    task->addOnFailure(second);
    EXPECT_FALSE(ThreadPool::execute(task.get()));
    EXPECT_EQ(j.names, (std::vector<std::string>{"fails", "failure1", "failure2", "nested"}));
    for (const auto& id : j.threads) EXPECT_EQ(id, std::this_thread::get_id());

    // A run that adds follow-ups to itself gets them for this very execution.
    Journal k;
    auto late = k.task("late");
    std::shared_ptr<FnTask> self;
    self = std::make_shared<FnTask>([&] {
        self->addOnSuccess(late);
        return true;
    });
    EXPECT_TRUE(ThreadPool::execute(self.get()));
    EXPECT_EQ(k.names, std::vector<std::string>{"late"});
    EXPECT_FALSE(ThreadPool::execute(nullptr));
}

TEST(ThreadPool, CancelledTaskRunsNothing) {
    Journal j;
    auto task = j.task("cancelled", true, true);
    task->addOnBoth(j.task("follow-up"));
    task->cancel();
    EXPECT_FALSE(task->repeat());
    EXPECT_FALSE(ThreadPool::execute(task.get()));
    {
        ThreadPool pool(1);
        pool.post(task);
        auto marker = j.task("marker");
        pool.post(marker);
        ASSERT_TRUE(j.waitFor(1));
    }
    EXPECT_EQ(j.snapshot(), std::vector<std::string>{"marker"});
}

TEST(ThreadPool, OneWorkerRunsInPostingOrder) {
    Journal j;
    ThreadPool pool(1);
    for (int i = 0; i < 50; ++i) pool.post(j.task(std::to_string(i)));
    ASSERT_TRUE(j.waitFor(50));
    const auto names = j.snapshot();
    for (int i = 0; i < 50; ++i) EXPECT_EQ(names[i], std::to_string(i));
}

TEST(ThreadPool, PeriodicTaskRepeatsWithFailureFollowUpsUntilCancelled) {
    Journal j;
    auto task = j.task("tick", false, true);
    auto onFailure = j.task("failed");
    task->addOnFailure(onFailure);
    ThreadPool pool(1);
    pool.addPeriodic(task, 10);
    ASSERT_TRUE(j.waitFor(6));
    task->cancel();
    const std::size_t atCancel = j.snapshot().size();
    std::this_thread::sleep_for(60ms);
    const auto names = j.snapshot();
    EXPECT_LE(names.size(), atCancel + 2);  // at most the run under way and its follow-up
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
        EXPECT_EQ(names[i], "tick");
        EXPECT_EQ(names[i + 1], "failed");
    }
}

TEST(ThreadPool, PeriodicTaskStopsWhenItClearsItsOwnRepeatFlag) {
    ThreadPool pool(1);
    std::shared_ptr<FnTask> task;
    std::weak_ptr<FnTask> weak;
    FnTask* raw = nullptr;  // the task itself, as its run sees it
    task = std::make_shared<FnTask>(
        [&raw] {
            if (raw->runs == 3) raw->setRepeat(false);
            return true;
        },
        true);
    raw = task.get();
    weak = task;
    pool.addPeriodic(task, 5);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (task->runs < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(task->runs, 3);
    task.reset();
    EXPECT_TRUE(weak.expired()) << "the repeat is released after its last run";
}

TEST(ThreadPool, DelayedTaskRunsOnceEvenWithRepeatSet) {
    Journal j;
    auto task = j.task("delayed", true, true);
    ThreadPool pool(2);
    const auto start = std::chrono::steady_clock::now();
    pool.addDelayed(task, 30);
    EXPECT_FALSE(task->repeat());
    ASSERT_TRUE(j.waitFor(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(j.snapshot().size(), 1u);
}

TEST(ThreadPool, DestroyingThePoolDropsWaitingAndQueuedTasks) {
    auto periodic = std::make_shared<FnTask>([] { return true; }, true);
    auto queued = std::make_shared<FnTask>([] { return true; });
    std::weak_ptr<FnTask> weakPeriodic = periodic, weakQueued = queued;
    {
        std::promise<void> release, started;
        auto gate = release.get_future().share();
        auto pool = std::make_unique<ThreadPool>(1);
        auto blocker = std::make_shared<FnTask>([gate, &started] {
            started.set_value();
            gate.wait();
            return true;
        });
        pool->post(blocker);
        pool->post(queued);
        pool->addPeriodic(periodic, 60000);
        started.get_future().wait();
        // The pool is stopped while the blocker still runs; then the blocker may end.
        std::thread releaser([&release] {
            std::this_thread::sleep_for(50ms);
            release.set_value();
        });
        pool.reset();
        releaser.join();
    }
    EXPECT_EQ(queued->runs, 0);
    EXPECT_EQ(periodic->runs, 0);
    periodic.reset();
    queued.reset();
    EXPECT_TRUE(weakPeriodic.expired());
    EXPECT_TRUE(weakQueued.expired());
}

TEST(ThreadPool, WrapHopsIntoTheOtherPool) {
    ThreadPool first(1), second(1);
    std::promise<std::thread::id> firstId, secondId;
    auto inSecond = std::make_shared<FnTask>([&] {
        secondId.set_value(std::this_thread::get_id());
        return true;
    });
    auto inFirst = std::make_shared<FnTask>([&] {
        firstId.set_value(std::this_thread::get_id());
        return true;
    });
    auto hop = second.wrap(inSecond);
    inFirst->addOnSuccess(hop);
    first.post(inFirst);
    auto a = firstId.get_future(), b = secondId.get_future();
    ASSERT_EQ(b.wait_for(5s), std::future_status::ready);
    EXPECT_NE(a.get(), b.get());
    EXPECT_TRUE(ThisPoolTask(nullptr, inSecond).run());
}

TEST(CountedConditionTask, SucceedsFromTheNthRunOn) {
    struct Case { int n; std::vector<bool> results; };
    const Case cases[] = {
        {3, {false, false, true, true}},
        {1, {true, true}},
        {0, {true}},
        {-2, {true}},
    };
    for (const auto& c : cases) {
        CountedConditionTask task(c.n);
        for (bool expected : c.results) EXPECT_EQ(task.run(), expected) << c.n;
    }
}

TEST(CountedConditionTask, JoinsParallelTasksExactlyOnce) {
    constexpr int kTasks = 1000;
    auto join = std::make_shared<CountedConditionTask>(kTasks);
    std::atomic<int> joined{0}, failures{0};
    join->addOnSuccess(std::make_shared<FnTask>([&] {
        ++joined;
        return true;
    }));
    join->addOnFailure(std::make_shared<FnTask>([&] {
        ++failures;
        return true;
    }));
    {
        ThreadPool pool(4);
        for (int i = 0; i < kTasks; ++i) {
            auto t = std::make_shared<FnTask>([i] { return i % 3 != 0; });
            t->addOnBoth(join);
            pool.post(t);
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (joined + failures < kTasks && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(joined, 1);
    EXPECT_EQ(failures, kTasks - 1);
}

TEST(CountedConditionTask, OneFailingTaskOfTwoNeverReachesSuccess) {
    auto join = std::make_shared<CountedConditionTask>(2);
    std::atomic<int> succeeded{0}, failed{0};
    join->addOnSuccess(std::make_shared<FnTask>([&] { return ++succeeded, true; }));
    join->addOnFailure(std::make_shared<FnTask>([&] { return ++failed, true; }));
    auto ok = std::make_shared<FnTask>([] { return true; });
    auto bad = std::make_shared<FnTask>([] { return false; });
    ok->addOnSuccess(join);
    bad->addOnSuccess(join);
    ThreadPool::execute(ok.get());
    ThreadPool::execute(bad.get());
    EXPECT_EQ(succeeded, 0);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(join->remaining(), 1);
}
