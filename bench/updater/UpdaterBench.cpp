// The updater's file work at full size.
//
// BM_Md5OfFile256MiB: md5HexOfFile over a 256 MiB file and `md5sum` over the same file in
// the same iteration (page cache warm for both); counters ours_ms, md5sum_ms and ratio.
// BM_Download100MiB: a 100 MiB file fetched from the stand-in service over HTTPS into
// memory, as the updater holds a file until its md5 is checked; counter peak_MiB is the
// rise of the process's resident high-water mark during the download, ratio that rise
// over the file size.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "UpdaterTestSupport.h"
#include "updater/UpdateFiles.h"
#include "updater/UpdaterAPIJson.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

// A file of pseudo-random bytes under /tmp, removed at exit.
class BigFile {
public:
    explicit BigFile(std::size_t size) {
        char name[] = "/tmp/nimbrosta-bench-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path_ = name;
        std::ofstream out(path_, std::ios::binary);
        std::mt19937_64 random(42);
        std::vector<std::uint64_t> block(kMiB / 8);
        for (std::size_t done = 0; done < size; done += kMiB) {
            for (auto& word : block) word = random();
            out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(std::min(kMiB, size - done)));
        }
    }
    ~BigFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A value of /proc/self/status in KiB.
long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(key), key) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
    return -1;
}

double secondsOf(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Md5OfFile256MiB(benchmark::State& state) {
    static BigFile file(256 * kMiB);
    const std::string command = "md5sum " + file.path() + " > /dev/null";
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        std::string digest;
        ours += secondsOf([&] { digest = md5HexOfFile(file.path()); });
        benchmark::DoNotOptimize(digest);
        theirs += secondsOf([&] {
            if (std::system(command.c_str()) != 0) state.SkipWithError("md5sum failed");
        });
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours / n * 1000;
    state.counters["md5sum_ms"] = theirs / n * 1000;
    state.counters["ratio"] = ours / theirs;
}
BENCHMARK(BM_Md5OfFile256MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Download100MiB(benchmark::State& state) {
    static BigFile file(100 * kMiB);
    StubService& stub = updatertest::stub();
    stub.control("updates", "{\"files\":[{\"filename\":\"big\",\"source\":\"" + file.path() + "\"}]}");
    const std::string url = stub.baseUrl() + "/files/0";
    double peak = 0;
    for (auto _ : state) {
        // Resets the resident high-water mark to the current size.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKiB("VmRSS:");
        {
            UpdaterAPIJson json;
            std::vector<char> bytes;
            if (!json.requestDownloadFile(url, bytes) || bytes.size() != 100 * kMiB) state.SkipWithError("download failed");
        }
        peak = std::max(peak, double(statusKiB("VmHWM:") - before) / 1024.0);
    }
    state.counters["peak_MiB"] = peak;
    state.counters["ratio"] = peak / 100.0;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(100 * kMiB));
}
BENCHMARK(BM_Download100MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
