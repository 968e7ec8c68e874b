// The statistics reporter: pings and period reports on its own thread.
#include <gtest/gtest.h>

#include <thread>

#include "input-lib/InputClient.pb.h"
#include "stream/session/InputInterface.h"
#include "stream/session/StatisticsHelper.h"
#include "stubstreamer/StubStreamer.h"
#include "StreamTestSupport.h"

using namespace std::chrono_literals;
using InputClient::Request;

namespace {
class Endpoint : public InputInterface {
public:
    void onConnectionStarted() override { started = true; }
    std::atomic<bool> started{false};
};

struct Connected {
    Connected() {
        endpoint.InitiateConnection("127.0.0.1", stub.port());
        while (!endpoint.started) std::this_thread::sleep_for(1ms);
    }
    StubStreamer stub;
    Endpoint endpoint;
};

IRenderImplementation* fakeConsumer() {
    static int tag;
    return reinterpret_cast<IRenderImplementation*>(&tag);
}
}  // namespace

TEST(StatisticsHelper, ReportsTheConsumersPeriodCountersAndPings) {
    Connected c;
    FakeRenderConsumer consumer;
    consumer.statistics.addReceived(5);
    consumer.statistics.addLost(1);
    consumer.statistics.addDecoded(4);
    consumer.statistics.addRendered(3);
    StatisticsHelper helper(&c.endpoint, 200, 20ms);
    helper.start(&consumer);
    // Reports at 20 ms, then every 220 ms; pings at 20 ms, then every 1020 ms.
    ASSERT_TRUE(c.stub.waitForRequests(Request::PEREODIC_MESSAGE, 3));
    helper.stop();
    EXPECT_FALSE(helper.isRunning());
    const auto reports = c.stub.requests(Request::PEREODIC_MESSAGE);
    const auto& m = reports[0].request.pereodicmessage();
    EXPECT_EQ(m.framesreceived(), 5);
    EXPECT_EQ(m.frameslost(), 1);
    EXPECT_EQ(m.framesdecoded(), 4);
    EXPECT_EQ(m.framesrendered(), 3);
    // Later periods start from zero; the totals stay.
    EXPECT_EQ(reports[1].body, std::string("\x08\x10\xCA\x02\x00", 5));
    EXPECT_EQ(consumer.statistics.snapshot().received, 0);
    EXPECT_EQ(consumer.statistics.totalsSnapshot().received, 5);
    const auto pings = c.stub.requests(Request::NETWORK_PING).size();
    EXPECT_GE(pings, 1u);
    EXPECT_LE(pings, 2u);
}

TEST(StatisticsHelper, InjectedReaderSeesTheConsumer) {
    Connected c;
    std::atomic<int> reads{0};
    StatisticsHelper helper(&c.endpoint, 0, 10ms, [&](IRenderImplementation* consumer) {
        EXPECT_EQ(consumer, fakeConsumer());
        ++reads;
        return StatisticsHelper::Counters{7, 0, 0, 0};
    });
    helper.start(fakeConsumer());
    ASSERT_TRUE(c.stub.waitForRequests(Request::PEREODIC_MESSAGE, 3));  // period 0: every tick
    helper.stop();
    // Every read became one report (the last may still be on its way).
    EXPECT_TRUE(eventually(
        [&] { return static_cast<int>(c.stub.requests(Request::PEREODIC_MESSAGE).size()) == reads.load(); }));
}

TEST(StatisticsHelper, WithoutConsumerPingsOnceAndEndsByItself) {
    Connected c;
    {
        StatisticsHelper helper(&c.endpoint, 200, 10ms);
        helper.start(nullptr);
        ASSERT_TRUE(c.stub.waitForRequests(Request::NETWORK_PING));
        for (int i = 0; i < 100 && helper.isRunning(); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(helper.isRunning());
        // Destroying the helper after its thread ended by itself must not abort.
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(c.stub.requests(Request::NETWORK_PING).size(), 1u);
    EXPECT_TRUE(c.stub.requests(Request::PEREODIC_MESSAGE).empty());
}

TEST(StatisticsHelper, RestartBeginsCountingAgain) {
    Connected c;
    StatisticsHelper helper(&c.endpoint, 10000, 10ms,
                            [](IRenderImplementation*) { return StatisticsHelper::Counters{}; });
    helper.start(fakeConsumer());
    ASSERT_TRUE(c.stub.waitForRequests(Request::PEREODIC_MESSAGE, 1));
    helper.start(fakeConsumer());  // the new thread reports after its first tick
    ASSERT_TRUE(c.stub.waitForRequests(Request::PEREODIC_MESSAGE, 2));
    helper.stop();
    helper.stop();  // a second stop is harmless
}
