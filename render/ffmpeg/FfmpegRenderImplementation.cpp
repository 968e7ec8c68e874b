#include "FfmpegRenderImplementation.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>

#include <GL/glew.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
}

#include "core/LogLine.h"
#include "gui/VideoPictureDecoder.h"

namespace {
// A new input buffer is at least this large, so that the units of a stream soon fit one
// buffer that is then reused for good.
constexpr std::size_t kMinimumInputSize = 256 * 1024;
}  // namespace

FfmpegRenderImplementation::FfmpegRenderImplementation() : packet_(av_packet_alloc()) {}

FfmpegRenderImplementation::~FfmpegRenderImplementation() {
    std::lock_guard<std::mutex> lock(feedLock_);
    ready_ = false;
    decoder_.reset();  // OpenGL objects go only while a context is current
    av_buffer_unref(&input_);
    av_packet_free(&packet_);
}

bool FfmpegRenderImplementation::initialize() {
    std::lock_guard<std::mutex> lock(feedLock_);
    if (ready_)
        return true;
    if (!packet_)
        return false;
    if (!glGetString(GL_VERSION)) {
        NIMBROSTA_LOG(50, "FfmpegRenderImplementation::initialize") << "no OpenGL context on this thread";
        return false;
    }
    // The program normally has looked up the OpenGL entry points already; a host that has
    // not gets them looked up here (the shader mode depends on them).
    if (!glUseProgramObjectARB && !glBindProgramARB && glewInit() != GLEW_OK) {
        NIMBROSTA_LOG(50, "FfmpegRenderImplementation::initialize") << "OpenGL extensions unavailable";
        return false;
    }
    VideoPictureDecoder::Settings settings;
    settings.sliceThreadsAlways = true;
    settings.exactTextures = true;
    auto decoder = std::make_unique<VideoPictureDecoder>(settings);
    if (!decoder->open()) {
        NIMBROSTA_LOG(50, "FfmpegRenderImplementation::initialize") << "the H.264 decoder does not open";
        return false;
    }
    NIMBROSTA_LOG(0, "FfmpegRenderImplementation::initialize") << "software decoding, shaders " << decoder->shaderMode();
    decoder_ = std::move(decoder);
    ready_ = true;
    return true;
}

void FfmpegRenderImplementation::release() {
    {
        std::lock_guard<std::mutex> lock(feedLock_);
        ready_ = false;
        if (decoder_)
            decoder_->releaseImage();
        decoder_.reset();
        av_buffer_unref(&input_);
    }
    std::lock_guard<std::mutex> lock(pictureLock_);
    newPictures_ = 0;
}

bool FfmpegRenderImplementation::reserveInput(int size) {
    const std::size_t needed = std::size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE;
    // Still referenced by the codec (refcount above one) or too small: a new one.
    if (input_ && input_->size >= needed && av_buffer_is_writable(input_))
        return true;
    const std::size_t capacity = std::max({needed, kMinimumInputSize, input_ ? input_->size * 2 : 0});
    av_buffer_unref(&input_);
    input_ = av_buffer_alloc(capacity);
    return input_ != nullptr;
}

void FfmpegRenderImplementation::decodeFrame(const std::uint8_t* data, int size, int) {
    if (!data || size <= 0 || size > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        return;
    int pictures = 0;
    {
        std::lock_guard<std::mutex> lock(feedLock_);
        if (!ready_ || !reserveInput(size))
            return;
        std::memcpy(input_->data, data, std::size_t(size));
        std::memset(input_->data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        // The packet borrows this object's reference: the codec takes its own when it keeps
        // the data, so nothing is copied again.
        packet_->buf = input_;
        packet_->data = input_->data;
        packet_->size = size;
        pictures = decoder_->decode(packet_);
        packet_->buf = nullptr;
        packet_->data = nullptr;
        packet_->size = 0;
    }
    if (pictures < 0) {
        keyFrameWanted_ = true;
        return;
    }
    if (pictures > 0) {
        {
            std::lock_guard<std::mutex> lock(pictureLock_);
            newPictures_ += pictures;
        }
        pictureReady_.notify_one();
    }
}

int FfmpegRenderImplementation::collect(double waitMs) {
    std::unique_lock<std::mutex> lock(pictureLock_);
    if (newPictures_ == 0 && waitMs > 0.0)
        pictureReady_.wait_for(lock, std::chrono::duration<double, std::milli>(waitMs),
                               [this] { return newPictures_ > 0; });
    const int pictures = newPictures_;
    newPictures_ = 0;
    return pictures;
}

void FfmpegRenderImplementation::renderPicture(double, int width, int height) {
    // decoder_ changes only on this thread (initialize, release).
    if (!decoder_ || width <= 0 || height <= 0)
        return;
    // Drawn in pixels over the whole drawable, whatever the host's matrices; the host's
    // OpenGL state is as it was afterwards, so its own state cache stays true.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, double(width), double(height), 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, width, height);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    decoder_->renderFrame(width, height);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
