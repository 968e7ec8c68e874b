#pragma once
// The render implementation of render-ffmpeg.so: libavcodec's H.264 software decoder tuned
// for latency, and the newest picture drawn with OpenGL.
//
// The media client hands over whole access units with start codes (Annex B); parameter sets
// stay in the frame data. Each unit is copied once, into a buffer of this object with the
// zeroed padding that libavcodec reads past the end, and decoded at once on the feeding
// thread, so its picture is ready before decodeFrame returns: nothing is queued, and no
// picture waits behind a newer one. The render thread collects the count of new pictures and
// draws the newest (upload into textures, YUV to RGB in a shader), scaled to the drawable.
//
// Threads: decodeFrame, needsKeyFrame and the loss calls on the feeding thread; initialize,
// collect, renderPicture and release on the render thread. Decoding and release exclude each
// other; decoding and drawing run in parallel (the picture is handed over by reference).

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "stream/session/IRenderImplementation.h"

struct AVBufferRef;
struct AVPacket;
class VideoPictureDecoder;

class FfmpegRenderImplementation : public IRenderImplementation {
public:
    FfmpegRenderImplementation();
    ~FfmpegRenderImplementation() override;

    int getFlags() override { return kRenderWholeFrames | kRenderIdrOnLoss; }
    bool isSynchronous() override { return false; }
    // True once after a unit the decoder rejected.
    bool needsKeyFrame() override { return keyFrameWanted_.exchange(false); }
    // The parameter sets also arrive in the frame data, which is what the decoder reads.
    void setParameterSets(const std::uint8_t*, int, const std::uint8_t*, int) override {}
    void detach(int) override {}
    void onPacketsLost(int) override {}
    void decodeFrame(const std::uint8_t* data, int size, int flags) override;

    bool initialize() override;
    void release() override;
    int collect(double waitMs) override;
    void renderPicture(double scale, int width, int height) override;

private:
    // Makes input_ a writable buffer of at least size bytes plus the padding.
    bool reserveInput(int size);

    std::mutex feedLock_;  // decodeFrame against initialize and release
    std::unique_ptr<VideoPictureDecoder> decoder_;
    bool ready_ = false;
    AVPacket* packet_ = nullptr;
    AVBufferRef* input_ = nullptr;

    std::mutex pictureLock_;
    std::condition_variable pictureReady_;
    int newPictures_ = 0;

    std::atomic<bool> keyFrameWanted_{false};
};
