#include "RtpReceiver.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace rtspclient {
namespace {

// Room around each packet in its buffer: the sink's prefix before, zeros after.
constexpr std::size_t kBufferSlack = RtpReceiver::kHeadroom + H264Depacketizer::kPadding;
constexpr int kMaxConcealedPerGap = 5;


std::size_t roundUpPowerOfTwo(std::size_t n) {
    std::size_t p = 4;
    while (p < n && p < 4096) p <<= 1;
    return p;
}

}  // namespace

// Each buffer its own allocation, so that a sanitizer sees a write past one.
std::unique_ptr<std::uint8_t[]> RtpReceiver::makeBuffer() const {
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[config_.maxPacket + kBufferSlack]);
}

static int clampedPrefix(IRTSPSink* sink) {
    if (!sink) return 0;
    const int prefix = sink->prefixSize();
    return prefix < 0 ? 0 : prefix > static_cast<int>(RtpReceiver::kMaxPrefix) ? static_cast<int>(RtpReceiver::kMaxPrefix) : prefix;
}

RtpReceiver::RtpReceiver(IRTSPSink* sink, const RtpReceiverConfig& config)
    : sink_(sink), config_(config), prefix_(clampedPrefix(sink)), depacketizer_(prefix_) {
    if (config_.maxPacket < 12 || config_.maxPacket > kMaxPacket) config_.maxPacket = kMaxPacket;
    const std::size_t n = roundUpPowerOfTwo(config_.reorderPackets);
    slots_.resize(n);
    for (Slot& s : slots_) s.buffer = makeBuffer();
    mask_ = n - 1;
    sequences_.reserve(4);
    ranges_.reserve(4);
    info_.sequenceNumbers = &sequences_;
    info_.lostRanges = &ranges_;
}

RtpReceiver::~RtpReceiver() = default;

void RtpReceiver::setDelivering(bool on) {
    const bool was = delivering_.exchange(on);
    if (on && !was) resumed_.store(true);
}

void RtpReceiver::onPacket(const std::uint8_t* data, std::size_t size, std::int64_t nowUs) {
    if (size > config_.maxPacket) {
        ++stats_.malformed;
        return;
    }
    std::memcpy(receiveBuffer(), data, size);
    onPacket(size, nowUs);
}

void RtpReceiver::resetSource(std::uint32_t ssrc) {
    if (haveSource_) {
        ++stats_.sourceChanges;
        haveStart_ = false;  // a new source numbers its packets afresh
    }
    for (Slot& s : slots_) s.used = false;
    held_ = 0;
    haveExpected_ = false;
    depacketizer_.reset();
    haveSource_ = true;
    ssrc_ = ssrc;
    haveTransit_ = false;
    jitter_ = 0;
    receivedForReport_ = 0;
    expectedPrior_ = 0;
    receivedPrior_ = 0;
}

void RtpReceiver::updateStats(const RtpHeader& h, std::int64_t nowUs) {
    if (receivedForReport_ == 0) {
        baseSeq_ = h.sequence;
        maxSeq_ = h.sequence;
        cycles_ = 0;
    } else {
        const std::uint16_t delta = static_cast<std::uint16_t>(h.sequence - maxSeq_);
        if (delta < 0x8000) {
            if (h.sequence < maxSeq_) cycles_ += 0x10000;
            maxSeq_ = h.sequence;
        }
    }
    ++receivedForReport_;
    if (config_.clockRate) {
        const std::int64_t arrival =
            static_cast<std::int64_t>(static_cast<double>(nowUs) * config_.clockRate / 1e6);
        const std::int64_t transit = arrival - static_cast<std::int64_t>(h.timestamp);
        if (haveTransit_) {
            // The difference is taken modulo 2^32 so a timestamp wrap is no jump.
            std::int64_t d = static_cast<std::int32_t>(static_cast<std::uint32_t>(transit - lastTransit_));
            if (d < 0) d = -d;
            jitter_ += (static_cast<double>(d) - jitter_) / 16.0;
        }
        lastTransit_ = transit;
        haveTransit_ = true;
    }
}

void RtpReceiver::onPacket(std::size_t size, std::int64_t nowUs, std::size_t index) {
    RtpHeader h;
    if (index >= kReceiveBatch || size > config_.maxPacket || !parseRtpHeader(receiveBuffer(index), size, h)) {
        ++stats_.malformed;
        return;
    }
    if (config_.payloadType >= 0 && h.payloadType != config_.payloadType) {
        ++stats_.otherPayload;
        return;
    }
    if (!haveSource_ || h.ssrc != ssrc_) {
        if (haveSource_) {
            // Whatever the old source left waiting belongs to a stream that is over.
            drain();
            if (held_) {
                while (held_) skipGap();
            }
        }
        resetSource(h.ssrc);
    }
    if (resumed_.exchange(false)) depacketizer_.reset();
    if (!haveExpected_ && haveStart_ && static_cast<std::int16_t>(h.sequence - start_) < 0) {
        ++stats_.beforeStart;
        return;
    }

    ++stats_.packets;
    stats_.bytes += h.payloadSize;
    updateStats(h, nowUs);

    if (!haveExpected_) {
        haveExpected_ = true;
        expected_ = h.sequence;
    }
    const std::int16_t delta = static_cast<std::int16_t>(h.sequence - expected_);
    if (delta < 0) {
        ++stats_.late;  // its gap was given up already, or it is an old duplicate
        return;
    }
    if (static_cast<std::size_t>(delta) > mask_) {
        // Too far ahead for the window: what is held is all older, give up on its gaps.
        while (held_) skipGap();
        const std::uint16_t gap = static_cast<std::uint16_t>(h.sequence - expected_);
        if (gap) reportLoss(h.sequence, gap, h.timestamp);
        expected_ = h.sequence;
    }
    Slot& slot = slots_[h.sequence & mask_];
    if (slot.used) {
        ++stats_.duplicates;
        return;
    }
    slot.buffer.swap(spares_[index]);
    slot.header = h;
    slot.arrivalUs = nowUs;
    slot.used = true;
    if (held_ == 0) oldestHeldUs_ = nowUs;
    ++held_;
    drain();
}

void RtpReceiver::setFirstSequence(std::uint16_t sequence) {
    haveStart_ = true;
    start_ = sequence;
    if (!haveExpected_ || static_cast<std::int16_t>(sequence - expected_) <= 0) return;
    // Packets from before the start were taken already, and the window waits for the gap
    // between them and the start: that gap was never part of the stream as played. Move
    // the window to the start, forgetting anything held from before it.
    for (std::uint16_t s = expected_; s != sequence; ++s) {
        Slot& slot = slots_[s & mask_];
        if (slot.used && slot.header.sequence == s) {
            slot.used = false;
            --held_;
            ++stats_.beforeStart;
        }
        if (static_cast<std::uint16_t>(s - expected_) >= mask_) break;  // the window holds no more
    }
    expected_ = sequence;
    depacketizer_.reset();  // a unit begun before the start cannot be completed
    drain();
    if (held_) updateOldest();
}

void RtpReceiver::drain() {
    bool progressed = false;
    while (held_) {
        Slot& slot = slots_[expected_ & mask_];
        if (!slot.used) break;
        slot.used = false;
        --held_;
        ++expected_;
        progressed = true;
        deliver(slot);
    }
    if (progressed && held_) updateOldest();
}

void RtpReceiver::updateOldest() {
    std::int64_t oldest = INT64_MAX;
    for (const Slot& s : slots_)
        if (s.used && s.arrivalUs < oldest) oldest = s.arrivalUs;
    oldestHeldUs_ = oldest;
}

void RtpReceiver::skipGap() {
    // expected_ is missing; jump to the next held packet and report what lies between.
    std::uint16_t next = expected_;
    for (std::size_t i = 1; i <= mask_; ++i) {
        const std::uint16_t s = static_cast<std::uint16_t>(expected_ + i);
        if (slots_[s & mask_].used) {
            next = s;
            break;
        }
    }
    if (next == expected_) {  // nothing held after all
        held_ = 0;
        return;
    }
    reportLoss(next, static_cast<std::uint16_t>(next - expected_), slots_[next & mask_].header.timestamp);
    expected_ = next;
    drain();
}

void RtpReceiver::onTimer(std::int64_t nowUs) {
    while (held_ && nowUs - oldestHeldUs_ >= config_.reorderDelayUs) {
        skipGap();
        if (held_) updateOldest();
    }
}

std::int64_t RtpReceiver::nextDeadlineUs() const {
    return held_ ? oldestHeldUs_ + config_.reorderDelayUs : INT64_MAX;
}

void RtpReceiver::reportLoss(std::uint16_t nextSequence, std::uint16_t count, std::uint32_t timestamp) {
    stats_.lost += count;
    depacketizer_.reset();
    if (!sink_ || !delivering()) return;
    const std::uint16_t jitterMs =
        config_.clockRate ? static_cast<std::uint16_t>(std::fmin(jitter_ * 1000.0 / config_.clockRate, 65535.0)) : 0;
    if (config_.audio) {
        // One report per lost packet, so the decoder conceals each of them (up to a few).
        const int reports = count < kMaxConcealedPerGap ? count : kMaxConcealedPerGap;
        for (int i = 0; i < reports; ++i) {
            sequences_.clear();
            ranges_.clear();
            info_ = RTSPPacketInfo();
            info_.sequenceNumbers = &sequences_;
            info_.lostRanges = &ranges_;
            info_.lostCount = 1;
            info_.jitter = jitterMs;
            info_.timestamp = timestamp;
            ranges_.push_back({static_cast<std::uint16_t>(nextSequence - count + i), 1});
            sink_->onLosses(&info_);
        }
        return;
    }
    sequences_.clear();
    ranges_.clear();
    info_ = RTSPPacketInfo();
    info_.sequenceNumbers = &sequences_;
    info_.lostRanges = &ranges_;
    info_.lostCount = count;
    info_.jitter = jitterMs;
    info_.timestamp = timestamp;
    ranges_.push_back({nextSequence, count});
    sink_->onLosses(&info_);
}

void RtpReceiver::deliver(Slot& slot) {
    const RtpHeader& h = slot.header;
    if (!delivering() || !sink_) {
        if (config_.payload == RtpReceiverConfig::Payload::H264) depacketizer_.reset();
        return;
    }
    std::uint8_t* payload = slot.buffer.get() + kHeadroom + h.payloadOffset;
    unitTimestamp_ = h.timestamp;
    if (config_.payload == RtpReceiverConfig::Payload::H264) {
        if (!deliveredParameterSets_) {
            deliveredParameterSets_ = true;
            if (!config_.spropParameterSets.empty()) depacketizer_.deliverParameterSets(config_.spropParameterSets, *this);
        }
        depacketizer_.process(payload, h.payloadSize, h.sequence, h.marker, *this);
        return;
    }
    if (h.payloadSize == 0) return;  // an empty payload would read as a lost packet to a decoder
    std::memset(payload + h.payloadSize, 0, H264Depacketizer::kPadding);
    sequences_.assign(1, h.sequence);
    unit(payload - prefix_, h.payloadSize + static_cast<std::uint32_t>(prefix_), sequences_, h.marker);
}

void RtpReceiver::unit(std::uint8_t* data, std::uint32_t size, std::vector<std::uint16_t>& sequenceNumbers,
                       bool marker) {
    if (size <= static_cast<std::uint32_t>(prefix_)) return;
    ranges_.clear();
    info_.data = data;
    info_.size = size;
    info_.lostCount = 0;
    info_.sequenceNumbers = &sequenceNumbers;
    info_.lostRanges = &ranges_;
    info_.jitter = config_.clockRate
                       ? static_cast<std::uint16_t>(std::fmin(jitter_ * 1000.0 / config_.clockRate, 65535.0))
                       : 0;
    info_.timestamp = unitTimestamp_;
    info_.marker = marker;
    ++stats_.units;
    sink_->onPacket(&info_);
}

void RtpReceiver::onSenderReport(std::uint32_t ntpMiddle, std::int64_t nowUs) {
    lastSr_ = ntpMiddle;
    lastSrArrivalUs_ = nowUs;
}

bool RtpReceiver::fillReport(ReceiverReport& rr, std::int64_t nowUs) {
    if (!haveSource_ || receivedForReport_ == 0) return false;
    rr.haveSource = true;
    rr.sourceSsrc = ssrc_;
    const std::uint32_t extendedMax = cycles_ + maxSeq_;
    const std::uint32_t expected = extendedMax - baseSeq_ + 1;
    const std::int64_t lost = static_cast<std::int64_t>(expected) - static_cast<std::int64_t>(receivedForReport_);
    rr.cumulativeLost = static_cast<std::int32_t>(lost > 0x7fffff ? 0x7fffff : lost < -0x800000 ? -0x800000 : lost);
    const std::uint32_t expectedInterval = expected - expectedPrior_;
    const std::int64_t receivedInterval = static_cast<std::int64_t>(receivedForReport_ - receivedPrior_);
    expectedPrior_ = expected;
    receivedPrior_ = receivedForReport_;
    const std::int64_t lostInterval = static_cast<std::int64_t>(expectedInterval) - receivedInterval;
    rr.fractionLost =
        (expectedInterval == 0 || lostInterval <= 0) ? 0 : static_cast<std::uint8_t>((lostInterval << 8) / expectedInterval);
    rr.extendedHighestSeq = extendedMax;
    rr.jitter = static_cast<std::uint32_t>(jitter_);
    rr.lastSr = lastSr_;
    rr.delaySinceLastSr =
        lastSr_ ? static_cast<std::uint32_t>((nowUs - lastSrArrivalUs_) * 65536 / 1000000) : 0;
    return true;
}

}  // namespace rtspclient
