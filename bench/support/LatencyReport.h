#pragma once
// Reports latency samples (microseconds) of a benchmark as the counters p50_us, p99_us,
// max_us and samples. Sorts the samples.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

inline void reportLatencies(benchmark::State& state, std::vector<double>& samplesUs) {
    if (samplesUs.empty()) return;
    std::sort(samplesUs.begin(), samplesUs.end());
    auto at = [&](double q) { return samplesUs[static_cast<std::size_t>(q * (samplesUs.size() - 1))]; };
    state.counters["p50_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = samplesUs.back();
    state.counters["samples"] = static_cast<double>(samplesUs.size());
}
