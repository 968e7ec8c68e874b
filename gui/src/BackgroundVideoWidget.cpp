#include "gui/BackgroundVideoWidget.h"

#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/BackgroundVideoDecoder.h"
#include "gui/GraphicsContextOpenGL.h"
#include "platform/Thread.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <GLFW/glfw3.h>

#include <chrono>

// ---------------------------------------------------------------------------------------------
// Play clock

void VideoPlayClock::start(double now) {
    start_ = now;
    played_ = 0.0;
    pauseStart_ = 0.0;
}

void VideoPlayClock::pausing(double now) {
    if (pauseStart_ == 0.0)
        pauseStart_ = now;
}

void VideoPlayClock::addPacket(double duration, double now) {
    played_ += duration;
    if (pauseStart_ != 0.0) {
        // Playing resumes where it stopped instead of skipping the paused time.
        played_ += now - pauseStart_;
        pauseStart_ = 0.0;
    }
}

void VideoPlayClock::skipStall(double now) {
    const double elapsed = now - start_;
    if (elapsed - played_ > 1.0)
        played_ = elapsed;
}

// ---------------------------------------------------------------------------------------------
// Widget

BackgroundVideoWidget::BackgroundVideoWidget(PlayerGUI* gui, const std::string& path)
    : Widget(gui), path_(path), clock_([] { return glfwGetTime(); }) {}

BackgroundVideoWidget::~BackgroundVideoWidget() {
    stop();
    if (clip_)
        avformat_close_input(&clip_);
}

bool BackgroundVideoWidget::InitRenderImplementation() {
    if (reader_.joinable() || stopping_)
        return false;
    decoder_ = std::make_unique<BackgroundVideoDecoder>();
    if (!decoder_->open()) {
        LogLine(50, "BackgroundVideoWidget::InitRenderImplementation", __LINE__).stream() << "failed to init decoder";
        return false;
    }
    if (!initReadVideoFile()) {
        LogLine(50, "BackgroundVideoWidget::InitRenderImplementation", __LINE__).stream()
            << "failed to read video file, does it exists?";
        LogLine(50, "BackgroundVideoWidget::InitRenderImplementation", __LINE__).stream() << path_;
        return false;
    }
    reader_ = platform::startThread(&BackgroundVideoWidget::readFileThread, this);
    return true;
}

bool BackgroundVideoWidget::initReadVideoFile() {
    if (avformat_open_input(&clip_, path_.c_str(), nullptr, nullptr) < 0) {
        clip_ = nullptr;
        return false;
    }
    if (avformat_find_stream_info(clip_, nullptr) < 0) {
        avformat_close_input(&clip_);
        return false;
    }
    videoStream_ = av_find_best_stream(clip_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoStream_ < 0 || clip_->streams[videoStream_]->codecpar->codec_id != AV_CODEC_ID_H264) {
        avformat_close_input(&clip_);
        return false;
    }
    return true;
}

void BackgroundVideoWidget::stop() {
    paused_ = true;
    stopping_ = true;
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id())
        reader_.join();
}

void BackgroundVideoWidget::sleepUnlessStopping(int milliseconds) {
    for (int waited = 0; waited < milliseconds && !stopping_; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void BackgroundVideoWidget::readFileThread() {
    SetThreadName("ReadFile thread");
    VideoPlayClock clock;
    clock.start(clock_());
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return;
    const AVRational timeBase = clip_->streams[0]->time_base;
    const AVStream* video = clip_->streams[videoStream_];
    const double frameTime =
        video->avg_frame_rate.num > 0 ? double(video->avg_frame_rate.den) / double(video->avg_frame_rate.num) : 0.04;
    bool justRewound = false;

    while (!stopping_) {
        if (paused_) {
            clock.pausing(clock_());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (av_read_frame(clip_, packet) < 0) {
            if (stopping_)
                break;
            if (justRewound) {
                // Nothing could be read since the last rewind: the clip has become unreadable.
                // Try again now and then instead of spinning.
                ++failedReads_;
                sleepUnlessStopping(100);
            } else {
                ++loops_;
            }
            avformat_seek_file(clip_, -1, 0, 0, 0, AVSEEK_FLAG_BACKWARD);
            decoder_->flush();
            justRewound = true;
            continue;
        }
        justRewound = false;
        if (!stopping_ && packet->stream_index == videoStream_) {
            const int pictures = decoder_->decode(packet);
            if (pictures > 0) {
                picturesDecoded_ += pictures;
                newFrame_ = true;
            }
        }
        double duration = double(packet->duration) * double(timeBase.num) / double(timeBase.den);
        if (packet->stream_index == videoStream_ && packet->duration <= 0)
            duration = frameTime;
        clock.addPacket(duration, clock_());
        while (!stopping_ && clock.ahead(clock_()))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        clock.skipStall(clock_());
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}

bool BackgroundVideoWidget::tick(double) {
    return newFrame_.exchange(false);
}

void BackgroundVideoWidget::renderFrame(AbstractGraphicsContext* context, int width, int height) {
    if (paused_ || !decoder_)
        return;
    // The decoder's raw OpenGL calls change bindings and enables behind the context's cache.
    if (context && context->asOpenGL())
        context->asOpenGL()->glState().invalidate();
    lastRender_ = decoder_->renderFrame(width, height);
}
