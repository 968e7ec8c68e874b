#pragma once
// A sink that keeps everything the library hands it, for assertions.

#include <cstdint>
#include <string>
#include <vector>

#include "rtspclient/IRTSPSink.h"

struct RecordedUnit {
    std::string bytes;  // without the prefix
    std::vector<std::uint16_t> sequences;
    bool marker = false;
    bool paddingZero = true;
    std::uint32_t timestamp = 0;
};

struct RecordedLoss {
    std::uint16_t lostCount = 0;
    std::vector<RTSPLostRange> ranges;
    std::uint32_t timestamp = 0;
    std::size_t unitsBefore = 0;  // units delivered before this report
};

class RecordingSink : public IRTSPSink {
public:
    explicit RecordingSink(int prefix = 4, int* destroyed = nullptr) : prefix_(prefix), destroyed_(destroyed) {}
    ~RecordingSink() override {
        if (destroyed_) ++*destroyed_;
    }
    void onLosses(const RTSPPacketInfo* report) override {
        RecordedLoss loss;
        if (report) {
            loss.lostCount = report->lostCount;
            if (report->lostRanges) loss.ranges = *report->lostRanges;
            loss.timestamp = report->timestamp;
        }
        loss.unitsBefore = units.size();
        losses.push_back(loss);
    }
    void onPacket(RTSPPacketInfo* packet) override {
        RecordedUnit u;
        nullVectors = nullVectors || !packet->sequenceNumbers || !packet->lostRanges;
        if (packet->size < static_cast<std::uint32_t>(prefix_)) {
            tooSmall = true;
            return;
        }
        // The prefix must be writable: write to it as a real sink does.
        for (int i = 0; i < prefix_; ++i) packet->data[i] = 0xAA;
        u.bytes.assign(reinterpret_cast<const char*>(packet->data + prefix_), packet->size - prefix_);
        for (int i = 0; i < 64; ++i)
            if (packet->data[packet->size + i] != 0) u.paddingZero = false;
        if (packet->sequenceNumbers) u.sequences = *packet->sequenceNumbers;
        u.marker = packet->marker;
        u.timestamp = packet->timestamp;
        if (packet->lostRanges) packet->lostRanges->push_back({1, 1});  // sinks append here
        units.push_back(u);
    }
    void detach(int value) override { detached.push_back(value); }
    int prefixSize() override { return prefix_; }

    std::vector<RecordedUnit> units;
    std::vector<RecordedLoss> losses;
    std::vector<int> detached;
    bool nullVectors = false;
    bool tooSmall = false;

private:
    int prefix_;
    int* destroyed_;
};
