#include "core/Random.h"

#include <cstdint>
#include <mutex>

namespace {
struct RandomState {
    std::mutex mutex;
    std::uint32_t state = 1;
    std::function<int()> source;
};

RandomState& randomState() {
    static RandomState s;
    return s;
}
}  // namespace

void seedRandom(unsigned seed) {
    RandomState& s = randomState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.state = seed;
}

int nextRandom() {
    RandomState& s = randomState();
    std::function<int()> source;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.source) {
            // The classic linear congruential step; the high bits are the better ones.
            s.state = s.state * 214013u + 2531011u;
            return static_cast<int>((s.state >> 16) & 0x7FFF);
        }
        source = s.source;
    }
    return source() & 0x7FFF;
}

void setRandomSource(std::function<int()> source) {
    RandomState& s = randomState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.source = std::move(source);
}
