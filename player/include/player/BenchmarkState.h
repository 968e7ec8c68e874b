#pragma once
// One measurement of the decoder benchmark: every access unit of the current sample played
// through a render implementation of one decoder family. A "Benchmark" worker hands the
// units over as fast as the decoder takes them, while the render thread collects and draws
// the pictures once per frame. The time from the end of enter until the render thread sees
// the last unit handed over is the suite's result for the decoder.
//
// It is never the window's current screen: the benchmark group screen makes, enters,
// updates, leaves and deletes it, all on the render thread (the window's OpenGL context
// current), one at a time.
//
// End of a measurement, in this order: the result is stored and kCommandMeasurementEnded
// posted; the worker is joined (it may still be inside the decoder with the last unit);
// only then is the implementation released and deleted. stop() ends it early the same way,
// without a result.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "player/PlayerWindowState.h"

class IBenchmarkDataProvider;
class IBenchmarkStorageProvider;
class IRenderImplementation;

// Makes a render implementation for a set of decoder families (DecoderFlags), or null.
using RenderImplementationFactory = std::function<IRenderImplementation*(std::int32_t decoders)>;

// What a measurement needs of the window it runs in.
class IBenchmarkHost {
public:
    virtual void postCommand(int id) = 0;
    // Any thread: the next pass of the render thread draws a frame.
    virtual void requestRedraw() = 0;
    // The drawable's size in pixels.
    virtual void framebufferSize(int& width, int& height) = 0;

protected:
    ~IBenchmarkHost() = default;
};

class BenchmarkState : public PlayerWindowState {
public:
    // The frame flags of a unit that carries parameter sets (SPS and PPS seen).
    static constexpr int kParameterSetFlags = 48;

    // storage and host outlive the measurement. commandId: the step of the group screen
    // that made it. createRenderer: the plug-ins' factory when empty.
    BenchmarkState(IBenchmarkStorageProvider* storage, IBenchmarkHost* host, PlayerMainWindow* window,
                   int commandId, std::int32_t decoders, RenderImplementationFactory createRenderer = nullptr);
    // Ends a measurement still running as stop() does.
    ~BenchmarkState() override;

    // Makes and initialises the implementation and starts the worker; false when the decoder
    // family has no usable implementation.
    bool enter() override;
    // After isFinished: stores the result and posts kCommandMeasurementEnded, or without an
    // implementation posts kCommandMeasurementNoRenderer; joins the worker, then releases.
    void leave() override;
    // Once per frame: collects the decoded pictures and draws the newest.
    bool update(std::recursive_mutex& guiLock) override;
    // No implementation, or every unit handed over.
    bool isFinished() override;

    // Ends the measurement without a result and posts nothing: the worker stops after the
    // unit it is handing over and is joined, then the implementation is released.
    void stop();

    std::int32_t decoders() const { return decoders_; }
    bool hasRenderer() const { return renderer_ != nullptr; }

private:
    using Clock = std::chrono::steady_clock;

    void work();
    // Waits until the worker has handed over its last unit, then joins it.
    void joinWorker();
    // Render thread, the worker joined: releases and deletes the implementation, rewinds.
    void releaseRenderer();

    IBenchmarkStorageProvider* storage_;
    IBenchmarkHost* host_;
    RenderImplementationFactory createRenderer_;
    IRenderImplementation* renderer_ = nullptr;
    IBenchmarkDataProvider* data_ = nullptr;
    std::int32_t decoders_;
    std::string label_;  // decoder and suite name, the collector's series
    bool done_ = false;
    std::atomic<bool> stopRequested_{false};
    std::thread worker_;
    std::mutex doneLock_;
    std::condition_variable doneSignal_;
    Clock::time_point startTime_;
};
