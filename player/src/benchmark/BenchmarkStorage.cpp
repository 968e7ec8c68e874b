#include "player/BenchmarkStorage.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "core/LogLine.h"

BenchmarkStorage::BenchmarkStorage(std::string versionTag, std::string libFolder, ConfigStore* config)
    : versionTag_(std::move(versionTag)), libFolder_(libFolder.empty() ? getLibFolder() : std::move(libFolder)),
      config_(config) {
    qualityNames_ = {{true, "HI"}, {false, "LOW"}};
    resolutionNames_ = {{true, "FULLHD"}, {false, "HDREADY"}};
    for (bool fullHd : {false, true}) {
        for (bool hi : {false, true}) {
            auto suite = std::make_shared<BenchmarkSuite>();
            suite->hiQuality = hi;
            suite->fullHd = fullHd;
            suite->name = resolutionNames_[fullHd] + "_" + qualityNames_[hi];
            std::string lower = suite->name;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            suite->path = libFolder_ + "/" + sampleBaseName_ + "_" + lower + ".data";
            if (suite->data.load(suite->path)) {
                NIMBROSTA_LOG(0, "BenchmarkStorage::BenchmarkStorage")
                    << suite->name << ": " << suite->data.unitCount() << " units, " << suite->data.size() << " bytes";
                suites_.push_back(std::move(suite));
            }
        }
    }
}

ConfigStore& BenchmarkStorage::config() const {
    return config_ ? *config_ : ConfigStore::instance();
}

IBenchmarkDataProvider* BenchmarkStorage::currentData() {
    if (currentSuite_ >= suites_.size())
        return nullptr;
    return &suites_[currentSuite_]->data;
}

std::string BenchmarkStorage::currentLabel() {
    if (currentSuite_ >= suites_.size())
        return currentDecoder_;
    return currentDecoder_ + suites_[currentSuite_]->name;
}

bool BenchmarkStorage::nextSuite() {
    if (suites_.empty() || currentSuite_ + 1 >= suites_.size())
        return false;
    ++currentSuite_;
    return true;
}

bool BenchmarkStorage::isFastEnough(const std::string& decoderName) {
    currentDecoder_ = decoderName;
    const auto decoder = results_.find(decoderName);
    if (decoder == results_.end() || decoder->second.empty())
        return true;  // its first suite
    if (suites_.empty())
        return false;
    // The suite before the current one (for the first suite, the last one).
    const std::size_t previous = currentSuite_ == 0 ? suites_.size() - 1 : currentSuite_ - 1;
    if (previous >= suites_.size())
        return false;
    const auto result = decoder->second.find(suites_[previous]->name);
    if (result == decoder->second.end())
        return false;
    return result->second.fps > minimumFps;
}

std::uint32_t BenchmarkStorage::framesPerSecond(std::size_t units, std::uint32_t elapsedMs) {
    // A sample played within the clock's resolution would divide by zero: count 1 ms.
    const double seconds = double(std::max<std::uint32_t>(elapsedMs, 1)) / 1000.0;
    const double fps = double(units) / seconds;
    if (fps >= double(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return std::uint32_t(fps);
}

std::uint32_t BenchmarkStorage::score(std::uint32_t fps) const {
    if (fps >= highFps)
        return fullScoreFps;
    return std::uint32_t(double(fullScoreFps) * double(fps) / double(highFps));
}

void BenchmarkStorage::storeResult(std::uint32_t elapsedMs) {
    if (currentSuite_ >= suites_.size())
        return;
    const std::shared_ptr<BenchmarkSuite>& suite = suites_[currentSuite_];
    BenchmarkResult& result = results_[currentDecoder_][suite->name];
    result.suite = suite;
    result.elapsedMs = elapsedMs;
    result.fps = framesPerSecond(suite->data.unitCount(), elapsedMs);
    NIMBROSTA_LOG(0, "BenchmarkStorage::storeResult")
        << currentDecoder_ << " " << suite->name << ": " << elapsedMs << " ms, " << result.fps << " fps";
    config().set("Benchmark." + currentDecoder_ + "_" + suite->name + "_FPS", result.fps, true);
}

void BenchmarkStorage::applyResults(const std::string& renderName) {
    ConfigStore& settings = config();
    settings.setString("Benchmark.Version", versionTag_, true);
    settings.set("Benchmark.NeedToRun", false, true);
    settings.setString("Benchmark.RenderName", renderName, true);

    // The decoder with the smallest total time over the suites it ran; on equal totals the
    // name that sorts first.
    std::string best;
    std::uint32_t bestTotal = BenchmarkResult::kNotMeasured;
    for (const auto& [decoder, suites] : results_) {
        if (settings.get<std::int32_t>("Benchmark." + decoder, "0") == kExcluded)
            continue;
        std::uint32_t total = 0;
        for (const auto& entry : suites)
            total += entry.second.elapsedMs;
        settings.set("Benchmark." + decoder, total, true);
        if (total < bestTotal) {
            best = decoder;
            bestTotal = total;
        }
    }
    if (best.empty())
        return;
    settings.setString("Benchmark.Best", best, true);
    settings.setString("Decoder.Choice", best, true);

    // The most demanding format the best decoder played at minimumFps or more. When none,
    // FULLHD and HI stay, with the figure of the last format tried deciding the frame rate.
    bool fullHd = true;
    bool hi = true;
    std::int32_t fps = 0;
    const std::pair<bool, bool> formats[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const auto& [resolution, quality] : formats) {
        const std::string suite = resolutionNames_[resolution] + "_" + qualityNames_[quality];
        fps = settings.get<std::int32_t>("Benchmark." + best + "_" + suite + "_FPS", "0");
        if (fps >= std::int32_t(minimumFps)) {
            fullHd = resolution;
            hi = quality;
            break;
        }
    }
    settings.set("Decoder.FPS", fps > std::int32_t(highFps) ? 60 : 30, true);
    settings.setString("Decoder.Resolution", resolutionNames_[fullHd], true);
    settings.setString("Decoder.Bitrate", qualityNames_[hi], true);

    std::uint32_t scores = 0;
    std::uint32_t count = 0;
    for (const auto& entry : results_[best]) {
        const BenchmarkResult& result = entry.second;
        const std::size_t units = result.suite ? result.suite->data.unitCount() : 0;
        scores += score(framesPerSecond(units, result.elapsedMs));
        ++count;
    }
    settings.set("Decoder.Score", count ? scores / count : 0, true);
    NIMBROSTA_LOG(0, "BenchmarkStorage::applyResults")
        << "best " << best << ", " << resolutionNames_[fullHd] << " " << qualityNames_[hi] << ", score "
        << (count ? scores / count : 0);
}
