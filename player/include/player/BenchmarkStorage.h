#pragma once
// The decoder benchmark's samples and results. The samples are raw H.264 files in the lib
// folder, one per pair of resolution and quality ("benchmark_hdready_low.data" ...
// "benchmark_fullhd_hi.data"); each loaded one is a suite. A measurement plays every unit of
// the current suite through one decoder and stores the time it took; at the end the results
// choose the decoder, the stream resolution, frame rate and quality, written to the settings.
//
// Settings written (all persisted at once):
//   storeResult:  Benchmark.<decoder>_<suite>_FPS
//   applyResults: Benchmark.Version, Benchmark.NeedToRun, Benchmark.RenderName,
//                 Benchmark.<decoder> (total ms), Benchmark.Best, Decoder.Choice, Decoder.FPS,
//                 Decoder.Resolution, Decoder.Bitrate, Decoder.Score
// A setting that holds text where a number belongs reads as its default (logged at 50).
//
// Threads: constructed on the sample-loading thread; afterwards used from the render thread,
// while the measurement worker reads the current suite's data.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/BenchmarkData.h"

class ConfigStore;

class IBenchmarkStorageProvider {
public:
    // The current suite's data, or null when the suite index is out of range.
    virtual IBenchmarkDataProvider* currentData() = 0;
    virtual void storeResult(std::uint32_t elapsedMs) = 0;
    // The current decoder's name followed by the current suite's ("VAAPIHDREADY_LOW").
    virtual std::string currentLabel() = 0;
    virtual ~IBenchmarkStorageProvider() = default;
};

// One sample file.
struct BenchmarkSuite {
    bool hiQuality = false;
    bool fullHd = false;
    std::string path;
    std::string name;  // "HDREADY_LOW", "HDREADY_HI", "FULLHD_LOW", "FULLHD_HI"
    BenchmarkData data;
};

struct BenchmarkResult {
    static constexpr std::uint32_t kNotMeasured = 999999;
    std::shared_ptr<BenchmarkSuite> suite;
    std::uint32_t elapsedMs = kNotMeasured;
    std::uint32_t fps = kNotMeasured;
};

class BenchmarkStorage : public IBenchmarkStorageProvider {
public:
    // The built-in tag of this benchmark's version.
    static constexpr const char* kVersionTag = "KdWfNrHsPeVaLm";
    // A decoder whose Benchmark.<decoder> holds this is never chosen.
    static constexpr std::int32_t kExcluded = 999999;

    const std::uint32_t fullScoreFps = 100;  // the score of a suite at highFps, the scale
    const std::uint32_t highFps = 60;        // above this: 60 frames per second are chosen
    const std::uint32_t minimumFps = 30;     // to exceed for the next suite, to reach for a format

    // Loads the samples from libFolder in the order HDREADY_LOW, HDREADY_HI, FULLHD_LOW,
    // FULLHD_HI, leaving out those missing or broken. Settings go to config (the process's
    // store by default).
    explicit BenchmarkStorage(std::string versionTag = kVersionTag, std::string libFolder = std::string(),
                              ConfigStore* config = nullptr);

    IBenchmarkDataProvider* currentData() override;
    // Stores the current suite's result for the current decoder: the elapsed time and the
    // frames per second it gives; writes Benchmark.<decoder>_<suite>_FPS.
    void storeResult(std::uint32_t elapsedMs) override;
    std::string currentLabel() override;

    // Makes decoderName the current decoder; true when it is to be measured on the current
    // suite: it has no result yet, or it exceeded minimumFps on the previous suite.
    bool isFastEnough(const std::string& decoderName);
    // Advances to the next suite; false when the current one is the last (or there is none).
    bool nextSuite();
    // Writes the results and the choice to the settings. renderName: the OpenGL renderer
    // string (GL_RENDERER) as the driver returns it.
    void applyResults(const std::string& renderName);

    // Frames per second of units played in elapsedMs (an elapsed time of 0 counts as 1 ms).
    static std::uint32_t framesPerSecond(std::size_t units, std::uint32_t elapsedMs);
    // The score of a suite at fps: fullScoreFps at highFps or more, else in proportion.
    std::uint32_t score(std::uint32_t fps) const;

    const std::vector<std::shared_ptr<BenchmarkSuite>>& suites() const { return suites_; }
    std::uint32_t currentSuiteIndex() const { return currentSuite_; }
    const std::string& currentDecoder() const { return currentDecoder_; }
    const std::map<std::string, std::map<std::string, BenchmarkResult>>& results() const { return results_; }

private:
    ConfigStore& config() const;

    std::string versionTag_;
    std::string sampleBaseName_ = "benchmark";
    std::string libFolder_;
    std::map<bool, std::string> qualityNames_;
    std::map<bool, std::string> resolutionNames_;
    std::map<std::string, std::map<std::string, BenchmarkResult>> results_;
    std::string currentDecoder_;
    std::vector<std::shared_ptr<BenchmarkSuite>> suites_;
    std::uint32_t currentSuite_ = 0;
    ConfigStore* config_;
};
