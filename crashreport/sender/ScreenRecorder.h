#pragma once
// The video of a report: screen pictures taken at the frame interval, encoded as they come
// (H.264 where the FFmpeg libraries have an encoder for it, else MPEG-4 part 2), of which
// the stretch of the last `duration` milliseconds is kept and written as an MP4 file when
// the crash comes.
//
// Memory stays bounded by the kept stretch: only encoded packets are kept, and whole
// groups of pictures (each begins with a key frame) are dropped from the front once the
// next group alone covers the duration.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ScreenCapture.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

class ScreenRecorder {
public:
    // width and height 0: the size of the first picture. Sizes are made even.
    ScreenRecorder(int width, int height, int frameIntervalMs, int durationMs);
    ~ScreenRecorder();
    ScreenRecorder(const ScreenRecorder&) = delete;
    ScreenRecorder& operator=(const ScreenRecorder&) = delete;

    // Encodes one picture taken at timeMs (milliseconds from any fixed start, rising).
    // False when the encoder failed (error() says why); later pictures are then dropped.
    bool add(const ScreenImage& image, std::int64_t timeMs);

    // Ends the encoding and writes the kept stretch to path (whole or not at all).
    bool write(const std::string& path);

    // The kept stretch: pictures and milliseconds from the first to the last.
    std::size_t keptFrames() const { return packets_.size(); }
    std::int64_t keptMs() const;
    const std::string& error() const { return error_; }
    const char* codecName() const;

private:
    struct Packet {
        std::int64_t pts = 0;
        bool key = false;
        std::vector<std::uint8_t> data;
    };

    bool open(int width, int height);
    bool drain();
    void dropOld();

    int width_, height_, intervalMs_, durationMs_;
    AVCodecContext* encoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int scalerWidth_ = 0, scalerHeight_ = 0;
    std::int64_t lastPts_ = -1;
    std::deque<Packet> packets_;
    bool failed_ = false;
    bool finished_ = false;
    std::string error_;
};
