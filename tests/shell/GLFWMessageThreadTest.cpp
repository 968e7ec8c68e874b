// The main loop's message queue under a real GLFW: order and ownership of one-shot
// messages, periodic messages and their cancellation, and commands posted from workers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "ShellTestSupport.h"
#include "core/ThreadPool.h"

using namespace shelltest;
using Clock = std::chrono::steady_clock;

namespace {

struct Counts {
    std::mutex mutex;
    std::vector<int> runs;
    std::vector<std::thread::id> threads;
    std::atomic<int> destroyed{0};
};

class RecordingMessage : public GLFWThreadMessage {
public:
    RecordingMessage(Counts& c, int id) : c_(c), id_(id) {}
    ~RecordingMessage() override { c_.destroyed++; }
    void run() override {
        std::lock_guard<std::mutex> lock(c_.mutex);
        c_.runs.push_back(id_);
        c_.threads.push_back(std::this_thread::get_id());
    }

private:
    Counts& c_;
    int id_;
};

class RecordingPeriodic : public GLFWThreadPereodicMessage {
public:
    explicit RecordingPeriodic(std::atomic<int>* destroyed = nullptr) : destroyed_(destroyed) {}
    ~RecordingPeriodic() override {
        if (destroyed_) (*destroyed_)++;
    }
    void run() override {
        times.push_back(Clock::now());
        if (onRun) onRun(this);
    }
    std::vector<Clock::time_point> times;
    std::function<void(RecordingPeriodic*)> onRun;

private:
    std::atomic<int>* destroyed_;
};

class FunctionTask : public TaskBase {
public:
    explicit FunctionTask(std::function<bool()> fn) : TaskBase(false), fn_(std::move(fn)) {}
    bool run() override { return fn_(); }

private:
    std::function<bool()> fn_;
};

class CommandWindow : public GLFWAppMainWindow {
public:
    void Command(int id) override {
        std::lock_guard<std::mutex> lock(mutex);
        commands.push_back(id);
        threads.push_back(std::this_thread::get_id());
    }
    std::mutex mutex;
    std::vector<int> commands;
    std::vector<std::thread::id> threads;
};

}  // namespace

TEST(GLFWMessageThread, MessagesPostedBeforeTheLoopRunInOrderOnTheMainThreadOnce) {
    Counts counts;
    CommandWindow window;
    ASSERT_TRUE(window.create(200, 100, "queue", false, true));
    std::thread worker([&] {
        GLFWApp::instance().post(new RecordingMessage(counts, 1));
        GLFWApp::instance().post(new RecordingMessage(counts, 2));
    });
    worker.join();
    runWithScript(&window, [&] {
        x11test::waitUntil([&] { return counts.destroyed.load() == 2; });
        // One more pass: nothing runs twice.
        onMain<int>([] { return 0; });
    });
    EXPECT_EQ(counts.runs, (std::vector<int>{1, 2}));
    EXPECT_EQ(counts.destroyed.load(), 2);
    for (auto id : counts.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(GLFWMessageThread, AMessagePostedByAMessageRunsOnTheNextCall) {
    GLFWMessageThread queue;
    Counts counts;
    queue.post(new FnMessage([&] { queue.post(new RecordingMessage(counts, 2)); }));
    queue.runMessages();
    EXPECT_TRUE(counts.runs.empty());
    EXPECT_EQ(queue.pendingMessages(), 1u);
    queue.runMessages();
    EXPECT_EQ(counts.runs, (std::vector<int>{2}));
    EXPECT_EQ(counts.destroyed.load(), 1);
}

TEST(GLFWMessageThread, PeriodicMessagesRunAtTheirOwnPeriodBesideAShorterOne) {
    GLFWMessageThread queue;
    auto* slow = new RecordingPeriodic();
    auto* fast = new RecordingPeriodic();
    const auto posted = Clock::now();
    queue.postPereodic(slow, 200);
    queue.postPereodic(fast, 10);
    EXPECT_EQ(queue.smallestPeriod(), 10);
    const auto end = posted + std::chrono::milliseconds(700);
    while (Clock::now() < end) {
        queue.runPereodicMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_GE(slow->times.size(), 2u);
    EXPECT_LE(slow->times.size(), 4u);
    // The first run is on the first pass after posting; then never twice within a period.
    EXPECT_LT(slow->times[0] - posted, std::chrono::milliseconds(100));
    for (std::size_t i = 1; i < slow->times.size(); ++i)
        EXPECT_GE(slow->times[i] - slow->times[i - 1], std::chrono::milliseconds(200));
    EXPECT_GT(fast->times.size(), slow->times.size());
    queue.stopTimer();
}

TEST(GLFWMessageThread, CancelledMessagesStopAndAreDeletedOnceInTheNextPass) {
    GLFWMessageThread queue;
    std::atomic<int> destroyed{0};
    auto* fromOutside = new RecordingPeriodic(&destroyed);
    auto* fromInside = new RecordingPeriodic(&destroyed);
    fromInside->onRun = [](RecordingPeriodic* self) { self->cancelled = true; };
    queue.postPereodic(fromOutside, 1);
    queue.postPereodic(fromInside, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    queue.runPereodicMessages();
    // Cancelled from inside its run: deleted at the end of that same pass.
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(fromOutside->times.size(), 1u);
    fromOutside->cancelled = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    queue.runPereodicMessages();
    EXPECT_EQ(destroyed.load(), 2);
    EXPECT_EQ(queue.periodicMessages(), 0u);
    queue.runPereodicMessages();
    EXPECT_EQ(destroyed.load(), 2);
    queue.stopTimer();
}

TEST(GLFWMessageThread, PeriodsOfZeroOrLessCountAsOneMillisecond) {
    GLFWMessageThread queue;
    auto* m = new RecordingPeriodic();
    queue.postPereodic(m, 0);
    EXPECT_EQ(queue.smallestPeriod(), 1);
    queue.postPereodic(new RecordingPeriodic(), -5);
    EXPECT_EQ(queue.smallestPeriod(), 1);
    queue.stopTimer();
}

TEST(GLFWApp, TheTimerWakesTheLoopForPeriodicMessagesWithoutEvents) {
    CommandWindow window;
    ASSERT_TRUE(window.create(200, 100, "timer", false, true));
    std::atomic<int> runs{0};
    auto* m = new RecordingPeriodic();
    m->onRun = [&](RecordingPeriodic* self) {
        if (++runs == 5) self->cancelled = true;
    };
    GLFWApp::instance().postPereodic(m, 20);
    runWithScript(&window, [&] { EXPECT_TRUE(x11test::waitUntil([&] { return runs.load() >= 5; })); });
    EXPECT_EQ(runs.load(), 5);
    EXPECT_EQ(GLFWApp::instance().periodicMessages(), 0u);
}

TEST(GLFWApp, PostCommandFromAPoolWorkerRunsOnceOnTheMainThread) {
    CommandWindow window;
    ASSERT_TRUE(window.create(200, 100, "commands", false, true));
    ThreadPool pool(1);
    runWithScript(&window, [&] {
        pool.post(std::make_shared<FunctionTask>([&] {
            postCommand(&window, 42);
            return true;
        }));
        x11test::waitUntil([&] {
            std::lock_guard<std::mutex> lock(window.mutex);
            return !window.commands.empty();
        });
        onMain<int>([] { return 0; });
    });
    std::lock_guard<std::mutex> lock(window.mutex);
    EXPECT_EQ(window.commands, (std::vector<int>{42}));
    ASSERT_EQ(window.threads.size(), 1u);
    EXPECT_EQ(window.threads[0], std::this_thread::get_id());
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlfwEnvironment());
    return RUN_ALL_TESTS();
}
