#include "player/BenchmarkData.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/LogLine.h"
#include "stream/media/H264NalParser.h"

namespace {

// A sample file mapped read-only for the split; the units are then copied out once, each
// followed by its padding.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
            std::uint64_t(info.st_size) <= std::uint64_t(INT_MAX)) {
            size_ = std::size_t(info.st_size);
            readable_ = true;
            if (size_ > 0) {
                void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
                if (map == MAP_FAILED)
                    readable_ = false;
                else
                    data_ = static_cast<const std::uint8_t*>(map);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_)
            ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool readable() const { return readable_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool readable_ = false;
};

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
    bytes_.reset();
    size_ = 0;
    rewind();
    const MappedFile file(path);
    if (!file.readable()) {
        NIMBROSTA_LOG(50, "BenchmarkData::load") << "cannot read " << path;
        return false;
    }

    // Units as offsets into the file first; the pointers follow once the bytes are copied.
    H264NalParser parser;
    const std::uint8_t* const data = file.data();
    const int total = int(file.size());
    int position = 0;
    bool broken = false;
    while (position < total && !broken) {
        BenchmarkAccessUnit unit;
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

    // Each unit followed by zeroed padding, so that a decoder reading past the end of the
    // unit it was handed reads zeros, not the next unit.
    bytes_.reset(new std::uint8_t[file.size() + units_.size() * kPadding]);
    std::uint8_t* out = bytes_.get();
    const std::uint8_t* in = data;
    for (BenchmarkAccessUnit& unit : units_) {
        std::memcpy(out, in, unit.length);
        std::memset(out + unit.length, 0, kPadding);
        unit.data = out;
        in += unit.length;
        out += unit.length + kPadding;
    }
    size_ = file.size();
    return true;
}
