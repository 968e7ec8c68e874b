#include "player/BenchmarkGroupState.h"

#include <GL/gl.h>

#include "core/ConfigStore.h"
#include "core/LogLine.h"
#include "gui/AbstractGraphicsContext.h"
#include "player-ui/PlayerCommandIds.h"
#include "player/BenchmarkStorage.h"
#include "player/PlayerMainWindow.h"
#include "player/stream/DebugDiagram.h"
#include "stream/session/DecoderFlags.h"
#include "platform/Thread.h"

namespace {

// Steps of a suite: each measures one decoder family; 1 starts the suite, 7 ends it.
constexpr int kSuiteStartStep = 1;
constexpr int kSuiteEndStep = 7;

// A measurement that is never chosen ("Benchmark.DXVA" once it exists).
constexpr std::int32_t kExcluded = BenchmarkStorage::kExcluded;

// One step of the group screen, queued on its own message queue.
class NextState : public GLFWThreadMessage {
public:
    explicit NextState(BenchmarkGroupState* group) : group_(group) {}
    void run() override { group_->step(); }

private:
    BenchmarkGroupState* group_;
};

std::string withoutTrailingBlanks(std::string text) {
    const std::size_t end = text.find_last_not_of(" \t");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

}  // namespace

BenchmarkGroupState::BenchmarkGroupState(PlayerMainWindow* window, BenchmarkSetup setup)
    : PlayerWindowState(window, kCommandBenchmarkScreen),
      setup_(std::move(setup)),
      versionTag_(BenchmarkStorage::kVersionTag),
      decoderNames_{{2, "CUDA"}, {3, "DXVA"}, {4, "VAAPI"}, {5, "VDPAU"}, {6, "VDA"}, {7, "SOFTWARE"}} {}

BenchmarkGroupState::~BenchmarkGroupState() {
    // The measurement goes before the storage whose sample its worker reads.
    measurement_.reset();
    joinLoader();
}

ConfigStore& BenchmarkGroupState::config() const {
    return setup_.config ? *setup_.config : ConfigStore::instance();
}

bool BenchmarkGroupState::enter() {
    const GLubyte* renderer = glGetString(GL_RENDERER);
    renderName_ = renderer ? reinterpret_cast<const char*>(renderer) : "";

    ConfigStore& settings = config();
    const bool neverRun = settings.get<bool>("Benchmark.NeedToRun", "1");
    const bool otherAdapter =
        withoutTrailingBlanks(renderName_) != withoutTrailingBlanks(settings.getString("Benchmark.RenderName", ""));
    const bool otherVersion = settings.getString("Benchmark.Version", "") != versionTag_;
    if (!neverRun && !otherAdapter && !otherVersion) {
        NIMBROSTA_LOG(0, "BenchmarkGroupState::enter") << "the decoder benchmark is up to date";
        postCommand(kCommandBenchmarkNotNeeded);
        step_ = kFinishedStep;
        return false;
    }
    NIMBROSTA_LOG(0, "BenchmarkGroupState::enter")
        << "running the decoder benchmark" << (neverRun ? ", never run" : "")
        << (otherAdapter ? ", other adapter: " + renderName_ : std::string())
        << (otherVersion ? ", other version" : "");

    if (settings.get<bool>("Debug.Diagram", "0")) {
        if (PlayerGUI* gui = window() ? window()->getGUI() : nullptr)
            diagramButton_ = std::make_shared<DebugDiagramButton>(gui);
    }

    // The loader only publishes the storage; the screen joins it once it is loaded, or when
    // it goes.
    loaderThread_ = platform::startThread([this] {
        auto storage = std::make_shared<BenchmarkStorage>(versionTag_, setup_.libFolder, setup_.config);
        storage_ = std::move(storage);
        storageLoaded_.store(true, std::memory_order_release);
    });
    // A profile switched for the run stays for the stream that follows; it goes back when
    // the player ends, so the stream's own check finds nothing left to do.
    if (window())
        window()->checkPowerPlan();
    postCommand(kCommandBenchmarkLoading);
    return true;
}

void BenchmarkGroupState::leave() {
    // Mid-run only when the window closes: no result of the interrupted measurement is kept.
    if (measurement_)
        measurement_->stop();
    measurement_.reset();
    joinLoader();
    diagramButton_.reset();
}

bool BenchmarkGroupState::update(std::recursive_mutex& guiLock) {
    {
        std::lock_guard<std::recursive_mutex> lock(guiLock);
        runMessages();
    }
    if (step_ == 0 && storageLoaded_.load(std::memory_order_acquire)) {
        joinLoader();
        if (storage_->suites().empty()) {
            NIMBROSTA_LOG(50, "BenchmarkGroupState::update") << "no benchmark sample could be loaded";
            step_ = kFinishedStep;
            postCommand(kCommandBenchmarkFileMissing);
        } else {
            step_ = kSuiteStartStep;
            postCommand(kCommandBenchmarkSuiteStart);
        }
    }
    if (!measurement_)
        return false;
    const bool result = measurement_->update(guiLock);
    std::lock_guard<std::recursive_mutex> lock(guiLock);
    if (measurement_->isFinished()) {
        requestRedraw();
        measurement_->leave();
        measurement_.reset();
    }
    return result;
}

bool BenchmarkGroupState::isFinished() {
    return step_ == kFinishedStep;
}

bool BenchmarkGroupState::onCommand(int id) {
    switch (id) {
        case kCommandBenchmarkSuiteStart:
        case kCommandMeasurementEnded:
        case kCommandMeasurementNoRenderer:
        case kCommandDecoderTooSlow:
            post(new NextState(this));
            return true;
        default:
            return false;
    }
}

void BenchmarkGroupState::step() {
    std::int32_t decoders = kDecoderNone;
    switch (step_) {
        case kSuiteStartStep:
            postCommand(kCommandBenchmarkFirstDecoder);
            step_ = 4;
            decoders = kDecoderVaapi;
            break;
        case 4:
            step_ = 5;
            decoders = kDecoderVdpau;
            break;
        case 5:
            step_ = 6;
            decoders = kDecoderVda;
            break;
        case 6:
            step_ = 2;
            decoders = kDecoderCuda;
            break;
        case 2:
            step_ = 3;
            decoders = kDecoderDxva;
            break;
        case 3:
            step_ = kSuiteEndStep;
            decoders = kDecoderSoftware;
            break;
        case kSuiteEndStep:
            if (storage_->nextSuite()) {
                postCommand(kCommandBenchmarkSuiteStart);
                step_ = kSuiteStartStep;
            } else {
                finish();
                postCommand(kCommandBenchmarkFinished);
                step_ = kFinishedStep;
            }
            break;
        default:
            break;
    }
    if (decoders != kDecoderNone)
        setMeasurement(new BenchmarkState(storage_.get(), this, window(), step_, decoders, setup_.createRenderer));
    requestRedraw();
}

void BenchmarkGroupState::setMeasurement(BenchmarkState* next) {
    requestRedraw();
    // Steps advance only once the running measurement has ended, so none runs here; one
    // that does is ended without a result rather than stored half-measured.
    if (measurement_)
        measurement_->stop();
    measurement_.reset(next);
    if (!next)
        return;
    const auto name = decoderNames_.find(step_);
    if (name != decoderNames_.end() && storage_->isFastEnough(name->second)) {
        if (measurement_->enter())
            return;
        measurement_->leave();  // posts kCommandMeasurementNoRenderer
    } else {
        postCommand(kCommandDecoderTooSlow);
    }
    measurement_.reset();
}

void BenchmarkGroupState::finish() {
    ConfigStore& settings = config();
    // Once the key exists, DXVA takes part in the measurement but is never chosen.
    if (settings.get<std::int32_t>("Benchmark.DXVA", "999999") != kExcluded)
        settings.set("Benchmark.DXVA", kExcluded, true);
    storage_->applyResults(renderName_);
}

void BenchmarkGroupState::joinLoader() {
    if (loaderThread_.joinable())
        loaderThread_.join();
}

void BenchmarkGroupState::postCommand(int id) {
    if (window())
        window()->postCommand(id);
}

void BenchmarkGroupState::requestRedraw() {
    if (window())
        window()->requestRedraw();
}

void BenchmarkGroupState::framebufferSize(int& width, int& height) {
    width = 0;
    height = 0;
    if (AbstractGraphicsContext* context = window() ? window()->getGraphicsContext() : nullptr)
        context->getFramebufferSize(&width, &height);
}
