#pragma once
// A video clip playing in a loop behind a screen's widgets. A reader thread ("ReadFile
// thread") demuxes the clip, decodes it at the clip's own pace and hands the latest picture
// over; the owner draws it from its after-draw hook with renderFrame(), so the widgets batched
// in the same frame appear over the video. The widget's own draw is empty; its tick asks for a
// redraw whenever a new picture was decoded.
//
// Threads: the owner's thread starts, pauses, resumes and stops; the render thread calls
// renderFrame() and tick(). Destroying the widget stops the reader.

#include "gui/Widget.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

struct AVFormatContext;
class BackgroundVideoDecoder;

// The reader's play clock: seconds of clip played against the time elapsed since the start,
// with pauses taken out and long stalls skipped instead of caught up.
class VideoPlayClock {
public:
    void start(double now);
    // Called while paused: remembers when the pause began.
    void pausing(double now);
    // One packet of the given duration was read; time spent paused before it is added.
    void addPacket(double duration, double now);
    // Whether the clip is ahead of the elapsed time (the reader waits).
    bool ahead(double now) const { return played_ > now - start_; }
    // When the elapsed time is more than one second past the clip, the clip jumps to it.
    void skipStall(double now);
    double played() const { return played_; }

private:
    double start_ = 0.0;
    double played_ = 0.0;
    double pauseStart_ = 0.0;
};

class BackgroundVideoWidget : public Widget {
public:
    using Clock = std::function<double()>;

    // path: the clip, normally getLibFolder() joined with "background.ts".
    BackgroundVideoWidget(PlayerGUI* gui, const std::string& path);
    ~BackgroundVideoWidget() override;

    // Opens decoder and clip and starts the reader; false (logged) when either fails.
    bool InitRenderImplementation();
    // Render thread, after the GUI has batched its widgets: draws the latest picture over the
    // frame buffer (width x height pixels). Nothing while paused.
    void renderFrame(AbstractGraphicsContext* context, int width, int height);
    void pause() { paused_ = true; }
    void resume() { paused_ = false; }
    // Stops the reader for good (a stopped widget does not play again). Not from the reader.
    void stop();

    bool tick(double seconds) override;

    // The reader's clock in seconds (GLFW time by default); set before InitRenderImplementation.
    void setClock(Clock clock) { clock_ = std::move(clock); }

    bool isReading() const { return reader_.joinable() && !stopping_; }
    bool isPaused() const { return paused_; }
    const std::string& path() const { return path_; }
    BackgroundVideoDecoder* decoder() const { return decoder_.get(); }
    // Counters for diagnostics and tests.
    long picturesDecoded() const { return picturesDecoded_; }
    int loopsCompleted() const { return loops_; }
    long failedReads() const { return failedReads_; }
    // The result of the last decoder renderFrame (1 new picture, 0 same, -1 none).
    int lastRenderResult() const { return lastRender_; }

private:
    bool initReadVideoFile();
    void readFileThread();
    // Sleeps up to the given time, waking early when the reader is being stopped.
    void sleepUnlessStopping(int milliseconds);

    std::unique_ptr<BackgroundVideoDecoder> decoder_;
    AVFormatContext* clip_ = nullptr;
    std::string path_;
    std::thread reader_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> newFrame_{false};
    Clock clock_;
    int videoStream_ = -1;
    std::atomic<long> picturesDecoded_{0};
    std::atomic<int> loops_{0};
    std::atomic<long> failedReads_{0};
    int lastRender_ = -1;
};
