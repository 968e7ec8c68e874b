// The connection tester against the stand-in streamer: retries until the streamer accepts.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "input-lib/InputClient.pb.h"
#include "stream/session/ConnectionTester.h"
#include "stubstreamer/StubStreamer.h"

using namespace std::chrono_literals;
using InputClient::Request;
using InputClient::Response;

namespace {
class RecordingListener : public IListenerBase<ConnectionTesterEvents> {
public:
    void onEvent(ConnectionTesterEvents e) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(e);
        }
        cv_.notify_all();
    }
    std::vector<int> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool waitForCount(std::size_t n, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return events_.size() >= n; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<int> events_;
};

SimpleInputInterface::Timings timings(std::chrono::milliseconds timeout = 15s) {
    SimpleInputInterface::Timings t;
    t.inactivityTimeout = timeout;
    return t;
}
}  // namespace

TEST(ConnectionTester, RetriesUntilTheStreamerAcceptsTheToken) {
    StubStreamer stub;
    std::atomic<int> attempts{0};
    stub.onRequest(Request::AUTHORIZATION, [&](StubConnection& c, const Request& r) {
        EXPECT_EQ(r.authorization().lang(), "en");
        if (++attempts < 3) {
            c.respond(Response::AUTHORIZATION_FAILED);
            c.close();
        } else {
            c.respond(Response::AUTHORIZATION_SUCCESS_ADMIN);
        }
    });
    stub.onRequest(Request::CLIENT_DB_READY_EVENT, [](StubConnection& c, const Request&) {
        c.respond(Response::SERVER_DB_READY_EVENT);
    });
    RecordingListener listener;
    ConnectionTester tester(50ms, timings());
    tester.addListener(&listener);
    tester.start("127.0.0.1", stub.port(), "token");
    EXPECT_EQ(listener.events().at(0), kConnectionAttempt);  // before any answer
    ASSERT_TRUE(listener.waitForCount(6));
    EXPECT_EQ(listener.events(), (std::vector<int>{0, 1, 0, 1, 0, 2}));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(stub.requests(Request::STREAM_INITIATE).empty());
}

TEST(ConnectionTester, KeepsTryingWhileNothingListens) {
    int port;
    {
        StubStreamer gone;
        port = gone.port();
    }
    RecordingListener listener;
    ConnectionTester tester(30ms, timings());
    tester.addListener(&listener);
    tester.start("127.0.0.1", port, "token");
    ASSERT_TRUE(listener.waitForCount(4));
    for (int e : listener.events()) EXPECT_EQ(e, kConnectionAttempt);
}

TEST(ConnectionTester, CompetingClientStopsNothingAndNotifiesNothing) {
    StubStreamer stub;
    stub.onRequest(Request::AUTHORIZATION, [](StubConnection& c, const Request&) {
        c.respond(Response::ANOTHER_CLIENT_LOGGED_IN);
    });
    RecordingListener listener;
    ConnectionTester tester(30ms, timings());
    tester.addListener(&listener);
    tester.start("127.0.0.1", stub.port(), "token");
    ASSERT_TRUE(stub.waitForRequests(Request::AUTHORIZATION));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(listener.events(), (std::vector<int>{0}));
}

TEST(ConnectionTester, SilentStreamerLeadsToRetriesAfterTheTimeout) {
    StubStreamer stub;
    RecordingListener listener;
    ConnectionTester tester(30ms, timings(150ms));
    tester.addListener(&listener);
    tester.start("127.0.0.1", stub.port(), "token");
    ASSERT_TRUE(listener.waitForCount(3, 5s));
    EXPECT_GE(stub.connectionCount(), 2u);
}

TEST(ConnectionTester, DestructionDuringTheDelayWaitsAndThenNothingArrives) {
    StubStreamer stub;
    stub.onRequest(Request::AUTHORIZATION, [](StubConnection& c, const Request&) { c.close(); });
    RecordingListener listener;
    {
        ConnectionTester tester(200ms, timings());
        tester.addListener(&listener);
        tester.start("127.0.0.1", stub.port(), "token");
        ASSERT_TRUE(stub.waitForRequests(Request::AUTHORIZATION));
        std::this_thread::sleep_for(50ms);  // inside the delay now
    }
    const auto atEnd = listener.events().size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(listener.events().size(), atEnd);
}
