#include "ScreenRecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// One group of pictures, begun by a key frame, lasts half the kept duration, at most this
// long: old video is dropped a group at a time, so the file holds between the duration and
// one and a half times it.
constexpr int kMaxKeyFrameEveryMs = 5000;
const AVRational kMilliseconds{1, 1000};

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof(text));
    return text;
}

}  // namespace

ScreenRecorder::ScreenRecorder(int width, int height, int frameIntervalMs, int durationMs)
    : width_(std::max(0, width) & ~1),
      height_(std::max(0, height) & ~1),
      intervalMs_(std::max(1, frameIntervalMs)),
      durationMs_(std::max(0, durationMs)) {}

ScreenRecorder::~ScreenRecorder() {
    avcodec_free_context(&encoder_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sws_freeContext(scaler_);
}

const char* ScreenRecorder::codecName() const { return encoder_ && encoder_->codec ? encoder_->codec->name : ""; }

std::int64_t ScreenRecorder::keptMs() const {
    return packets_.empty() ? 0 : packets_.back().pts - packets_.front().pts;
}

bool ScreenRecorder::open(int width, int height) {
    // The encoder's own progress lines would join the sender's messages.
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) {
        error_ = "no video encoder";
        return false;
    }
    encoder_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!encoder_ || !frame_ || !packet_) {
        error_ = "out of memory";
        return false;
    }
    encoder_->width = width;
    encoder_->height = height;
    encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder_->time_base = kMilliseconds;
    encoder_->framerate = AVRational{1000, intervalMs_};
    const int keyFrameEveryMs = std::clamp(durationMs_ / 2, intervalMs_, std::max(intervalMs_, kMaxKeyFrameEveryMs));
    encoder_->gop_size = std::max(1, keyFrameEveryMs / intervalMs_);
    // Packets leave in picture order, one for each picture: the kept stretch is cut at
    // key frames without reordering.
    encoder_->max_b_frames = 0;
    encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (codec->id == AV_CODEC_ID_H264) {
        av_opt_set(encoder_->priv_data, "preset", "veryfast", 0);
        av_opt_set(encoder_->priv_data, "tune", "zerolatency", 0);
    } else {
        encoder_->flags |= AV_CODEC_FLAG_QSCALE;
        encoder_->global_quality = FF_QP2LAMBDA * 4;
    }
    const int rc = avcodec_open2(encoder_, codec, nullptr);
    if (rc < 0) {
        error_ = "the video encoder could not be opened: " + avError(rc);
        return false;
    }
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = width;
    frame_->height = height;
    if (av_frame_get_buffer(frame_, 0) < 0) {
        error_ = "out of memory";
        return false;
    }
    return true;
}

bool ScreenRecorder::add(const ScreenImage& image, std::int64_t timeMs) {
    if (failed_ || finished_) return false;
    if (image.width < 2 || image.height < 2) return true;
    if (!encoder_) {
        const int width = width_ > 0 && height_ > 0 ? width_ : image.width & ~1;
        const int height = width_ > 0 && height_ > 0 ? height_ : image.height & ~1;
        if (!open(width, height)) {
            failed_ = true;
            return false;
        }
    }
    // The screen may change its size: every picture is scaled to the video's size.
    if (!scaler_ || scalerWidth_ != image.width || scalerHeight_ != image.height) {
        sws_freeContext(scaler_);
        scaler_ = sws_getContext(image.width, image.height, AV_PIX_FMT_RGB24, encoder_->width, encoder_->height,
                                 AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        scalerWidth_ = image.width;
        scalerHeight_ = image.height;
        if (!scaler_) {
            error_ = "the pictures could not be scaled";
            failed_ = true;
            return false;
        }
    }
    if (av_frame_make_writable(frame_) < 0) {
        error_ = "out of memory";
        failed_ = true;
        return false;
    }
    const std::uint8_t* source[1] = {image.rgb.data()};
    const int stride[1] = {image.width * 3};
    sws_scale(scaler_, source, stride, 0, image.height, frame_->data, frame_->linesize);
    std::int64_t pts = timeMs;
    if (pts <= lastPts_) pts = lastPts_ + 1;
    lastPts_ = pts;
    frame_->pts = pts;
    const int rc = avcodec_send_frame(encoder_, frame_);
    if (rc < 0) {
        error_ = "a picture could not be encoded: " + avError(rc);
        failed_ = true;
        return false;
    }
    return drain();
}

bool ScreenRecorder::drain() {
    for (;;) {
        const int rc = avcodec_receive_packet(encoder_, packet_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
        if (rc < 0) {
            error_ = "a picture could not be encoded: " + avError(rc);
            failed_ = true;
            return false;
        }
        Packet p;
        p.pts = packet_->pts;
        p.key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
        p.data.assign(packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_);
        // A stretch starts with a key frame.
        if (!packets_.empty() || p.key) packets_.push_back(std::move(p));
    }
    dropOld();
    return true;
}

void ScreenRecorder::dropOld() {
    if (packets_.empty()) return;
    const std::int64_t newest = packets_.back().pts;
    for (;;) {
        const auto next = std::find_if(packets_.begin() + 1, packets_.end(), [](const Packet& p) { return p.key; });
        if (next == packets_.end() || next->pts > newest - durationMs_) return;
        packets_.erase(packets_.begin(), next);
    }
}

bool ScreenRecorder::write(const std::string& path) {
    if (!encoder_) {
        if (error_.empty()) error_ = "no picture was taken";
        return false;
    }
    if (!finished_ && !failed_) {
        finished_ = true;
        avcodec_send_frame(encoder_, nullptr);
        drain();
    }
    if (packets_.empty()) {
        if (error_.empty()) error_ = "no picture was encoded";
        return false;
    }
    const std::string temporary = path + ".tmp";
    AVFormatContext* out = nullptr;
    int rc = avformat_alloc_output_context2(&out, nullptr, "mp4", temporary.c_str());
    AVStream* stream = rc >= 0 && out ? avformat_new_stream(out, nullptr) : nullptr;
    if (!stream) {
        error_ = "the video file could not be made";
        avformat_free_context(out);
        return false;
    }
    avcodec_parameters_from_context(stream->codecpar, encoder_);
    stream->time_base = kMilliseconds;
    bool ok = (rc = avio_open(&out->pb, temporary.c_str(), AVIO_FLAG_WRITE)) >= 0;
    bool opened = ok;
    if (ok) ok = (rc = avformat_write_header(out, nullptr)) >= 0;
    const std::int64_t first = packets_.front().pts;
    AVPacket* packet = av_packet_alloc();
    for (std::size_t i = 0; ok && packet && i < packets_.size(); ++i) {
        const Packet& p = packets_[i];
        if ((rc = av_new_packet(packet, static_cast<int>(p.data.size()))) < 0) {
            ok = false;
            break;
        }
        std::memcpy(packet->data, p.data.data(), p.data.size());
        packet->pts = packet->dts = p.pts - first;
        packet->duration = i + 1 < packets_.size() ? packets_[i + 1].pts - p.pts : intervalMs_;
        if (p.key) packet->flags |= AV_PKT_FLAG_KEY;
        packet->stream_index = stream->index;
        av_packet_rescale_ts(packet, kMilliseconds, stream->time_base);
        ok = (rc = av_interleaved_write_frame(out, packet)) >= 0;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (ok) ok = (rc = av_write_trailer(out)) >= 0;
    if (opened && avio_closep(&out->pb) < 0) ok = false;
    avformat_free_context(out);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        rc = AVERROR(errno);
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
        error_ = "the video file could not be written: " + avError(rc);
    }
    return ok;
}
