// The program's own operations of a render implementation: how onFrame, updateFrame and
// render drive a plug-in and keep its counters, for synchronous and asynchronous plug-ins.

#include "stream/session/IRenderImplementation.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Hands out scripted collect results and records the waits it was asked for.
class ScriptedImplementation : public IRenderImplementation {
public:
    explicit ScriptedImplementation(bool synchronous) : synchronous_(synchronous) {}

    int getFlags() override { return kRenderWholeFrames; }
    bool isSynchronous() override { return synchronous_; }
    bool needsKeyFrame() override { return false; }
    void setParameterSets(const std::uint8_t*, int, const std::uint8_t*, int) override {}
    void detach(int) override {}
    void onPacketsLost(int) override {}
    void decodeFrame(const std::uint8_t*, int size, int) override { decoded.push_back(size); }
    bool initialize() override { return initializeResult; }
    void release() override {}
    int collect(double waitMs) override {
        waits.push_back(waitMs);
        const int n = collectResults.empty() ? 0 : collectResults.front();
        if (!collectResults.empty())
            collectResults.erase(collectResults.begin());
        return n;
    }
    void renderPicture(double, int width, int height) override { drawn.push_back(width * 10000 + height); }

    bool initializeResult = true;
    std::vector<int> collectResults;
    std::vector<double> waits;
    std::vector<int> decoded;
    std::vector<int> drawn;

private:
    bool synchronous_;
};

void expectCounters(const RenderCounters& c, int received, int lost, int decoded, int rendered) {
    EXPECT_EQ(c.received, received);
    EXPECT_EQ(c.lost, lost);
    EXPECT_EQ(c.decoded, decoded);
    EXPECT_EQ(c.rendered, rendered);
}

const std::uint8_t kUnit[] = {0, 0, 0, 1, 0x65, 0x11, 0x22};

}  // namespace

TEST(IRenderImplementation, SynchronousPluginIsCollectedOnTheFeedingThread) {
    ScriptedImplementation r(true);
    r.collectResults = {2, 0, -1};
    r.onFrame(kUnit, sizeof(kUnit), 48);
    r.onFrame(kUnit, 4, 0);
    r.onFrame(kUnit, 5, 0);
    EXPECT_EQ(r.decoded, (std::vector<int>{7, 4, 5}));
    EXPECT_EQ(r.waits, (std::vector<double>{100.0, 100.0, 100.0}));
    expectCounters(r.statistics.totalsSnapshot(), 3, 0, 2, 0);
    expectCounters(r.statistics.snapshot(), 3, 0, 2, 0);

    // The render thread asks the period counter, without collecting.
    EXPECT_TRUE(r.updateFrame(1.0));
    r.statistics.resetPeriod();
    EXPECT_FALSE(r.updateFrame(1.0));
    EXPECT_EQ(r.waits.size(), 3u);
    expectCounters(r.statistics.totalsSnapshot(), 3, 0, 2, 0);
}

TEST(IRenderImplementation, AsynchronousPluginIsCollectedByTheRenderThread) {
    ScriptedImplementation r(false);
    r.onFrame(kUnit, sizeof(kUnit), 0);
    EXPECT_TRUE(r.waits.empty()) << "nothing is collected on the feeding thread";
    r.collectResults = {3, 0, -2};
    struct Step {
        double wait;
        bool newPicture;
        int decodedTotal;
    } steps[] = {{1.0, true, 3}, {5.0, false, 3}, {0.0, false, 3}};
    for (const Step& s : steps) {
        EXPECT_EQ(r.updateFrame(s.wait), s.newPicture);
        EXPECT_EQ(r.statistics.totalsSnapshot().decoded, s.decodedTotal);
    }
    EXPECT_EQ(r.waits, (std::vector<double>{1.0, 5.0, 0.0}));
}

TEST(IRenderImplementation, RenderCountsEveryDrawAndResetTouchesOnlyThePeriod) {
    ScriptedImplementation r(false);
    // Drawn every frame, a new picture or not.
    EXPECT_TRUE(r.render(1.0, 1920, 1080));
    EXPECT_TRUE(r.render(1.0, 1280, 720));
    EXPECT_EQ(r.drawn, (std::vector<int>{19201080, 12800720}));
    r.statistics.addLost(5);
    expectCounters(r.statistics.snapshot(), 0, 5, 0, 2);
    r.statistics.resetPeriod();
    expectCounters(r.statistics.snapshot(), 0, 0, 0, 0);
    expectCounters(r.statistics.totalsSnapshot(), 0, 5, 0, 2);
}

TEST(IRenderImplementation, InitMirrorsTheResultOfInitialize) {
    for (bool result : {true, false}) {
        ScriptedImplementation r(false);
        r.initialised = !result;
        r.initializeResult = result;
        EXPECT_EQ(r.init(), result);
        EXPECT_EQ(r.initialised.load(), result);
    }
}
