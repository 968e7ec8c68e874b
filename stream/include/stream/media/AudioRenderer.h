#pragma once
// Playing the stream's sound: a queue of PCM blocks with a latency-bounding drop rule,
// optional resampling to the device rate and an "Audio Render" thread that feeds the
// device through the three device operations of IAudioRenderImplementation.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "stream/media/IAudioRenderImplementation.h"

struct SpeexResamplerState_;

// A blocking queue of PCM blocks. Blocks that were played are kept for reuse, so that a
// steady stream needs no allocation per block.
class PcmQueue {
public:
    using Block = std::vector<std::int16_t>;

    PcmQueue();
    // Appends a block and wakes one waiter; refused (the block dropped) once stopped.
    bool push(Block&& block);
    // Waits for a block or the stop; moves the front block into out. False when stopped,
    // even if blocks remain.
    bool waitPop(Block& out) { return take(out, 0, 0); }
    // The drop rule: with high or more blocks queued, takes blocks from the front while
    // more than low remain and keeps the last one taken; otherwise as waitPop.
    bool take(Block& out, std::size_t high, std::size_t low);
    std::size_t size();
    void stop();
    bool stopped();
    // An empty block, reusing the storage of a played one when there is one.
    Block spareBlock();

private:
    void recycleLocked(Block&& block);

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Block> blocks_;
    std::vector<Block> spare_;
    bool stopped_ = false;
};

// A speexdsp resampler for interleaved 16-bit PCM, present only when the rates differ.
class AudioResampler {
public:
    static constexpr int kQuality = 5;

    AudioResampler() = default;
    ~AudioResampler();
    AudioResampler(const AudioResampler&) = delete;
    AudioResampler& operator=(const AudioResampler&) = delete;

    // Makes a resampler when inputRate and outputRate differ; false when none was made.
    bool create(int inputRate, int outputRate, int channels);
    void reset();
    bool active() const { return state_ != nullptr; }
    int inputRate() const { return inputRate_; }
    int outputRate() const { return outputRate_; }
    int channels() const { return channels_; }
    // Resamples; the counts become the frames consumed and produced.
    void process(std::uint32_t* inputFrames, const std::int16_t* input, std::uint32_t* outputFrames,
                 std::int16_t* output);

private:
    SpeexResamplerState_* state_ = nullptr;
    int inputRate_ = 0;
    int outputRate_ = 0;
    int channels_ = 0;
};

class AudioRenderer : public IAudioRenderImplementation {
public:
    AudioRenderer();
    // Stops the render thread if the derived class has not done so.
    ~AudioRenderer() override;

    void setFormat(int sampleRate, int channels) override;
    void notifyPacketsLost(int) override {}
    // Unless stopping, copies frames x channels samples into a block and queues it.
    void pushPcm(const std::int16_t* samples, int frames) override;

    // Starts the render thread; called by the most derived constructor.
    void start();
    // Sets stopping, stops the queue and joins the render thread.
    void stop();

    std::size_t queuedBlocks() { return queue_.size(); }
    bool renderThreadRunning() const { return threadRunning_.load(); }
    const AudioResampler& resampler() const { return resampler_; }

    static constexpr int kHighWater = 10;
    static constexpr int kLowWater = 4;

protected:
    // Takes the next block into the output buffer: 2 when the output buffer still held
    // samples, 1 when a block was taken, 0 when the queue was stopped.
    int takeNextBlock();
    // Makes the resampler from the input rate to the device rate (none when equal).
    void createResampler(int deviceRate);

    // Samples waiting for the device (interleaved, channels() per frame).
    const std::int16_t* outputData() const { return output_.data() + outputPos_; }
    std::size_t outputSamples() const { return output_.size() - outputPos_; }
    void consumeOutput(std::size_t samples) { outputPos_ += samples; }

    int sampleRate() const { return sampleRate_.load(); }
    int channels() const { return channels_.load(); }

    std::atomic<int> deviceChannels_{2};
    std::atomic<bool> stopping_{false};

private:
    void renderThread();

    AudioResampler resampler_;
    std::atomic<int> sampleRate_{48000};
    std::atomic<int> channels_{2};
    PcmQueue queue_;
    PcmQueue::Block block_;
    std::vector<std::int16_t> output_;
    std::size_t outputPos_ = 0;
    std::thread thread_;
    std::atomic<bool> threadRunning_{false};
    std::mutex stopMutex_;
};
