#include "core/Listenable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
enum class TestEvents { First = 0, Second = 1 };

struct Recorder : IListenerBase<TestEvents> {
    std::vector<TestEvents> seen;
    std::vector<const void*>* order = nullptr;
    std::function<void(TestEvents)> onCall;
    void onEvent(TestEvents value) override {
        seen.push_back(value);
        if (order) order->push_back(this);
        if (onCall) onCall(value);
    }
};
}  // namespace

TEST(Listenable, AddTwiceRemoveMissingAndEmptyNotify) {
    Listenable<TestEvents> source;
    source.notify(TestEvents::First);  // nobody listens: nothing happens
    Recorder r;
    source.addListener(&r);
    source.addListener(&r);
    source.addListener(nullptr);
    source.notify(TestEvents::Second);
    EXPECT_EQ(r.seen, std::vector<TestEvents>{TestEvents::Second});
    source.removeListener(&r);
    source.removeListener(&r);
    source.notify(TestEvents::First);
    EXPECT_EQ(r.seen.size(), 1u);
}

TEST(Listenable, CallsInAddressOrderEveryTime) {
    Listenable<TestEvents> source;
    std::vector<Recorder> listeners(5);
    std::vector<const void*> order;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        it->order = &order;
        source.addListener(&*it);
    }
    for (int round = 0; round < 3; ++round) {
        order.clear();
        source.notify(TestEvents::First);
        ASSERT_EQ(order.size(), 5u);
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    }
}

TEST(Listenable, ChangesInsideANotificationApplyFromTheNextOne) {
    Listenable<TestEvents> source;
    Recorder self, added, other;
    self.onCall = [&](TestEvents) {
        source.removeListener(&self);
        source.removeListener(&other);
        source.addListener(&added);
    };
    source.addListener(&self);
    source.addListener(&other);
    source.notify(TestEvents::First);
    EXPECT_EQ(self.seen.size(), 1u);
    EXPECT_EQ(other.seen.size(), 1u) << "removed during the notification but still in its copy";
    EXPECT_TRUE(added.seen.empty()) << "added during the notification";
    source.notify(TestEvents::Second);
    EXPECT_EQ(self.seen.size(), 1u);
    EXPECT_EQ(other.seen.size(), 1u);
    EXPECT_EQ(added.seen, std::vector<TestEvents>{TestEvents::Second});
}

TEST(Listenable, ConcurrentNotifyAndRegistration) {
    Listenable<TestEvents> source;
    std::vector<Recorder> pool(8);
    std::atomic<bool> stop{false};
    std::thread notifier([&] {
        while (!stop) source.notify(TestEvents::First);
    });
    // Listeners stay alive for the whole test, so being called after removal is harmless.
    for (int i = 0; i < 2000; ++i) {
        source.addListener(&pool[i % 8]);
        source.removeListener(&pool[(i + 3) % 8]);
    }
    stop = true;
    notifier.join();
    SUCCEED();
}

TEST(Listenable, RemovingAndWaitingOutlastsACallUnderWayOnAnotherThread) {
    Listenable<TestEvents> source;
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, released = false;
    std::vector<std::string> log;
    const auto record = [&](const char* what) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(what);
    };
    Recorder blocking;
    blocking.onCall = [&](TestEvents) {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        log.push_back("call returns");
    };
    source.addListener(&blocking);
    std::thread notifier([&] { source.notify(TestEvents::First); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        source.removeListenerAndWait(&blocking);
        record("removed");
        removed = true;
    });
    // A removal that did not wait would come back while the call is still held; the call is
    // let go once it has, or after a while.
    for (int i = 0; i < 60 && !removed; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
    }
    changed.notify_all();
    notifier.join();
    remover.join();
    EXPECT_EQ(log, (std::vector<std::string>{"call returns", "removed"}));
    source.notify(TestEvents::Second);
    EXPECT_EQ(blocking.seen.size(), 1u);

    // Inside a notification of the same source, on its thread, it only removes; a listener
    // may also raise a further event there.
    Recorder self;
    self.onCall = [&](TestEvents value) {
        if (value == TestEvents::First) source.notify(TestEvents::Second);
        source.removeListenerAndWait(&self);
    };
    source.addListener(&self);
    source.notify(TestEvents::First);
    EXPECT_EQ(self.seen, (std::vector<TestEvents>{TestEvents::First, TestEvents::Second}));
    source.notify(TestEvents::First);
    EXPECT_EQ(self.seen.size(), 2u);
}
