#pragma once
// The boundary between the RTSP client library and the program: the record the library
// hands to a sink for each media unit and loss report, and the two callback interfaces
// it drives. Both sides are built with the same standard library, so the vectors may
// cross the boundary.

#include <cstdint>
#include <vector>

struct RTSPLostRange {
    std::uint16_t packetSeq;        // first missing sequence number of the gap
    std::uint16_t packetLossCount;  // how many packets the gap holds
};

struct RTSPPacketInfo {
    // Start of the unit: prefixSize() free bytes followed by the payload.
    std::uint8_t* data = nullptr;
    // Bytes from data on, prefix included.
    std::uint32_t size = 0;
    // onPacket: written by the sink (packets missing inside the unit); onLosses: read.
    std::uint16_t lostCount = 0;
    // RTP sequence numbers of the packets that carried this unit.
    std::vector<std::uint16_t>* sequenceNumbers = nullptr;
    // onPacket: the sink appends the gaps it found; onLosses: the library's gaps.
    std::vector<RTSPLostRange>* lostRanges = nullptr;
    // Interarrival jitter in milliseconds (logged only).
    std::uint16_t jitter = 0;
    // Timestamp of the report, passed on unchanged in loss reports.
    std::uint32_t timestamp = 0;
    // The unit ends an access unit (RTP marker bit).
    bool marker = false;
};

class IRTSPSink {
public:
    // True when constructed; the client overwrites it right after creating the sink.
    bool enabled = true;

    virtual ~IRTSPSink() = default;
    // Lost packets reported by the library; report may be null.
    virtual void onLosses(const RTSPPacketInfo* report) = 0;
    // One received media unit.
    virtual void onPacket(RTSPPacketInfo* packet) = 0;
    // Stop using the consumer; the value is passed on to it.
    virtual void detach(int value) = 0;
    // Bytes the library leaves free in front of every payload it delivers.
    virtual int prefixSize() = 0;
};

class IVideoRTSPClient {
public:
    virtual ~IVideoRTSPClient() = default;
    // Called for each media subsession about to be received; null means no sink.
    virtual IRTSPSink* createSink(const char* codecName, void* subsession) = 0;
    // The stream has ended on the library's side.
    virtual void onStop() = 0;
};
