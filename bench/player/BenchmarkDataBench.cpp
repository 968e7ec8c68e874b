// Loading a decoder benchmark sample of 60 seconds at full HD (the build's 3-second
// FULLHD_HI sample repeated 20 times, about 116 MB): BenchmarkData::load (mapped, split
// into access units and copied out with padding after every unit) against reading the same file alone, with the file in the page cache
// (warm) and dropped from it before each load (cold, the disk's speed).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/BenchmarkData.h"

namespace {

constexpr int kRepeats = 20;

// The 60-second sample, made once in /tmp; "" when the build's sample is missing.
const std::string& longSample() {
    static const std::string path = [] {
        std::ifstream in(std::string(NIMBROSTA_LIB_DIR) + "/benchmark_fullhd_hi.data", std::ios::binary);
        const std::string one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (one.empty())
            return std::string();
        const std::string out = "/tmp/nimbrosta-bench-benchmark_fullhd_hi_60s.data";
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < kRepeats; ++i)
            file << one;
        std::atexit([] { std::remove("/tmp/nimbrosta-bench-benchmark_fullhd_hi_60s.data"); });
        return file ? out : std::string();
    }();
    return path;
}

void dropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Reads the whole file into a fresh buffer of its size, as a loader must.
std::size_t readOnly(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return 0;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    std::vector<std::uint8_t> buffer(std::size_t(size > 0 ? size : 0));
    std::size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + total, buffer.size() - total);
        if (n <= 0)
            break;
        total += std::size_t(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
    return total;
}

void BM_ReadFile(benchmark::State& state) {
    const std::string& path = longSample();
    if (path.empty()) {
        state.SkipWithError("benchmark_fullhd_hi.data missing");
        return;
    }
    const bool cold = state.range(0) != 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            dropFromCache(path);
            state.ResumeTiming();
        }
        bytes += readOnly(path);
    }
    state.SetBytesProcessed(std::int64_t(bytes));
}
BENCHMARK(BM_ReadFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadSample(benchmark::State& state) {
    const std::string& path = longSample();
    if (path.empty()) {
        state.SkipWithError("benchmark_fullhd_hi.data missing");
        return;
    }
    const bool cold = state.range(0) != 0;
    std::size_t bytes = 0, units = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            dropFromCache(path);
            state.ResumeTiming();
        }
        BenchmarkData data;
        if (!data.load(path)) {
            state.SkipWithError("the sample does not load");
            return;
        }
        bytes += data.size();
        units = data.unitCount();
    }
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["units"] = double(units);
}
BENCHMARK(BM_LoadSample)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loading again into the same object. Every load lays the units out in a fresh buffer (each
// unit followed by its zeroed padding), so this costs what a load from the page cache does.
void BM_ReloadSample(benchmark::State& state) {
    const std::string& path = longSample();
    if (path.empty()) {
        state.SkipWithError("benchmark_fullhd_hi.data missing");
        return;
    }
    BenchmarkData data;
    data.load(path);
    std::size_t bytes = 0;
    for (auto _ : state) {
        data.load(path);
        bytes += data.size();
    }
    state.SetBytesProcessed(std::int64_t(bytes));
}
BENCHMARK(BM_ReloadSample)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
