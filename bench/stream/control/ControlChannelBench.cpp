// The per-input-event path of the control channel: from InputInterface::send on the
// calling thread to the frame readable by a loopback peer, measured side by side with a
// bare loopback TCP socket writing a frame of the same size at the same moment.
//
// Each peer is a plain socket reader on its own thread that stamps the arrival time of
// every frame. Heap allocations are counted process-wide (every thread, the io thread
// included) by replacing the global operator new. The "busy" argument starts that many
// threads spinning on the CPU for the whole run, the load of a machine with other work.

#include "AllocationCounter.h"
#include "TestSupport.h"
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include <ctime>

#include "input-lib/InputClient.pb.h"
#include "stream/control/FrameReader.h"
#include "stream/session/InputAPI.h"
#include "stream/session/InputInterface.h"
#include "stubstreamer/StubStreamer.h"


namespace {

using Clock = std::chrono::steady_clock;

// Accepts one connection and reads frames as fast as they come.
class RawPeer {
public:
    RawPeer() {
        listener_ = testsupport::listenOnLoopback(port_);
        arrivals_.resize(1 << 20);
        thread_ = std::thread([this] { run(); });
    }
    ~RawPeer() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (conn_ >= 0) ::shutdown(conn_, SHUT_RDWR);
        thread_.join();
        if (conn_ >= 0) ::close(conn_);
        ::close(listener_);
    }
    int port() const { return port_; }
    std::uint64_t frames() const { return frames_.load(std::memory_order_acquire); }
    Clock::time_point arrival(std::uint64_t i) const { return arrivals_[i % arrivals_.size()]; }
    bool inOrder() const { return inOrder_.load(); }
    void waitFor(std::uint64_t n) const {
        while (frames() < n) {
        }
    }

private:
    void run() {
        conn_ = ::accept(listener_, nullptr, nullptr);
        if (conn_ < 0) return;
        std::vector<std::uint8_t> buf(1 << 16);
        FrameReader reader;
        std::uint16_t expected = 0;
        while (!stop_) {
            ssize_t n = ::recv(conn_, reader.writePointer(), reader.writableSize(), 0);
            if (n <= 0) return;
            const auto now = Clock::now();
            reader.commit(static_cast<std::size_t>(n));
            const std::uint8_t* body;
            std::uint32_t length;
            FrameReader::Result r;
            while ((r = reader.next(body, length)) == FrameReader::Result::Frame) {
                const auto i = frames_.load(std::memory_order_relaxed);
                arrivals_[i % arrivals_.size()] = now;
                ++expected;
                frames_.store(i + 1, std::memory_order_release);
            }
            if (r != FrameReader::Result::NeedMore) {
                inOrder_ = false;  // the reader checks the sequence numbers
                return;
            }
        }
    }

    int listener_ = -1;
    int conn_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> inOrder_{true};
    std::atomic<std::uint64_t> frames_{0};
    std::vector<Clock::time_point> arrivals_;
    std::thread thread_;
};

// A plain TCP connection to its own RawPeer: the baseline an input event is compared with.
class BareSocket {
public:
    explicit BareSocket(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~BareSocket() { ::close(fd_); }
    // Writes frame (header restamped with the next sequence number) with one send call.
    void write(std::vector<std::uint8_t>& frame) {
        FrameHeader::write(frame.data(), static_cast<std::uint32_t>(frame.size() - FrameHeader::kSize), sequence_++);
        ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL);
    }

private:
    int fd_ = -1;
    std::uint16_t sequence_ = 0;
};

// Threads that keep the CPUs busy while they live.
class BusyLoad {
public:
    explicit BusyLoad(int threads) {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] {
                volatile std::uint64_t x = 0;
                while (!stop_.load(std::memory_order_relaxed)) x = x + 1;
            });
    }
    ~BusyLoad() {
        stop_ = true;
        for (auto& t : threads_) t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

class Endpoint : public InputInterface {
public:
    void onConnectionStarted() override { started = true; }
    void onError(int) override {}
    void onConnectionClosed() override {}
    void onTimeout() override {}
    std::atomic<bool> started{false};
};

InputClient::Request mouseMove(int i) {
    InputClient::Request r;
    r.set_type(InputClient::Request::MOUSE_ACTION);
    auto* m = r.mutable_mouseaction();
    m->set_absx(i & 0xFFFF);
    m->set_absy((i * 7) & 0xFFFF);
    m->set_relx(1);
    m->set_rely(-1);
    m->set_screenx(1920);
    m->set_screeny(1080);
    m->set_flags(1);
    return r;
}

struct Session {
    RawPeer peer;
    Endpoint endpoint;
    RawPeer barePeer;
    BareSocket bare{barePeer.port()};
    std::vector<std::uint8_t> bareFrame;  // the size of our frame for the same event
    explicit Session(const InputClient::Request& event) {
        endpoint.InitiateConnection("127.0.0.1", peer.port());
        while (!endpoint.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bareFrame.assign(FrameHeader::kSize + event.ByteSizeLong(), 0);
        event.SerializeToArray(bareFrame.data() + FrameHeader::kSize, static_cast<int>(event.ByteSizeLong()));
    }
};

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    std::size_t k = static_cast<std::size_t>(p * (v.size() - 1));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

// One event at a time, ours and the bare socket's in turn: send, then wait until the peer
// has read it. Alternating puts both under the same load at the same moment.
void BM_SendLatency(benchmark::State& state) {
    BusyLoad load(static_cast<int>(state.range(0)));
    const auto request = mouseMove(1);
    Session s(request);
    std::vector<double> ours, bare;
    ours.reserve(1 << 20);
    bare.reserve(1 << 20);
    std::uint64_t sent = 0, bareSent = 0;
    // Warm the frame pool and the io thread's handler memory.
    for (int i = 0; i < 100; ++i) s.endpoint.send(request), ++sent;
    s.peer.waitFor(sent);
    const auto allocBefore = allocationCount().load();
    const auto senderBefore = threadAllocationCount();
    std::uint64_t measured = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        s.endpoint.send(request);
        s.peer.waitFor(++sent);
        ours.push_back(std::chrono::duration<double, std::micro>(s.peer.arrival(sent - 1) - t0).count());
        t0 = Clock::now();
        s.bare.write(s.bareFrame);
        s.barePeer.waitFor(++bareSent);
        bare.push_back(std::chrono::duration<double, std::micro>(s.barePeer.arrival(bareSent - 1) - t0).count());
        ++measured;
    }
    const auto allocs = allocationCount().load() - allocBefore;
    const auto senderAllocs = threadAllocationCount() - senderBefore;
    const double oursP99 = percentile(ours, 0.99), bareP99 = percentile(bare, 0.99);
    state.counters["p50_us"] = percentile(ours, 0.50);
    state.counters["p99_us"] = oursP99;
    state.counters["bare_p50_us"] = percentile(bare, 0.50);
    state.counters["bare_p99_us"] = bareP99;
    state.counters["p99_vs_bare"] = bareP99 > 0 ? oursP99 / bareP99 : 0;
    // The sample vectors reserved enough for a million samples each.
    state.counters["allocs_per_send"] = measured ? double(allocs) / double(measured) : 0;
    state.counters["sender_allocs_per_send"] = measured ? double(senderAllocs) / double(measured) : 0;
}
BENCHMARK(BM_SendLatency)->ArgName("busy")->Arg(0)->Arg(8)->UseRealTime();

// 100k small requests from one thread, all delivered in order.
void BM_Throughput100k(benchmark::State& state) {
    const auto request = mouseMove(2);
    Session s(request);
    std::uint64_t sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i) s.endpoint.send(request);
        sent += 100000;
        s.peer.waitFor(sent);
    }
    if (!s.peer.inOrder()) state.SkipWithError("frames arrived out of order");
    state.SetItemsProcessed(static_cast<std::int64_t>(sent));
}
BENCHMARK(BM_Throughput100k)->UseRealTime()->Unit(benchmark::kMillisecond);

// The input API end to end to the stand-in streamer: the call on this thread until the
// streamer has parsed and recorded the request.
template <class Send>
void inputToStub(benchmark::State& state, Send send) {
    StubStreamer stub;
    Endpoint endpoint;
    endpoint.InitiateConnection("127.0.0.1", stub.port());
    while (!endpoint.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::vector<double> micros;
    micros.reserve(1 << 20);
    std::size_t sent = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        send(endpoint.inputAPI(), static_cast<int>(sent));
        stub.waitForFrames(++sent);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    state.counters["p50_us"] = percentile(micros, 0.50);
    state.counters["p99_us"] = percentile(micros, 0.99);
    state.SetItemsProcessed(static_cast<std::int64_t>(sent));
}

void BM_MouseMoveToStub(benchmark::State& state) {
    inputToStub(state, [](InputAPI& in, int i) { in.MouseMove(i & 0xFFFF, 100, 1, -1, 1920, 1080, true); });
}
BENCHMARK(BM_MouseMoveToStub)->UseRealTime();

void BM_KeyDownToStub(benchmark::State& state) {
    inputToStub(state, [](InputAPI& in, int i) { in.KeyDown(0x41 + (i & 15), 0x1E, 0); });
}
BENCHMARK(BM_KeyDownToStub)->UseRealTime();

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// A 1 kHz mouse for one second: the CPU time of the whole process (sender, io thread and
// the plain socket peers, so an upper bound) as a share of one core, less the share of the
// same 1 ms pacing loop without events (timer wake-ups cost the pacing thread alone). The
// bare socket writes a frame of the same size per event to its own reader.
enum class Sender { None, Ours, Bare };

double pacedShare(Session& s, Sender sender) {
    const double cpu0 = processCpuSeconds();
    const auto start = Clock::now();
    auto next = start;
    for (int i = 0; i < 1000; ++i) {
        next += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(next);
        if (sender == Sender::Ours) s.endpoint.inputAPI().MouseMove(i, 100, 1, 0, 1920, 1080, false);
        if (sender == Sender::Bare) s.bare.write(s.bareFrame);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (processCpuSeconds() - cpu0) / wall;
}

void BM_Mouse1kHzCpu(benchmark::State& state) {
    Session s(mouseMove(1));
    double ours = 0, bare = 0, pacingOnly = 0;
    int rounds = 0;
    for (auto _ : state) {
        const double pacing = pacedShare(s, Sender::None);
        pacingOnly += pacing;
        ours += pacedShare(s, Sender::Ours) - pacing;
        bare += pacedShare(s, Sender::Bare) - pacing;
        ++rounds;
    }
    if (!rounds) return;
    state.counters["cpu_percent_of_core"] = 100.0 * ours / rounds;
    state.counters["bare_cpu_percent"] = 100.0 * bare / rounds;
    state.counters["cpu_vs_bare"] = bare > 0 ? ours / bare : 0;
    state.counters["pacing_only_percent"] = 100.0 * pacingOnly / rounds;
}
BENCHMARK(BM_Mouse1kHzCpu)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
