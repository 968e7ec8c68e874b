#include "player/BenchmarkState.h"

#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "gui/CAPILoader.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/BenchmarkStorage.h"
#include "player/RenderPluginModule.h"
#include "platform/Thread.h"

namespace {
// Collector series around the render thread's work of a frame.
const char* const kDecodingSeries = "DECODING";
const char* const kRenderingSeries = "RENDERING";
// The text the worker sets for its series.
const char* const kPacketText = "PPACKET";
// The render thread waits this long for decoded pictures once per frame.
constexpr double kCollectWaitMs = 1.0;
}  // namespace

BenchmarkState::BenchmarkState(IBenchmarkStorageProvider* storage, IBenchmarkHost* host, PlayerMainWindow* window,
                               int commandId, std::int32_t decoders, RenderImplementationFactory createRenderer)
    : PlayerWindowState(window, commandId),
      storage_(storage),
      host_(host),
      createRenderer_(createRenderer ? std::move(createRenderer)
                                     : RenderImplementationFactory([](std::int32_t flags) {
                                           return createRenderImplementationForDecoders(flags);
                                       })),
      decoders_(decoders) {}

BenchmarkState::~BenchmarkState() {
    stop();
    if (worker_.joinable())
        worker_.join();
}

bool BenchmarkState::enter() {
    data_ = storage_->currentData();
    if (data_)
        renderer_ = createRenderer_(decoders_);
    if (renderer_ && !renderer_->init()) {
        NIMBROSTA_LOG(0, "BenchmarkState::enter") << "decoders " << decoders_ << " do not initialise";
        delete renderer_;
        renderer_ = nullptr;
    }
    if (renderer_) {
        label_ = storage_->currentLabel();
        worker_ = platform::startThread([this] { work(); });
    }
    startTime_ = Clock::now();
    return renderer_ != nullptr;
}

void BenchmarkState::work() {
    SetThreadName("Benchmark");
    CAPILoader& collector = CAPILoader::instance();
    collector.setText(label_.c_str(), kPacketText);
    // No pacing: the next unit goes as soon as the decoder has taken the last one.
    while (!stopRequested_.load(std::memory_order_relaxed)) {
        const BenchmarkAccessUnit* unit = data_->next();
        if (!unit)
            break;
        collector.interval(label_.c_str(), true);
        renderer_->onFrame(unit->data, int(unit->length), unit->hasParameterSets ? kParameterSetFlags : 0);
        collector.interval(label_.c_str(), false);
        host_->requestRedraw();
    }
    {
        std::lock_guard<std::mutex> guard(doneLock_);
        done_ = true;
    }
    doneSignal_.notify_all();
}

bool BenchmarkState::update(std::recursive_mutex&) {
    if (!renderer_)
        return true;
    CAPILoader& collector = CAPILoader::instance();
    collector.interval(kDecodingSeries, true);
    if (!renderer_->isSynchronous()) {
        const int pictures = renderer_->collect(kCollectWaitMs);
        if (pictures > 0)
            renderer_->statistics.addDecoded(pictures);
    }
    collector.interval(kDecodingSeries, false);

    collector.interval(kRenderingSeries, true);
    int width = 0;
    int height = 0;
    host_->framebufferSize(width, height);
    renderer_->render(1.0, width, height);
    collector.interval(kRenderingSeries, false);
    return true;
}

bool BenchmarkState::isFinished() {
    return !renderer_ || !data_ || !data_->hasMore();
}

void BenchmarkState::leave() {
    if (!renderer_) {
        host_->postCommand(kCommandMeasurementNoRenderer);
        return;
    }
    const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - startTime_).count();
    storage_->storeResult(std::uint32_t(elapsedUs / 1000));
    host_->postCommand(kCommandMeasurementEnded);
    // The worker may still be inside the decoder with the last unit: the implementation goes
    // only after it has returned.
    joinWorker();
    releaseRenderer();
}

void BenchmarkState::stop() {
    if (!renderer_)
        return;
    stopRequested_.store(true, std::memory_order_relaxed);
    joinWorker();
    releaseRenderer();
}

void BenchmarkState::joinWorker() {
    if (!worker_.joinable())
        return;
    {
        std::unique_lock<std::mutex> guard(doneLock_);
        doneSignal_.wait(guard, [this] { return done_; });
    }
    worker_.join();
}

void BenchmarkState::releaseRenderer() {
    renderer_->statistics.resetPeriod();
    renderer_->initialised = false;
    renderer_->release();
    if (data_)
        data_->rewind();  // the next decoder plays the suite from its first unit
    delete renderer_;
    renderer_ = nullptr;
}
