#include "core/Listenable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
