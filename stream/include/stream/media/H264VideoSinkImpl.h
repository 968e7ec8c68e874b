#pragma once
// H.264 frame assembly: turns the NAL units that the RTSP library delivers (one unit per
// onPacket) into what the video consumer wants, tracks sequence gaps, asks the streamer
// for IDR frames, reports lost packets and can record the delivered stream.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <fstream>
#include <mutex>
#include <vector>

#include "rtspclient/IRTSPSink.h"
#include "stream/media/H264NalParser.h"

class IMediaSession;
class IRenderImplementation;

// Bytes received over a sliding window of whole seconds.
class BitrateWindow {
public:
    using Clock = std::chrono::steady_clock;

    explicit BitrateWindow(std::uint8_t seconds = 5) : seconds_(seconds) {}

    void add(std::uint32_t bytes) { add(bytes, Clock::now()); }
    void add(std::uint32_t bytes, Clock::time_point now);
    // Kilobits (of 1024 bits) per second over the window.
    std::uint32_t kbps() const;

private:
    struct Sample {
        Clock::time_point time;
        std::uint32_t bytes;
    };
    // A ring of samples that grows when full and never shrinks, so that steady traffic
    // needs no allocation.
    std::vector<Sample> ring_;
    std::size_t head_ = 0;  // oldest sample
    std::size_t count_ = 0;
    std::uint8_t seconds_;
    std::uint32_t total_ = 0;
};

class FrameAccumulator {
public:
    static constexpr std::size_t kFramePadding = 64;      // zero bytes after every whole frame
    static constexpr std::size_t kFrameReserve = 131072;  // initial frame buffer capacity
    static constexpr std::size_t kMaxFrameSize = 64u << 20;  // a frame buffer never grows past this
    static constexpr std::size_t kMaxSequenceList = 4096;

    FrameAccumulator();
    virtual ~FrameAccumulator() = default;

    // One NAL unit: buf holds 4 free bytes followed by the unit; size counts them.
    // sequenceNumbers may be null. Returns the result of a delivery made, else 0.
    int processPacket(std::uint8_t* buf, std::uint32_t size, const std::vector<std::uint16_t>* sequenceNumbers,
                      bool marker);
    // Appends the pending gaps to out (when not null), empties them and returns the
    // number of lost packets counted since the last call.
    std::uint16_t takeLosses(std::vector<RTSPLostRange>* out);

    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }
    const H264NalParser& parser() const { return parser_; }

protected:
    // A changed SPS was stored.
    virtual void onSPS(const std::vector<std::uint8_t>& sps, const std::vector<std::uint8_t>& pps) = 0;
    // A changed PPS (or one following a changed SPS) was stored.
    virtual void onPPS(const std::vector<std::uint8_t>& sps, const std::vector<std::uint8_t>& pps) = 0;
    // One delivery.
    virtual int onFrame(std::uint32_t flags, const std::uint8_t* data, std::uint32_t size) = 0;

private:
    // Hands over the frame buffer; with keepTail the units after its last slice (and their
    // flags) stay behind as the start of the next frame.
    int deliverFrameBuffer(bool keepTail = false);
    void trackSequence(const std::vector<std::uint16_t>& numbers);
    void logBitrate();

    std::uint8_t lastFrameTag_ = 0;
    std::vector<std::uint16_t> sequence_;
    std::vector<RTSPLostRange> pendingGaps_;
    std::uint16_t lostTotal_ = 0;
    std::uint32_t flags_ = 0;
    int mode_ = 0;
    std::vector<std::uint8_t> frame_;
    // The frame buffer holds a slice; until then it only holds units that lead the next picture.
    bool frameHasSlice_ = false;
    // Units after the buffer's last slice (from tailStart_ on) and their flags: they belong
    // to the picture in the buffer when the next slice continues it, and lead the next
    // picture when that slice starts one.
    std::size_t tailStart_ = 0;
    std::uint32_t tailFlags_ = 0;
    std::vector<std::uint8_t> tail_;
    H264NalParser parser_;
    bool spsChanged_ = false;
    std::vector<std::uint8_t> storedSps_;
    std::vector<std::uint8_t> storedPps_;
    BitrateWindow bitrate_{5};
    bool bitrateTimerStarted_ = false;
    BitrateWindow::Clock::time_point bitrateTimer_;
};

class H264VideoSinkImpl : public IRTSPSink, public FrameAccumulator {
public:
    // Reads "General.SaveVideo" once.
    explicit H264VideoSinkImpl(IMediaSession* session);
    // With an explicit recording choice instead of the setting.
    H264VideoSinkImpl(IMediaSession* session, bool saveVideo);
    ~H264VideoSinkImpl() override;

    // Attaching a consumer re-reads its flags and asks for an IDR frame at the next packet.
    void setConsumer(IRenderImplementation* consumer);
    IRenderImplementation* consumer() const { return consumer_.load(); }

    void onLosses(const RTSPPacketInfo* report) override;
    void onPacket(RTSPPacketInfo* packet) override;
    void detach(int reason) override;
    int prefixSize() override { return 4; }

protected:
    void onSPS(const std::vector<std::uint8_t>& sps, const std::vector<std::uint8_t>& pps) override;
    void onPPS(const std::vector<std::uint8_t>& sps, const std::vector<std::uint8_t>& pps) override;
    int onFrame(std::uint32_t flags, const std::uint8_t* data, std::uint32_t size) override;

private:
    void record(const std::uint8_t* data, std::uint32_t size);

    std::recursive_mutex lock_;
    IMediaSession* session_;
    std::atomic<IRenderImplementation*> consumer_{nullptr};
    std::ofstream recording_;
    bool saveVideo_;
    std::atomic<bool> idrRequested_{false};
};

// The file name of a recording started at the given local time: "%d%m%Y-%H%M%S.h264".
std::string recordingFileName(std::time_t when);
