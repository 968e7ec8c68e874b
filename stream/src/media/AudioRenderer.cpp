#include "stream/media/AudioRenderer.h"

#include <speex/speex_resampler.h>

#include "core/SystemHelpers.h"
#include "platform/Thread.h"

// ---------------------------------------------------------------------------------------
// PcmQueue

namespace {
constexpr std::size_t kMaxSpareBlocks = 16;
}

PcmQueue::PcmQueue() { spare_.reserve(kMaxSpareBlocks); }

bool PcmQueue::push(Block&& block) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (stopped_) return false;
        blocks_.push_back(std::move(block));
    }
    cv_.notify_one();
    return true;
}

void PcmQueue::recycleLocked(Block&& block) {
    if (block.capacity() != 0 && spare_.size() < kMaxSpareBlocks) {
        block.clear();
        spare_.push_back(std::move(block));
    }
    block = Block();
}

bool PcmQueue::take(Block& out, std::size_t high, std::size_t low) {
    std::unique_lock<std::mutex> l(mutex_);
    auto takeFront = [&] {
        recycleLocked(std::move(out));
        out = std::move(blocks_.front());
        blocks_.pop_front();
    };
    if (stopped_) return false;
    if (high != 0 && blocks_.size() >= high) {
        while (blocks_.size() > low) takeFront();
        return true;
    }
    cv_.wait(l, [&] { return stopped_ || !blocks_.empty(); });
    if (stopped_) return false;
    takeFront();
    return true;
}

std::size_t PcmQueue::size() {
    std::lock_guard<std::mutex> g(mutex_);
    return blocks_.size();
}

void PcmQueue::stop() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        stopped_ = true;
    }
    cv_.notify_all();
}

bool PcmQueue::stopped() {
    std::lock_guard<std::mutex> g(mutex_);
    return stopped_;
}

PcmQueue::Block PcmQueue::spareBlock() {
    std::lock_guard<std::mutex> g(mutex_);
    if (spare_.empty()) return Block();
    Block b = std::move(spare_.back());
    spare_.pop_back();
    return b;
}

// ---------------------------------------------------------------------------------------
// AudioResampler

AudioResampler::~AudioResampler() { reset(); }

void AudioResampler::reset() {
    if (state_) speex_resampler_destroy(state_);
    state_ = nullptr;
    inputRate_ = outputRate_ = channels_ = 0;
}

bool AudioResampler::create(int inputRate, int outputRate, int channels) {
    reset();
    if (inputRate == outputRate || inputRate <= 0 || outputRate <= 0 || channels <= 0) return false;
    int err = 0;
    state_ = speex_resampler_init(static_cast<spx_uint32_t>(channels), static_cast<spx_uint32_t>(inputRate),
                                  static_cast<spx_uint32_t>(outputRate), kQuality, &err);
    if (!state_ || err != RESAMPLER_ERR_SUCCESS) {
        if (state_) speex_resampler_destroy(state_);
        state_ = nullptr;
        return false;
    }
    inputRate_ = inputRate;
    outputRate_ = outputRate;
    channels_ = channels;
    return true;
}

void AudioResampler::process(std::uint32_t* inputFrames, const std::int16_t* input, std::uint32_t* outputFrames,
                             std::int16_t* output) {
    if (!state_) {
        *inputFrames = 0;
        *outputFrames = 0;
        return;
    }
    speex_resampler_process_interleaved_int(state_, input, inputFrames, output, outputFrames);
}

// ---------------------------------------------------------------------------------------
// AudioRenderer

AudioRenderer::AudioRenderer() = default;

AudioRenderer::~AudioRenderer() { stop(); }

void AudioRenderer::setFormat(int sampleRate, int channels) {
    sampleRate_ = sampleRate;
    channels_ = channels;
}

void AudioRenderer::pushPcm(const std::int16_t* samples, int frames) {
    if (stopping_ || !samples || frames <= 0) return;
    const int ch = channels_.load();
    if (ch <= 0) return;
    PcmQueue::Block block = queue_.spareBlock();
    block.assign(samples, samples + static_cast<std::size_t>(frames) * static_cast<std::size_t>(ch));
    queue_.push(std::move(block));
}

void AudioRenderer::start() {
    std::lock_guard<std::mutex> g(stopMutex_);
    if (thread_.joinable()) return;
    threadRunning_ = true;
    thread_ = platform::startThread([this] { renderThread(); });
}

void AudioRenderer::stop() {
    std::lock_guard<std::mutex> g(stopMutex_);
    stopping_ = true;
    queue_.stop();
    if (thread_.joinable()) thread_.join();
}

void AudioRenderer::createResampler(int deviceRate) {
    resampler_.create(sampleRate_.load(), deviceRate, channels_.load());
}

int AudioRenderer::takeNextBlock() {
    if (outputPos_ < output_.size()) return 2;
    if (!queue_.take(block_, kHighWater, kLowWater)) return 0;
    const int ch = channels_.load();
    if (resampler_.active() && ch > 0 && resampler_.channels() == ch) {
        output_.resize(block_.size() * 4);
        std::uint32_t inFrames = static_cast<std::uint32_t>(block_.size() / static_cast<std::size_t>(ch));
        std::uint32_t outFrames = static_cast<std::uint32_t>(output_.size() / static_cast<std::size_t>(ch));
        resampler_.process(&inFrames, block_.data(), &outFrames, output_.data());
        output_.resize(static_cast<std::size_t>(outFrames) * static_cast<std::size_t>(ch));
    } else {
        output_.swap(block_);
    }
    outputPos_ = 0;
    return 1;
}

void AudioRenderer::renderThread() {
    SetThreadName("Audio Render");
    bool needInit = true;
    while (!stopping_) {
        do {
            if (needInit) {
                const bool ok = initDevice();
                initialised = ok;
                if (!ok) stopping_ = true;
            }
            if (!stopping_) needInit = (renderStep() == 0);
        } while (!needInit && !stopping_);
        initialised = false;
        shutdownDevice();
    }
    queue_.stop();
    threadRunning_ = false;
}
