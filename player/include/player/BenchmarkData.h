#pragma once
// One decoder-benchmark sample in memory: a raw H.264 stream (Annex B start codes) read
// whole from its file and split into access units, which a measurement hands one by one to
// a render implementation.
//
// Threads: load on the sample-loading thread; afterwards next() on the measurement worker
// while the render thread asks hasMore(); rewind() only once the worker has finished.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One access unit of a sample.
struct BenchmarkAccessUnit {
    const std::uint8_t* data = nullptr;  // its first byte, inside the sample's bytes
    std::uint32_t length = 0;            // bytes, start codes included
    bool hasParameterSets = false;       // it contains an SPS or a PPS
};

class IBenchmarkDataProvider {
public:
    virtual bool hasMore() = 0;
    // The next unit, or null at the end; advances.
    virtual const BenchmarkAccessUnit* next() = 0;
    // Starts over at the first unit.
    virtual void rewind() = 0;
    virtual ~IBenchmarkDataProvider() = default;
};

class BenchmarkData : public IBenchmarkDataProvider {
public:
    // Zeroed bytes kept after every unit, read by decoders that look past a unit's end.
    static constexpr std::size_t kPadding = 128;

    BenchmarkData() = default;
    BenchmarkData(const BenchmarkData&) = delete;
    BenchmarkData& operator=(const BenchmarkData&) = delete;

    bool hasMore() override;
    const BenchmarkAccessUnit* next() override;
    void rewind() override;

    // Reads the file at path and splits it into access units: a unit runs up to and
    // including its first NAL unit that is not an SPS, PPS or SEI (or to the end of the
    // data). True when the file was read, holds at least one unit and the units cover it
    // exactly. A file that cannot be read, is empty, ends in a cut-off start code or does
    // not begin with a start code gives false (logged); the walk always ends.
    bool load(const std::string& path);

    const std::vector<BenchmarkAccessUnit>& units() const { return units_; }
    std::size_t unitCount() const { return units_.size(); }
    // The size of the sample file.
    std::size_t size() const { return size_; }
    // The units in file order, each followed by kPadding zero bytes.
    const std::uint8_t* bytes() const { return bytes_.get(); }

private:
    std::atomic<std::uint32_t> nextUnit_{0};
    std::vector<BenchmarkAccessUnit> units_;
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
};
