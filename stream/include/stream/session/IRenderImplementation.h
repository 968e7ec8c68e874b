#pragma once
// The video consumer that a render plug-in implements, and the statistics block at the
// head of every media consumer (video and audio).
//
// The layout is shared with the render plug-ins: the table of virtual operations, then
// the RenderStatistics block, then the initialised flag. The inline operations below are
// part of that shared interface and run in the program.
//
// Threads: one feeding thread (the media client's, or the benchmark's worker) calls
// onFrame, setParameterSets, onPacketsLost, needsKeyFrame and getFlags; the render thread
// (the window's OpenGL context current) calls init, updateFrame, render and release, and
// deletes the object after release, once the feeding has stopped. The plug-in makes the
// hand-over between the two safe; the program guards only the counters.

#include <atomic>
#include <cstdint>
#include <mutex>

// Four counters: the totals since creation, or the same counts for the current period.
struct RenderCounters {
    std::int32_t received = 0;
    std::int32_t lost = 0;
    std::int32_t decoded = 0;
    std::int32_t rendered = 0;
};

class RenderStatistics {
public:
    // The four period counters as they stand.
    RenderCounters snapshot() {
        std::lock_guard<std::mutex> g(lock);
        return period;
    }
    // The four totals as they stand.
    RenderCounters totalsSnapshot() {
        std::lock_guard<std::mutex> g(lock);
        return totals;
    }
    // Zeroes the period counters; the totals stay.
    void resetPeriod() {
        std::lock_guard<std::mutex> g(lock);
        period = RenderCounters();
    }
    void addReceived(std::int32_t n) { add(&RenderCounters::received, n); }
    void addLost(std::int32_t n) { add(&RenderCounters::lost, n); }
    void addDecoded(std::int32_t n) { add(&RenderCounters::decoded, n); }
    void addRendered(std::int32_t n) { add(&RenderCounters::rendered, n); }

    RenderCounters totals;
    RenderCounters period;
    std::mutex lock;  // guards all eight counters

private:
    void add(std::int32_t RenderCounters::*field, std::int32_t n) {
        std::lock_guard<std::mutex> g(lock);
        totals.*field += n;
        period.*field += n;
    }
};

// Bits of IRenderImplementation::getFlags.
enum RenderConsumerFlags : int {
    kRenderWholeFrames = 0x1,        // deliver whole access units, not single NAL units
    kRenderLengthPrefix = 0x2,       // 4-byte big-endian lengths instead of start codes;
                                     // changed parameter sets stay out of the frame data
    kRenderIdrOnLoss = 0x4,          // ask for an IDR frame on loss and when needsKeyFrame
    kRenderParameterSetsApart = 0x8, // changed parameter sets stay out of the frame data
};

// Bits of the frame flags handed to decodeFrame with every delivery.
enum FrameFlags : std::uint32_t {
    kFrameNalData = 0x001,     // the delivery carries NAL data (always)
    kFrameWhole = 0x002,       // whole-access-unit delivery
    kFrameSps = 0x010,         // an SPS arrived since the last delivery
    kFramePps = 0x020,         // a PPS arrived since the last delivery
    kFrameIdr = 0x040,         // an IDR slice arrived since the last delivery
    kFrameSpsChanged = 0x100,  // that SPS differed from the stored one
    kFramePpsChanged = 0x200,  // that PPS differed, or followed a changed SPS
};

class IRenderImplementation {
public:
    // What a render plug-in library exports (extern "C"):
    //   IRenderImplementation* createRenderImplementation(int32_t decoderFlags);
    //     a new implementation for one of the DecoderFlags families, or null;
    //   bool initModule();
    //     true when the library can work here; asked once, before the first create.
    using CreateFunction = IRenderImplementation* (*)(std::int32_t decoderFlags);
    using InitModuleFunction = bool (*)();
    static constexpr const char* kCreateExport = "createRenderImplementation";
    static constexpr const char* kInitModuleExport = "initModule";

    virtual ~IRenderImplementation() = default;
    // The consumer's wishes (RenderConsumerFlags).
    virtual int getFlags() = 0;
    // Kept for the layout of the operation table; the session engine never calls it.
    virtual void reserved() {}
    // True: pictures are decoded and collected on the thread that calls decodeFrame.
    virtual bool isSynchronous() = 0;
    // Asked after every delivered frame; true means the decoder needs a key frame.
    virtual bool needsKeyFrame() = 0;
    // The current SPS and PPS units, each from its NAL header byte on.
    virtual void setParameterSets(const std::uint8_t* sps, int spsSize, const std::uint8_t* pps, int ppsSize) = 0;
    // The sink stops using this consumer.
    virtual void detach(int reason) = 0;
    // Lost packets (not frames); the counters have already been updated.
    virtual void onPacketsLost(int count) = 0;
    // One delivery. data is valid during the call only; after a whole-frame delivery 64
    // zero bytes follow that size does not count.
    virtual void decodeFrame(const std::uint8_t* data, int size, int flags) = 0;
    // Render-thread operations used by the player.
    // Sets up decoder and OpenGL resources; false: the decoder is unusable.
    virtual bool initialize() = 0;
    // Frees decoder and OpenGL resources (the feeding has stopped).
    virtual void release() = 0;
    // Waits up to waitMs for decoded pictures; the number decoded since the last call, 0
    // or less for none.
    virtual int collect(double waitMs) = 0;
    // Draws the newest picture over the drawable (width x height pixels); scale is 1.0.
    virtual void renderPicture(double scale, int width, int height) = 0;

    // Render thread: initialize, with initialised taking the result.
    bool init() {
        initialised = initialize();
        return initialised;
    }

    // The frame hand-off: counts the frame, decodes it and, for a synchronous consumer,
    // collects the decoded pictures waiting up to 100 ms.
    void onFrame(const std::uint8_t* data, int size, int flags) {
        statistics.addReceived(1);
        decodeFrame(data, size, flags);
        if (isSynchronous()) {
            const int n = collect(100.0);
            if (n > 0) statistics.addDecoded(n);
        }
    }

    // Render thread: true when a new picture is ready to draw.
    bool updateFrame(double waitMs) {
        if (isSynchronous()) return statistics.snapshot().decoded != 0;
        const int n = collect(waitMs);
        if (n > 0) {
            statistics.addDecoded(n);
            return true;
        }
        return false;
    }

    // Render thread: draws the newest picture and counts it.
    bool render(double scale, int width, int height) {
        renderPicture(scale, width, height);
        statistics.addRendered(1);
        return true;
    }

    RenderStatistics statistics;
    std::atomic<bool> initialised{false};
};
