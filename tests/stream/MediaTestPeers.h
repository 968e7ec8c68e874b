#pragma once
// Consumers and a session for tests of the media path: a video consumer that decodes every
// delivery with libavcodec, an audio consumer that counts PCM, and a media session that
// records what the sinks and the client thread ask of it. All of them are safe to read
// from the test thread while the client thread feeds them.

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/md5.h>
}

#include "stream/media/IAudioRenderImplementation.h"
#include "stream/session/IMediaSession.h"
#include "stream/session/IRenderImplementation.h"

namespace mediatest {

inline std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// MD5 of a decoded picture's visible samples (luma, then both chroma planes of 4:2:0), so
// that pictures compare whatever the decoder's line padding.
inline std::string pictureDigest(const AVFrame* f) {
    AVMD5* md5 = av_md5_alloc();
    av_md5_init(md5);
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? f->width : (f->width + 1) / 2;
        const int h = plane == 0 ? f->height : (f->height + 1) / 2;
        for (int y = 0; y < h; ++y) av_md5_update(md5, f->data[plane] + std::ptrdiff_t(y) * f->linesize[plane], w);
    }
    std::uint8_t sum[16];
    av_md5_final(md5, sum);
    av_free(md5);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : sum) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

// The pictures FFmpeg decodes from an Annex B byte stream, the way its command-line tool
// reads a raw H.264 file: its own parser cuts the stream into pictures.
inline std::vector<std::string> referenceDigests(const std::vector<std::uint8_t>& stream) {
    std::vector<std::string> digests;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    if (parser && context && packet && picture && avcodec_open2(context, codec, nullptr) >= 0) {
        std::vector<std::uint8_t> data(stream);
        data.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        auto drain = [&] {
            while (avcodec_receive_frame(context, picture) == 0) digests.push_back(pictureDigest(picture));
        };
        const std::uint8_t* p = data.data();
        int left = static_cast<int>(stream.size());
        while (left > 0) {
            const int used = av_parser_parse2(parser, context, &packet->data, &packet->size, p, left, AV_NOPTS_VALUE,
                                              AV_NOPTS_VALUE, 0);
            if (used < 0) break;
            p += used;
            left -= used;
            if (packet->size > 0 && avcodec_send_packet(context, packet) >= 0) drain();
        }
        av_parser_parse2(parser, context, &packet->data, &packet->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (packet->size > 0 && avcodec_send_packet(context, packet) >= 0) drain();
        avcodec_send_packet(context, nullptr);
        drain();
    }
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    av_parser_close(parser);
    return digests;
}

// Decodes what the H.264 sink delivers, in whole-frame mode with start codes unless told
// otherwise. Synchronous: decoded pictures are collected on the delivering thread, so the
// sink's onFrame counts them into the statistics.
class DecodingVideoConsumer : public IRenderImplementation {
public:
    // fromKeyFrame: deliveries before the first one with an IDR picture are passed over, as
    // a stream joined in the middle of a group of pictures decodes into garbage until then.
    explicit DecodingVideoConsumer(int flags = kRenderWholeFrames | kRenderIdrOnLoss, bool fromKeyFrame = false)
        : flags_(flags), waitForKeyFrame_(fromKeyFrame) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        context_ = avcodec_alloc_context3(codec);
        context_->thread_count = 1;  // no frame threading: a picture comes out per frame
        if (avcodec_open2(context_, codec, nullptr) < 0) avcodec_free_context(&context_);
        packet_ = av_packet_alloc();
        picture_ = av_frame_alloc();
    }
    ~DecodingVideoConsumer() override {
        avcodec_free_context(&context_);
        av_packet_free(&packet_);
        av_frame_free(&picture_);
    }

    bool ready() const { return context_ != nullptr; }

    int getFlags() override { return flags_; }
    bool isSynchronous() override { return true; }
    bool needsKeyFrame() override { return false; }
    void setParameterSets(const std::uint8_t*, int spsSize, const std::uint8_t*, int ppsSize) override {
        if (spsSize > 0 && ppsSize > 0) ++parameterSets;
    }
    void detach(int reason) override {
        std::lock_guard<std::mutex> g(mutex_);
        detaches.push_back(reason);
    }
    void onPacketsLost(int count) override { lostPackets += count; }
    void decodeFrame(const std::uint8_t* data, int size, int flags) override {
        ++deliveries;
        if (flags & kFrameIdr) ++idrDeliveries;
        if (!context_ || size <= 0) return;
        if (waitForKeyFrame_ && !(flags & kFrameIdr)) return;
        waitForKeyFrame_ = false;
        // Parameter sets delivered on their own go to the decoder with the next picture,
        // as a decoder takes no packet without one.
        held_.insert(held_.end(), data, data + size);
        if (!carriesPicture(data, size)) return;
        ++pictureDeliveries;
        buffer_.swap(held_);
        held_.clear();
        const int total = static_cast<int>(buffer_.size());
        buffer_.resize(buffer_.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet_->data = buffer_.data();
        packet_->size = total;
        if (avcodec_send_packet(context_, packet_) < 0) ++decodeErrors;
    }
    bool initialize() override { return true; }
    void release() override {}
    int collect(double) override {
        int n = 0;
        while (context_ && avcodec_receive_frame(context_, picture_) == 0) {
            ++n;
            width = picture_->width;
            height = picture_->height;
            if (picture_->decode_error_flags) ++decodeErrors;
            std::lock_guard<std::mutex> g(mutex_);
            digests_.push_back(pictureDigest(picture_));
        }
        pictures += n;
        return n;
    }
    void renderPicture(double, int, int) override {}

    std::vector<int> detachReasons() {
        std::lock_guard<std::mutex> g(mutex_);
        return detaches;
    }
    // pictureDigest of every decoded picture, in order.
    std::vector<std::string> digests() {
        std::lock_guard<std::mutex> g(mutex_);
        return digests_;
    }

    std::atomic<int> deliveries{0};
    std::atomic<int> pictureDeliveries{0};  // deliveries holding a slice
    std::atomic<int> idrDeliveries{0};
    std::atomic<int> pictures{0};
    std::atomic<int> decodeErrors{0};
    std::atomic<int> parameterSets{0};
    std::atomic<int> lostPackets{0};
    std::atomic<int> width{0}, height{0};

private:
    // True when a start-code delimited delivery holds a coded slice (NAL types 1 to 5).
    static bool carriesPicture(const std::uint8_t* d, int size) {
        for (int i = 0; i + 3 < size; ++i) {
            if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) {
                const int type = d[i + 3] & 0x1f;
                if (type >= 1 && type <= 5) return true;
                i += 2;
            }
        }
        return false;
    }

    int flags_;
    bool waitForKeyFrame_;
    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* picture_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> held_;
    std::mutex mutex_;
    std::vector<int> detaches;
    std::vector<std::string> digests_;
};

class CountingAudioConsumer : public IAudioRenderImplementation {
public:
    void setFormat(int r, int c) override {
        rate = r;
        channels = c;
    }
    void notifyPacketsLost(int count) override { lostPackets += count; }
    void pushPcm(const std::int16_t* samples, int count) override {
        ++blocks;
        frames += count;
        for (int i = 0; i < count * 2; ++i)
            if (samples[i] != 0) {
                ++audibleBlocks;
                break;
            }
    }
    bool initDevice() override { return true; }
    void shutdownDevice() override {}
    int renderStep() override { return 1; }

    std::atomic<int> rate{0}, channels{0};
    std::atomic<int> blocks{0}, audibleBlocks{0};
    std::atomic<long> frames{0};
    std::atomic<int> lostPackets{0};
};

class RecordingMediaSession : public IMediaSession {
public:
    struct Lost {
        int seq, count, timestamp;
    };

    void VideoForceIDRFrame() override { ++idrRequests; }
    void VideoNotifyLostPacketInfo(int seq, int count, int timestamp) override {
        std::lock_guard<std::mutex> g(mutex_);
        lost_.push_back({seq, count, timestamp});
    }
    void onVideoClientError(const std::string& reason) override {
        std::lock_guard<std::mutex> g(mutex_);
        errors_.push_back(reason);
    }
    void onVideoClientFinished() override {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        std::lock_guard<std::mutex> g(mutex_);
        finishedThreadName_ = name;
        ++finished_;
        changed_.notify_all();
    }

    std::vector<Lost> lost() {
        std::lock_guard<std::mutex> g(mutex_);
        return lost_;
    }
    int finished() {
        std::lock_guard<std::mutex> g(mutex_);
        return finished_;
    }
    std::vector<std::string> errors() {
        std::lock_guard<std::mutex> g(mutex_);
        return errors_;
    }
    std::string finishedThreadName() {
        std::lock_guard<std::mutex> g(mutex_);
        return finishedThreadName_;
    }
    // Waits up to timeoutMs for the client thread's finished notification.
    bool waitFinished(int timeoutMs = 10000) {
        std::unique_lock<std::mutex> l(mutex_);
        return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), [this] { return finished_ > 0; });
    }

    std::atomic<int> idrRequests{0};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Lost> lost_;
    int finished_ = 0;
    std::vector<std::string> errors_;  // before the finish, in order
    std::string finishedThreadName_;
};

}  // namespace mediatest
