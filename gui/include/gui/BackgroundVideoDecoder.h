#pragma once
// The H.264 software decoder of the background video. The reader thread feeds it packets;
// the latest finished picture is handed over (swapped, never copied) to the render thread,
// which uploads and draws it through a DecodedImage. With a shader mode the planes go to the
// GPU as they are; without one (or when the picture's layout needs it) swscale converts to
// BGRA first.

#include <memory>
#include <mutex>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
class DecodedImage;

class BackgroundVideoDecoder {
public:
    BackgroundVideoDecoder();
    ~BackgroundVideoDecoder();

    BackgroundVideoDecoder(const BackgroundVideoDecoder&) = delete;
    BackgroundVideoDecoder& operator=(const BackgroundVideoDecoder&) = delete;

    // Opens the codec once (later calls answer at once); false when it cannot be opened.
    bool open();
    // Decodes one packet; the number of pictures it finished, or a negative FFmpeg error.
    int decode(const AVPacket* packet);
    // Drops what the codec holds and any picture not yet taken (after a seek).
    void flush();
    // Render thread: 1 when a new picture was uploaded and drawn, 0 when the previous one was
    // drawn again, -1 when there is none yet.
    int renderFrame(int width, int height);

    bool isOpened() const { return opened_; }
    int shaderMode() const { return shaderMode_; }
    DecodedImage* image() const { return image_.get(); }

private:
    bool convertToBGRA(const AVFrame* frame);

    bool shown_ = false;
    std::unique_ptr<DecodedImage> image_;
    std::mutex frameMutex_;
    std::mutex codecMutex_;
    AVFrame* decodeFrame_ = nullptr;
    AVFrame* latestFrame_ = nullptr;
    bool latestNew_ = false;
    AVFrame* renderFrame_ = nullptr;
    unsigned char* convertedBuffer_ = nullptr;
    int convertedLineSize_ = 0;
    int convertedWidth_ = 0;
    int convertedHeight_ = 0;
    int convertedSourceFormat_ = -1;
    const AVCodec* codec_ = nullptr;
    AVCodecContext* context_ = nullptr;
    SwsContext* converter_ = nullptr;
    bool opened_ = false;
    std::mutex openMutex_;
    int shaderMode_ = 0;
};
