#include "stream/media/H264VideoSinkImpl.h"

#include <cstring>
#include <ctime>

#include "core/ConfigStore.h"
#include "core/LogLine.h"
#include "stream/session/IMediaSession.h"
#include "stream/session/IRenderImplementation.h"

// ---------------------------------------------------------------------------------------
// BitrateWindow

void BitrateWindow::add(std::uint32_t bytes, Clock::time_point now) {
    if (count_ == ring_.size()) {
        // Full: grow, moving the samples to the front in order.
        std::vector<Sample> grown;
        grown.reserve(ring_.empty() ? 64 : ring_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) grown.push_back(ring_[(head_ + i) % ring_.size()]);
        grown.resize(grown.capacity());
        ring_.swap(grown);
        head_ = 0;
    }
    ring_[(head_ + count_) % ring_.size()] = Sample{now, bytes};
    ++count_;
    total_ += bytes;
    const double windowMs = seconds_ * 1000.0;
    while (count_ > 1) {
        const Sample& oldest = ring_[head_];
        const auto d = std::chrono::duration_cast<std::chrono::microseconds>(now - oldest.time).count() / 1000;
        if (static_cast<double>(d) <= windowMs) break;
        total_ -= oldest.bytes;
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
}

std::uint32_t BitrateWindow::kbps() const {
    if (seconds_ == 0) return 0;
    const std::uint32_t bits = total_ * 8u;
    return (bits / seconds_) >> 10;
}

// ---------------------------------------------------------------------------------------
// FrameAccumulator

FrameAccumulator::FrameAccumulator() {
    frame_.reserve(kFrameReserve);
    tail_.reserve(4096);  // parameter sets and SEI between pictures
    sequence_.reserve(1024);
    pendingGaps_.reserve(64);
}

void FrameAccumulator::logBitrate() {
    const auto now = BitrateWindow::Clock::now();
    if (!bitrateTimerStarted_) {
        bitrateTimerStarted_ = true;
        bitrateTimer_ = now;
        return;
    }
    if (std::chrono::duration_cast<std::chrono::milliseconds>(now - bitrateTimer_).count() > 5000) {
        bitrateTimer_ = now;
        LogLine(0, "FrameAccumulator::processPacket", __LINE__).stream() << "bitrate: " << bitrate_.kbps() << " kbps";
    }
}

void FrameAccumulator::trackSequence(const std::vector<std::uint16_t>& numbers) {
    if (numbers.empty()) return;
    const H264SliceInfo* slice = parser_.lastSlice();
    const std::uint8_t tag = slice ? static_cast<std::uint8_t>(slice->frame_num & 0xFF) : 0;
    const std::size_t k = sequence_.size();
    sequence_.insert(sequence_.end(), numbers.begin(), numbers.end());
    if (k != 0 && sequence_.size() >= 2) {
        for (std::size_t i = k; i < sequence_.size(); ++i) {
            const std::uint16_t gap = static_cast<std::uint16_t>(sequence_[i] - sequence_[i - 1] - 1);
            if (gap != 0) {
                lostTotal_ = static_cast<std::uint16_t>(lostTotal_ + gap);
                pendingGaps_.push_back(RTSPLostRange{sequence_[i], gap});
            }
        }
    }
    // Only the last number is ever compared, so a list that never restarts (a stream of
    // IDR pictures keeps frame_num at 0) is cut back instead of growing for good.
    if (tag != lastFrameTag_ || sequence_.size() > kMaxSequenceList) {
        const std::uint16_t last = numbers.back();
        sequence_.clear();
        sequence_.push_back(last);
        lastFrameTag_ = tag;
    }
}

std::uint16_t FrameAccumulator::takeLosses(std::vector<RTSPLostRange>* out) {
    if (out) out->insert(out->end(), pendingGaps_.begin(), pendingGaps_.end());
    pendingGaps_.clear();
    const std::uint16_t lost = lostTotal_;
    lostTotal_ = 0;
    return lost;
}

int FrameAccumulator::deliverFrameBuffer(bool keepTail) {
    keepTail = keepTail && tailStart_ < frame_.size();
    std::uint32_t flags = flags_ | kFrameWhole;
    if (keepTail) {
        tail_.assign(frame_.begin() + static_cast<std::ptrdiff_t>(tailStart_), frame_.end());
        frame_.resize(tailStart_);
    } else {
        flags |= tailFlags_;
    }
    const std::size_t size = frame_.size();
    frame_.insert(frame_.end(), kFramePadding, 0);
    const int result = onFrame(flags, frame_.data(), static_cast<std::uint32_t>(size));
    frame_.clear();
    flags_ = keepTail ? tailFlags_ : 0;
    if (keepTail) frame_.insert(frame_.end(), tail_.begin(), tail_.end());
    tailFlags_ = 0;
    tailStart_ = frame_.size();
    frameHasSlice_ = false;
    return result;
}

int FrameAccumulator::processPacket(std::uint8_t* buf, std::uint32_t size,
                                    const std::vector<std::uint16_t>* sequenceNumbers, bool marker) {
    // A unit without a NAL header byte carries nothing to assemble; its sequence numbers
    // still count, so that it is not reported as lost.
    if (!buf || size <= 4 || size > 0x7FFFFFFFu) {
        if (sequenceNumbers) trackSequence(*sequenceNumbers);
        return 0;
    }

    bitrate_.add(size);
    logBitrate();

    buf[0] = 0;
    buf[1] = 0;
    buf[2] = 0;
    buf[3] = 1;
    parser_.parseNal(buf, static_cast<int>(size), false);
    if (sequenceNumbers) trackSequence(*sequenceNumbers);

    const int type = parser_.lastNalType();
    const bool slice = type >= 1 && type <= 5;
    const H264SliceInfo* info = parser_.lastSlice();
    // Only a slice whose own header was read can start a picture. Units between slices do
    // not: payloaders repeat the parameter sets in front of every slice of a key frame.
    const bool startsPicture = parser_.lastUnitWasSlice() && info && info->newPicture;

    const std::uint8_t* unit = buf + 4;
    const std::size_t unitSize = size - 4;
    const bool spsChanged =
        type == 7 && (storedSps_.size() != unitSize || std::memcmp(storedSps_.data(), unit, unitSize) != 0);
    const bool ppsChanged = type == 8 && (spsChanged_ || storedPps_.size() != unitSize ||
                                          std::memcmp(storedPps_.data(), unit, unitSize) != 0);
    const bool whole = (mode_ & kRenderWholeFrames) != 0;

    int result = 0;
    if (whole && frameHasSlice_) {
        if (startsPicture) {
            // The picture in the buffer is complete; what came after its last slice leads
            // the new one.
            result = deliverFrameBuffer(true);
        } else if (type == 9 || spsChanged || ppsChanged) {
            // A delimiter always opens an access unit, and a parameter set cannot change
            // inside a picture: the one in the buffer is complete, and goes to the decoder
            // before the consumer hears of new parameter sets.
            result = deliverFrameBuffer();
        }
    }
    // Units after the buffer's last slice wait for the next slice to tell where they belong.
    const bool toTail = whole && frameHasSlice_ && !slice;
    std::uint32_t& unitFlags = toTail ? tailFlags_ : flags_;

    const bool keepApart = (mode_ & (kRenderLengthPrefix | kRenderParameterSetsApart)) != 0;
    switch (type) {
        case 5:
            unitFlags |= kFrameIdr;
            break;
        case 7:
            unitFlags |= kFrameSps;
            if (spsChanged) {
                unitFlags |= kFrameSpsChanged;
                storedSps_.assign(unit, unit + unitSize);
                onSPS(storedSps_, storedPps_);
                spsChanged_ = true;
                if (keepApart) return 1;
            }
            break;
        case 8:
            unitFlags |= kFramePps;
            if (ppsChanged) {
                unitFlags |= kFramePpsChanged;
                storedPps_.assign(unit, unit + unitSize);
                onPPS(storedSps_, storedPps_);
                spsChanged_ = false;
                if (keepApart) return 1;
            }
            break;
        default:
            break;
    }

    std::uint8_t* framed = buf;
    std::uint32_t framedSize = size;
    if (mode_ & kRenderLengthPrefix) {
        const std::uint32_t n = size - 4;
        buf[0] = static_cast<std::uint8_t>(n >> 24);
        buf[1] = static_cast<std::uint8_t>(n >> 16);
        buf[2] = static_cast<std::uint8_t>(n >> 8);
        buf[3] = static_cast<std::uint8_t>(n);
    } else if (slice && !startsPicture) {
        // The 4-byte start code marks where an access unit may begin: before a picture's
        // first slice and before every other unit. Later slices take the 3-byte one.
        framed = buf + 1;
        framedSize = size - 1;
    }
    unitFlags |= kFrameNalData;

    if (whole) {
        if (frame_.size() + framedSize > kMaxFrameSize) {
            // No picture boundary and no marker for this long: the stream is broken.
            LogLine(50, "FrameAccumulator::processPacket", __LINE__).stream()
                << "frame over " << kMaxFrameSize << " bytes dropped";
            frame_.clear();
            flags_ = 0;
            tailFlags_ = 0;
            tailStart_ = 0;
            frameHasSlice_ = false;
            return result;
        }
        frame_.insert(frame_.end(), framed, framed + framedSize);
        if (slice) {
            // The slice continues the picture: the units before it belong to it.
            frameHasSlice_ = true;
            flags_ |= tailFlags_;
            tailFlags_ = 0;
        }
        if (!toTail) tailStart_ = frame_.size();
        if (marker) return deliverFrameBuffer();
        return result;
    }
    result = onFrame(flags_, framed, framedSize);
    flags_ = 0;
    return result;
}

// ---------------------------------------------------------------------------------------
// H264VideoSinkImpl

H264VideoSinkImpl::H264VideoSinkImpl(IMediaSession* session)
    : H264VideoSinkImpl(session, ConfigStore::instance().get<bool>("General.SaveVideo", "0")) {}

H264VideoSinkImpl::H264VideoSinkImpl(IMediaSession* session, bool saveVideo)
    : session_(session), saveVideo_(saveVideo) {}

H264VideoSinkImpl::~H264VideoSinkImpl() = default;

void H264VideoSinkImpl::setConsumer(IRenderImplementation* consumer) {
    consumer_.store(consumer);
    if (consumer) {
        idrRequested_ = false;
        setMode(consumer->getFlags());
    }
}

void H264VideoSinkImpl::onPacket(RTSPPacketInfo* packet) {
    if (!idrRequested_ && session_) {
        session_->VideoForceIDRFrame();
        idrRequested_ = true;
    }
    if (!packet) return;
    processPacket(packet->data, packet->size, packet->sequenceNumbers, packet->marker);
    packet->lostCount = takeLosses(packet->lostRanges);
}

void H264VideoSinkImpl::onLosses(const RTSPPacketInfo* report) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    IRenderImplementation* consumer = consumer_.load();
    if (session_ && consumer && (consumer->getFlags() & kRenderIdrOnLoss)) session_->VideoForceIDRFrame();
    if (!report) return;
    if (report->lostRanges) {
        for (const RTSPLostRange& r : *report->lostRanges) {
            LogLine(0, "H264VideoSinkImpl::onLosses", __LINE__).stream()
                << "Losses pseq: " << r.packetSeq << " in l : " << r.packetLossCount << ", jitter : " << report->jitter
                << "ms ts : " << report->timestamp;
            if (session_)
                session_->VideoNotifyLostPacketInfo(r.packetSeq, r.packetLossCount, static_cast<int>(report->timestamp));
        }
    }
    if (consumer) {
        consumer->statistics.addLost(report->lostCount);
        consumer->onPacketsLost(report->lostCount);
    }
}

void H264VideoSinkImpl::detach(int reason) {
    IRenderImplementation* consumer = consumer_.exchange(nullptr);
    if (consumer) consumer->detach(reason);
}

void H264VideoSinkImpl::onSPS(const std::vector<std::uint8_t>&, const std::vector<std::uint8_t>&) {
    // The consumer gets the pair together with the PPS that follows.
}

void H264VideoSinkImpl::onPPS(const std::vector<std::uint8_t>& sps, const std::vector<std::uint8_t>& pps) {
    IRenderImplementation* consumer = consumer_.load();
    if (consumer && !sps.empty() && !pps.empty())
        consumer->setParameterSets(sps.data(), static_cast<int>(sps.size()), pps.data(), static_cast<int>(pps.size()));
}

int H264VideoSinkImpl::onFrame(std::uint32_t flags, const std::uint8_t* data, std::uint32_t size) {
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        IRenderImplementation* consumer = consumer_.load();
        if (consumer) {
            consumer->onFrame(data, static_cast<int>(size), static_cast<int>(flags));
            if (consumer->needsKeyFrame()) onLosses(nullptr);
        }
    }
    if (saveVideo_) record(data, size);
    return 0;
}

std::string recordingFileName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[64];
    const std::size_t n = std::strftime(name, sizeof(name), "%d%m%Y-%H%M%S.h264", &local);
    return std::string(name, n);
}

void H264VideoSinkImpl::record(const std::uint8_t* data, std::uint32_t size) {
    if (!recording_.is_open()) {
        recording_.open(recordingFileName(std::time(nullptr)), std::ios::binary | std::ios::out | std::ios::trunc);
        if (!recording_.is_open()) return;  // tried again at the next frame
    }
    recording_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
