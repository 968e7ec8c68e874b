#include "stream/media/OPUSAudioSinkImpl.h"

#include <opus/opus.h>

#include <climits>

#include "stream/media/IAudioRenderImplementation.h"

OpusDecoderHandle::OpusDecoderHandle(int sampleRate, int channels) {
    decoder_ = opus_decoder_create(sampleRate, channels, &error_);
    if (error_ != OPUS_OK) {
        if (decoder_) opus_decoder_destroy(decoder_);
        decoder_ = nullptr;
    }
}

OpusDecoderHandle::~OpusDecoderHandle() {
    if (decoder_) opus_decoder_destroy(decoder_);
}

OPUSAudioSinkImpl::OPUSAudioSinkImpl() : decoder_(kSampleRate, kChannels) {}

void OPUSAudioSinkImpl::setConsumer(IAudioRenderImplementation* consumer) {
    consumer_ = consumer;
    if (consumer_) consumer_->setFormat(kSampleRate, kChannels);
}

void OPUSAudioSinkImpl::onPacket(RTSPPacketInfo* packet) {
    if (!packet || !decoder_.get()) return;
    if (packet->size > static_cast<std::uint32_t>(INT_MAX)) return;
    // A null payload would make the decoder conceal instead of decode; only a real
    // empty packet (size 0) may do that.
    if (!packet->data && packet->size != 0) return;
    const int n = opus_decode(decoder_.get(), packet->data, static_cast<opus_int32>(packet->size), pcm_.data(),
                              kDecodeSamples / kChannels, 0);
    if (n < 0) return;  // rejected packet: dropped
    if (consumer_) consumer_->onPcm(pcm_.data(), n);
    lastFrameSize_ = n;
}

void OPUSAudioSinkImpl::onLosses(const RTSPPacketInfo* report) {
    if (!consumer_ || lastFrameSize_ == 0 || !decoder_.get()) return;
    // One concealment frame of the last packet's length per report.
    const int n = opus_decode(decoder_.get(), nullptr, 0, pcm_.data(), lastFrameSize_, 0);
    if (report) consumer_->onPacketsLost(report->lostCount);
    if (n >= 0) consumer_->onPcm(pcm_.data(), n);
}
