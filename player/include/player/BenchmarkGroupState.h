#pragma once
// The player's first screen: the decoder benchmark. On entering it decides whether the
// benchmark must run (never run, another graphics adapter, or another benchmark version);
// when not, it hands over to the machine selection at once. Otherwise a loading thread
// reads the samples, and then, for each sample in turn, every decoder family is measured in
// a fixed order (VAAPI, VDPAU, VDA, CUDA, DXVA, SOFTWARE), each measurement a
// BenchmarkState. A family too slow on one sample is not measured on the next. At the end
// the results and the chosen decoder and stream format go to the settings, and the
// machine selection follows.
//
// The steps advance by window commands: every measurement that ends (or could not start)
// posts one, and onCommand queues a step on the screen's own message queue, which update
// drains on the render thread. Commands posted, in order, for a run over two samples:
// kCommandPowerModeWarning (only when the power saver profile was active),
// kCommandBenchmarkLoading, kCommandBenchmarkSuiteStart, kCommandBenchmarkFirstDecoder, one
// of kCommandMeasurementEnded / NoRenderer / DecoderTooSlow per family, the same again for
// the second sample, then kCommandBenchmarkFinished.
//
// Threads: enter, update, leave and the steps on the render thread; onCommand on the main
// thread. Leaving the screen (the window closes mid-run) ends the running measurement (its
// worker joined before its implementation is released) and joins the loading thread. A power
// profile switched for the run stays for the stream that follows (the player puts it back
// when it ends). With "Debug.Diagram" set, a run shows the timing diagram's "DD" button.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "player/BenchmarkState.h"
#include "player/PlayerWindowState.h"
#include "shell/GLFWMessageThread.h"

class BenchmarkStorage;
class ConfigStore;
class DebugDiagramButton;

// Where the benchmark finds its samples, settings and decoders (tests point it elsewhere).
struct BenchmarkSetup {
    std::string libFolder;                       // the samples; "" the program's lib folder
    ConfigStore* config = nullptr;               // null: the process's settings
    RenderImplementationFactory createRenderer;  // empty: the render plug-ins
};

class BenchmarkGroupState : public PlayerWindowState, public GLFWMessageThread, private IBenchmarkHost {
public:
    // The step after the last measurement of a run, or when the benchmark does not run.
    static constexpr int kFinishedStep = 8;

    explicit BenchmarkGroupState(PlayerMainWindow* window, BenchmarkSetup setup = BenchmarkSetup());
    ~BenchmarkGroupState() override;

    bool enter() override;
    void leave() override;
    bool update(std::recursive_mutex& guiLock) override;
    bool isFinished() override;
    // The commands that advance the steps (a suite starts, a measurement ended or was
    // skipped) queue the next step.
    bool onCommand(int id) override;

    // Render thread: advances the step machine by one step.
    void step();
    // Render thread: replaces the running measurement with next (owned from now on) and
    // starts it when its decoder was fast enough on the previous sample.
    void setMeasurement(BenchmarkState* next);

    int currentStep() const { return step_; }
    // The timing diagram's button of a run with "Debug.Diagram" set, else null.
    DebugDiagramButton* diagramButton() const { return diagramButton_.get(); }

private:
    // IBenchmarkHost: the window's.
    void postCommand(int id) override;
    void requestRedraw() override;
    void framebufferSize(int& width, int& height) override;

    ConfigStore& config() const;
    // Writes the results and the choice.
    void finish();
    void joinLoader();

    BenchmarkSetup setup_;
    std::string versionTag_;
    std::unique_ptr<BenchmarkState> measurement_;
    std::thread loaderThread_;
    std::atomic<bool> storageLoaded_{false};
    std::shared_ptr<BenchmarkStorage> storage_;
    int step_ = 0;
    const std::map<int, std::string> decoderNames_;
    std::string renderName_;  // GL_RENDERER as the driver returns it
    std::shared_ptr<DebugDiagramButton> diagramButton_;
};
