#include <gtest/gtest.h>
#include <opus/opus.h>

#include <cmath>
#include <vector>

#include "stream/media/IAudioRenderImplementation.h"
#include "stream/media/OPUSAudioSinkImpl.h"

namespace {

struct RecordingAudioConsumer : IAudioRenderImplementation {
    int rate = 0, channels = 0;
    std::vector<std::vector<std::int16_t>> blocks;
    std::vector<int> lostCounts;
    void setFormat(int r, int c) override {
        rate = r;
        channels = c;
    }
    void notifyPacketsLost(int count) override { lostCounts.push_back(count); }
    void pushPcm(const std::int16_t* samples, int frames) override {
        blocks.emplace_back(samples, samples + frames * 2);
    }
    bool initDevice() override { return true; }
    void shutdownDevice() override {}
    int renderStep() override { return 1; }
};

// 20 ms Opus packets of a stereo tone, made with libopus's encoder.
std::vector<std::vector<std::uint8_t>> encodeTone(int packets) {
    int err = 0;
    OpusEncoder* enc = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &err);
    EXPECT_EQ(err, OPUS_OK);
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::int16_t> pcm(960 * 2);
    for (int p = 0; p < packets; ++p) {
        for (int i = 0; i < 960; ++i) {
            const double t = (p * 960 + i) / 48000.0;
            pcm[static_cast<std::size_t>(2 * i)] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
            pcm[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 660 * t));
        }
        std::vector<std::uint8_t> packet(4000);
        const int n = opus_encode(enc, pcm.data(), 960, packet.data(), static_cast<opus_int32>(packet.size()));
        EXPECT_GT(n, 0);
        packet.resize(static_cast<std::size_t>(n));
        out.push_back(packet);
    }
    opus_encoder_destroy(enc);
    return out;
}

void send(OPUSAudioSinkImpl& sink, std::vector<std::uint8_t> payload) {
    std::vector<std::uint16_t> seqs = {1};
    std::vector<RTSPLostRange> ranges;
    RTSPPacketInfo info;
    info.data = payload.data();
    info.size = static_cast<std::uint32_t>(payload.size());
    info.sequenceNumbers = &seqs;
    info.lostRanges = &ranges;
    sink.onPacket(&info);
}

}  // namespace

TEST(OPUSAudioSinkImpl, DecodesLikeTheReferenceDecoder) {
    const auto packets = encodeTone(10);
    RecordingAudioConsumer consumer;
    OPUSAudioSinkImpl sink;
    EXPECT_EQ(sink.prefixSize(), 0);
    sink.setConsumer(&consumer);
    EXPECT_EQ(consumer.rate, 48000);
    EXPECT_EQ(consumer.channels, 2);
    for (const auto& p : packets) send(sink, p);

    ASSERT_EQ(consumer.blocks.size(), packets.size());
    EXPECT_EQ(consumer.statistics.totalsSnapshot().received, 10);
    EXPECT_EQ(sink.lastFrameSize(), 960);

    int err = 0;
    OpusDecoder* ref = opus_decoder_create(48000, 2, &err);
    std::vector<std::int16_t> pcm(960 * 2);
    double energy = 0;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        ASSERT_EQ(opus_decode(ref, packets[i].data(), static_cast<opus_int32>(packets[i].size()), pcm.data(), 960, 0),
                  960);
        EXPECT_EQ(consumer.blocks[i], pcm) << "packet " << i;
        for (std::int16_t s : consumer.blocks[i]) energy += static_cast<double>(s) * s;
    }
    opus_decoder_destroy(ref);
    // The tone comes through (RMS of an 8000 sine is about 5657).
    EXPECT_GT(std::sqrt(energy / (10.0 * 1920)), 3000.0);

    sink.detach(0);  // keeps the consumer
    EXPECT_EQ(sink.consumer(), &consumer);
}

TEST(OPUSAudioSinkImpl, ConcealsOneFramePerLossReport) {
    const auto packets = encodeTone(3);
    RecordingAudioConsumer consumer;
    OPUSAudioSinkImpl sink;
    sink.setConsumer(&consumer);

    RTSPPacketInfo report;
    report.lostCount = 5;
    sink.onLosses(&report);  // nothing decoded yet: nothing at all
    EXPECT_TRUE(consumer.blocks.empty());
    EXPECT_EQ(consumer.statistics.totalsSnapshot().lost, 0);

    for (const auto& p : packets) send(sink, p);
    sink.onLosses(&report);
    ASSERT_EQ(consumer.blocks.size(), 4u);
    EXPECT_EQ(consumer.blocks.back().size(), 1920u);
    EXPECT_EQ(consumer.statistics.totalsSnapshot().lost, 1);  // one per report, not per packet
    EXPECT_EQ(consumer.lostCounts, std::vector<int>{5});

    sink.onLosses(nullptr);  // conceals, counts nothing
    EXPECT_EQ(consumer.blocks.size(), 5u);
    EXPECT_EQ(consumer.statistics.totalsSnapshot().lost, 1);

    // A packet the decoder rejects changes nothing.
    send(sink, {0x03, 0x00});
    EXPECT_EQ(consumer.blocks.size(), 5u);
    EXPECT_EQ(sink.lastFrameSize(), 960);
    send(sink, {});
    EXPECT_EQ(sink.lastFrameSize() > 0, true);

    // Without a consumer packets are still decoded, and losses are ignored.
    OPUSAudioSinkImpl quiet;
    send(quiet, packets[0]);
    EXPECT_EQ(quiet.lastFrameSize(), 960);
    quiet.onLosses(&report);
    quiet.onPacket(nullptr);
}
