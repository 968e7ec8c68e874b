// Costs of the core paths that may run per packet: a log line, and a task round trip
// through a thread pool.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

#include "core/LogLine.h"
#include "core/ThreadPool.h"

namespace {

// Points standard output at /dev/null for the scope (the report is written between runs).
class StdoutToNull {
public:
    StdoutToNull() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~StdoutToNull() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }

private:
    int saved_;
};

const char* const kMessage = "received frame with a message of about sixty characters";

void BM_LogLineToDevNull(benchmark::State& state) {
    StdoutToNull redirect;
    int i = 0;
    for (auto _ : state) {
        LogLine(0, "StreamBench::onFrame", __LINE__).stream() << kMessage << ' ' << ++i;
    }
}
BENCHMARK(BM_LogLineToDevNull);

void BM_LogLineSilentLevel100(benchmark::State& state) {
    StdoutToNull redirect;
    int i = 0;
    for (auto _ : state) {
        LogLine(100, "StreamBench::onFrame", __LINE__).stream() << kMessage << ' ' << ++i;
    }
}
BENCHMARK(BM_LogLineSilentLevel100);

void BM_FormatString(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(formatString("%d%% of %s", 42, "bitrate"));
}
BENCHMARK(BM_FormatString);

class SignalTask : public TaskBase {
public:
    SignalTask(std::mutex& m, std::condition_variable& cv, bool& done) : TaskBase(false), m_(m), cv_(cv), done_(done) {}
    bool run() override {
        {
            std::lock_guard<std::mutex> guard(m_);
            done_ = true;
        }
        cv_.notify_one();
        return true;
    }

private:
    std::mutex& m_;
    std::condition_variable& cv_;
    bool& done_;
};

// post() of a fresh task and the wait until a worker has run it.
void BM_ThreadPoolPostRoundTrip(benchmark::State& state) {
    ThreadPool pool(static_cast<unsigned>(state.range(0)));
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    for (auto _ : state) {
        done = false;
        pool.post(std::make_shared<SignalTask>(m, cv, done));
        std::unique_lock<std::mutex> guard(m);
        cv.wait(guard, [&] { return done; });
    }
}
BENCHMARK(BM_ThreadPoolPostRoundTrip)->Arg(1)->Arg(2);

// execute() of a task with two follow-ups on the calling thread.
void BM_ThreadPoolExecuteWithFollowUps(benchmark::State& state) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    auto task = std::make_shared<SignalTask>(m, cv, done);
    task->addOnSuccess(std::make_shared<SignalTask>(m, cv, done));
    task->addOnSuccess(std::make_shared<SignalTask>(m, cv, done));
    for (auto _ : state) benchmark::DoNotOptimize(ThreadPool::execute(task.get()));
}
BENCHMARK(BM_ThreadPoolExecuteWithFollowUps);

}  // namespace
