#pragma once
// The sink of the "OPUS" subsession: decodes every packet to interleaved 16-bit PCM at
// 48000 Hz in two channels, conceals lost packets, and hands the PCM to the audio
// consumer.

#include <cstdint>
#include <array>

#include "rtspclient/IRTSPSink.h"

struct OpusDecoder;
class IAudioRenderImplementation;

// Owns one Opus decoder state.
class OpusDecoderHandle {
public:
    OpusDecoderHandle(int sampleRate, int channels);
    ~OpusDecoderHandle();
    OpusDecoderHandle(const OpusDecoderHandle&) = delete;
    OpusDecoderHandle& operator=(const OpusDecoderHandle&) = delete;

    OpusDecoder* get() const { return decoder_; }
    int error() const { return error_; }

private:
    OpusDecoder* decoder_ = nullptr;
    int error_ = 0;
};

class OPUSAudioSinkImpl : public IRTSPSink {
public:
    static constexpr int kSampleRate = 48000;
    static constexpr int kChannels = 2;
    static constexpr int kDecodeSamples = 65536;  // decode buffer, 32768 frames of two samples

    OPUSAudioSinkImpl();

    // Tells a non-null consumer the format (48000, 2).
    void setConsumer(IAudioRenderImplementation* consumer);
    IAudioRenderImplementation* consumer() const { return consumer_; }
    int lastFrameSize() const { return lastFrameSize_; }

    void onLosses(const RTSPPacketInfo* report) override;
    void onPacket(RTSPPacketInfo* packet) override;
    // The consumer is kept: its owner keeps it alive until the client thread has ended.
    void detach(int) override {}
    int prefixSize() override { return 0; }

private:
    IAudioRenderImplementation* consumer_ = nullptr;
    OpusDecoderHandle decoder_;
    int lastFrameSize_ = 0;
    // Written by the decoder before it is read, so it is left uninitialised: making a sink
    // costs no zeroing of 128 KiB, and only the pages a decode touches are faulted in.
    std::array<std::int16_t, kDecodeSamples> pcm_;
};
