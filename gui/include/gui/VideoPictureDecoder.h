#pragma once
// An H.264 software decoder with a presenter for its newest picture. One thread feeds it
// packets; the newest finished picture is handed over (swapped, never copied) to the render
// thread, which uploads and draws it through a DecodedImage. With a shader mode the planes go
// to the GPU as they are; without one (or when the picture's layout needs it) swscale
// converts to BGRA first.
//
// Used by the background video of the toolkit and by the FFmpeg render plug-in (which links
// this piece statically), so it depends on nothing but FFmpeg, OpenGL and the log line.
//
// Threads: decode() and flush() on the feeding thread, renderFrame() on the thread whose
// OpenGL context is current; open() on either (it reads the shader mode, which needs GLEW's
// entry points to have been looked up).

#include <memory>
#include <mutex>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
class DecodedImage;

class VideoPictureDecoder {
public:
    struct Settings {
        // Slice threads on every physical core whatever the shader mode: a live stream must
        // keep up with its frame rate. Otherwise the codec gets one thread while the GPU
        // converts colours, and every core only when the CPU converts too.
        bool sliceThreadsAlways = false;
        // Textures exactly as large as the picture's planes (no coloured column at the right
        // edge from the decoder's line padding), sampled texel for texel when the picture is
        // drawn at its own size.
        bool exactTextures = false;
    };

    VideoPictureDecoder();
    explicit VideoPictureDecoder(Settings settings);
    ~VideoPictureDecoder();

    VideoPictureDecoder(const VideoPictureDecoder&) = delete;
    VideoPictureDecoder& operator=(const VideoPictureDecoder&) = delete;

    // Opens the codec once, tuned for latency: low delay, no frame threads (they hold each
    // picture back by a frame per thread). Later calls answer at once; false when it cannot
    // be opened.
    bool open();
    // Decodes one packet (its data padded as FFmpeg requires); the number of pictures it
    // finished, or a negative FFmpeg error when it finished none.
    int decode(const AVPacket* packet);
    // Drops what the codec holds and any picture not yet taken (after a seek).
    void flush();
    // Render thread: 1 when a new picture was uploaded and drawn, 0 when the previous one was
    // drawn again, -1 when there is none yet. Draws over (0, 0, width, height) in the current
    // projection.
    int renderFrame(int width, int height);

    bool isOpened() const { return opened_; }
    int shaderMode() const { return shaderMode_; }
    DecodedImage* image() const { return image_.get(); }
    // Releases the presenter's OpenGL objects now (the context must be current).
    void releaseImage();

    // Physical cores: distinct (package, core) pairs of the online processors; 0 (FFmpeg
    // chooses) when the topology cannot be read.
    static int physicalCoreCount();

private:
    bool convertToBGRA(const AVFrame* frame);

    Settings settings_;
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
