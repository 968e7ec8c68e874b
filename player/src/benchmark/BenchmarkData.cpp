#include "player/BenchmarkData.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/LogLine.h"
#include "stream/media/H264NalParser.h"

namespace {

// The whole file into bytes (followed by padding zero bytes); false when it cannot be read
// completely.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
              std::uint64_t(info.st_size) <= std::uint64_t(INT_MAX);
    if (ok) {
        size = std::size_t(info.st_size);
        bytes.assign(size + BenchmarkData::kPadding, 0);
        std::size_t done = 0;
        while (ok && done < size) {
            const ssize_t n = ::read(fd, bytes.data() + done, size - done);
            if (n > 0)
                done += std::size_t(n);
            else if (n == 0 || errno != EINTR)
                ok = false;  // shorter than its size, or an error
        }
    }
    ::close(fd);
    return ok;
}

// The length of the start code at p (3 or 4), 0 when there is none.
int startCodeAt(const std::uint8_t* p, std::size_t left) {
    if (left >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1)
        return 3;
    return left >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1 ? 4 : 0;
}

}  // namespace

bool BenchmarkData::hasMore() {
    return nextUnit_.load(std::memory_order_acquire) < units_.size();
}

const BenchmarkAccessUnit* BenchmarkData::next() {
    const std::uint32_t index = nextUnit_.load(std::memory_order_relaxed);
    if (index >= units_.size())
        return nullptr;
    nextUnit_.store(index + 1, std::memory_order_release);
    return &units_[index];
}

void BenchmarkData::rewind() {
    nextUnit_.store(0, std::memory_order_release);
}

bool BenchmarkData::load(const std::string& path) {
    units_.clear();
    bytes_.clear();
    size_ = 0;
    rewind();
    if (!readWholeFile(path, bytes_, size_)) {
        bytes_.clear();
        size_ = 0;
        NIMBROSTA_LOG(50, "BenchmarkData::load") << "cannot read " << path;
        return false;
    }

    H264NalParser parser;
    const std::uint8_t* const data = bytes_.data();
    const int total = int(size_);
    int position = 0;
    bool broken = false;
    while (position < total && !broken) {
        BenchmarkAccessUnit unit;
        unit.data = data + position;
        int end = position;
        // NAL units join the access unit until one that is not SPS, PPS or SEI ends it.
        while (end < total) {
            const int startCode = startCodeAt(data + end, std::size_t(total - end));
            const int length = startCode ? parser.parseNal(data + end, total - end, true) : 0;
            if (length <= startCode) {  // no start code, or one with nothing after it
                broken = true;
                break;
            }
            end += length;
            const int type = parser.lastNalType();
            if (type == 7 || type == 8) {
                unit.hasParameterSets = true;
                continue;
            }
            if (type == 6)
                continue;
            break;
        }
        if (end == position)
            break;
        unit.length = std::uint32_t(end - position);
        units_.push_back(unit);
        position = end;
    }

    if (units_.empty() || position != total) {
        NIMBROSTA_LOG(50, "BenchmarkData::load") << path << " is not a whole H.264 stream";
        units_.clear();
        return false;
    }
    return true;
}
