#pragma once
// The audio consumer a stream session hands decoded PCM to. Layout: the table of
// virtual operations, then the RenderStatistics block, then the initialised flag.

#include <atomic>
#include <cstdint>

#include "stream/session/IRenderImplementation.h"

class IAudioRenderImplementation {
public:
    virtual ~IAudioRenderImplementation() = default;
    // The format of the PCM that follows.
    virtual void setFormat(int sampleRate, int channels) = 0;
    // Kept for the layout of the operation table; the session engine never calls it.
    virtual void reserved() {}
    virtual void notifyPacketsLost(int count) = 0;
    // One block of interleaved signed 16-bit samples.
    virtual void pushPcm(const std::int16_t* samples, int frames) = 0;
    // Device side, called on the render thread: open, undo the opening, feed once
    // (0 means the device must be shut down and opened again).
    virtual bool initDevice() = 0;
    virtual void shutdownDevice() = 0;
    virtual int renderStep() = 0;

    // Producer entry points: one received block per call, one lost report per call.
    void onPcm(const std::int16_t* samples, int frames) {
        statistics.addReceived(1);
        pushPcm(samples, frames);
    }
    void onPacketsLost(int count) {
        statistics.addLost(1);
        notifyPacketsLost(count);
    }

    RenderStatistics statistics;
    std::atomic<bool> initialised{false};  // the device is open
};
