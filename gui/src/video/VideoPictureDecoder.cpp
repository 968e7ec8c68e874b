#include "gui/VideoPictureDecoder.h"

#include "gui/DecodedImage.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <dirent.h>

#include <fstream>
#include <set>
#include <string>
#include <utility>

int VideoPictureDecoder::physicalCoreCount() {
    DIR* dir = opendir("/sys/devices/system/cpu");
    if (!dir)
        return 0;
    std::set<std::pair<int, int>> cores;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(0, 3, "cpu") != 0 || name[3] < '0' || name[3] > '9')
            continue;
        const std::string base = "/sys/devices/system/cpu/" + name + "/topology/";
        std::ifstream package(base + "physical_package_id");
        std::ifstream core(base + "core_id");
        int p = 0, c = 0;
        if (package >> p && core >> c)
            cores.emplace(p, c);
    }
    closedir(dir);
    return int(cores.size());
}

namespace {

bool isPlanar420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

VideoPictureDecoder::VideoPictureDecoder() : VideoPictureDecoder(Settings{}) {}

VideoPictureDecoder::VideoPictureDecoder(Settings settings) : settings_(settings) {
    decodeFrame_ = av_frame_alloc();
    latestFrame_ = av_frame_alloc();
    renderFrame_ = av_frame_alloc();
    codec_ = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec_)
        context_ = avcodec_alloc_context3(codec_);
}

VideoPictureDecoder::~VideoPictureDecoder() {
    image_.reset();
    avcodec_free_context(&context_);
    av_frame_free(&decodeFrame_);
    av_frame_free(&latestFrame_);
    av_frame_free(&renderFrame_);
    sws_freeContext(converter_);
    av_freep(&convertedBuffer_);
}

bool VideoPictureDecoder::open() {
    std::lock_guard<std::mutex> lock(openMutex_);
    if (opened_)
        return true;
    if (!codec_ || !context_ || !decodeFrame_ || !latestFrame_ || !renderFrame_)
        return false;
    shaderMode_ = ::shaderMode();
    context_->err_recognition = AV_EF_IGNORE_ERR;
    if (shaderMode_ == 0 || settings_.sliceThreadsAlways) {
        // Slices of one picture are decoded in parallel; frame threads would hold pictures
        // back. With the GPU converting the colours a clip needs no more than one core.
        context_->thread_type = FF_THREAD_SLICE;
        context_->thread_count = physicalCoreCount();
    } else {
        context_->thread_count = 1;
    }
    context_->workaround_bugs = FF_BUG_AUTODETECT;
    context_->idct_algo = FF_IDCT_AUTO;
    context_->error_concealment = FF_EC_GUESS_MVS | FF_EC_DEBLOCK;
    context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    context_->flags2 |= AV_CODEC_FLAG2_FAST | AV_CODEC_FLAG2_SHOW_ALL;
    opened_ = avcodec_open2(context_, codec_, nullptr) >= 0;
    return opened_;
}

void VideoPictureDecoder::releaseImage() {
    image_.reset();
    shown_ = false;
}

int VideoPictureDecoder::decode(const AVPacket* packet) {
    if (!open())
        return AVERROR(EINVAL);
    // Only the feeding thread feeds and flushes the codec; the render thread holds its own
    // reference to the picture it uploads.
    int pictures = 0;
    auto receive = [&]() {
        while (avcodec_receive_frame(context_, decodeFrame_) >= 0) {
            std::lock_guard<std::mutex> lock(frameMutex_);
            av_frame_unref(latestFrame_);
            av_frame_move_ref(latestFrame_, decodeFrame_);
            latestNew_ = true;
            ++pictures;
        }
    };
    int result = avcodec_send_packet(context_, packet);
    if (result == AVERROR(EAGAIN)) {
        receive();
        result = avcodec_send_packet(context_, packet);
    }
    receive();
    return result < 0 && pictures == 0 ? result : pictures;
}

void VideoPictureDecoder::flush() {
    std::lock_guard<std::mutex> codecLock(codecMutex_);
    std::lock_guard<std::mutex> frameLock(frameMutex_);
    latestNew_ = false;
    if (opened_)
        avcodec_flush_buffers(context_);
}

bool VideoPictureDecoder::convertToBGRA(const AVFrame* frame) {
    if (!converter_ || frame->width != convertedWidth_ || frame->height != convertedHeight_ ||
        frame->format != convertedSourceFormat_) {
        sws_freeContext(converter_);
        av_freep(&convertedBuffer_);
        converter_ = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                    frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        const int size = av_image_get_buffer_size(AV_PIX_FMT_BGRA, frame->width, frame->height, 1);
        if (!converter_ || size <= 0)
            return false;
        convertedBuffer_ = static_cast<unsigned char*>(av_malloc(std::size_t(size)));
        if (!convertedBuffer_)
            return false;
        convertedWidth_ = frame->width;
        convertedHeight_ = frame->height;
        convertedSourceFormat_ = frame->format;
        convertedLineSize_ = frame->width * 4;
    }
    std::uint8_t* dst[4] = {convertedBuffer_, nullptr, nullptr, nullptr};
    int dstLines[4] = {convertedLineSize_, 0, 0, 0};
    sws_scale(converter_, frame->data, frame->linesize, 0, frame->height, dst, dstLines);
    return true;
}

int VideoPictureDecoder::renderFrame(int width, int height) {
    bool gotNew = false;
    {
        std::lock_guard<std::mutex> lock(frameMutex_);
        if (latestNew_) {
            std::swap(latestFrame_, renderFrame_);
            latestNew_ = false;
            gotNew = true;
        }
    }
    if (gotNew && renderFrame_->width > 0 && renderFrame_->height > 0) {
        if (!image_) {
            image_ = std::make_unique<DecodedImage>(shaderMode_, settings_.exactTextures);
            shown_ = false;
        }
        std::lock_guard<std::mutex> codecLock(codecMutex_);
        const AVFrame* f = renderFrame_;
        bool uploaded = false;
        if (shaderMode_ != 0 && isPlanar420(f->format)) {
            DecodedFrame frame;
            frame.format = DecodedFrame::I420;
            for (int p = 0; p < 3; ++p) {
                frame.planes[p] = f->data[p];
                frame.lineSizes[p] = f->linesize[p];
            }
            frame.width = f->width;
            frame.height = f->height;
            image_->showFrame(frame);
            uploaded = !image_->programFailed();
            if (!uploaded) {
                // No usable colour program here: convert on the CPU from now on.
                shaderMode_ = 0;
                image_ = std::make_unique<DecodedImage>(0, settings_.exactTextures);
            }
        }
        if (!uploaded && convertToBGRA(f)) {
            DecodedFrame frame;
            frame.format = DecodedFrame::BGRA;
            frame.planes[0] = convertedBuffer_;
            frame.lineSizes[0] = convertedLineSize_;
            frame.width = f->width;
            frame.height = f->height;
            image_->showFrame(frame);
            uploaded = true;
        }
        av_frame_unref(renderFrame_);
        if (uploaded) {
            shown_ = true;
            image_->draw(width, height);
            return 1;
        }
    }
    if (shown_ && image_) {
        image_->draw(width, height);
        return 0;
    }
    return -1;
}
