#pragma once
// Plays still images (an atlas surface and a source rectangle each) one after another at a
// fixed interval, once or in a loop, in a child ImageButton. Subclasses supply the frames
// in loadFrames().

#include "gui/Widget.h"

#include <memory>
#include <vector>

class AbstractSurface;
class ImageButton;

class FramingAnimation : public Widget {
public:
    struct Frame {
        AbstractSurface* surface = nullptr;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    explicit FramingAnimation(PlayerGUI* gui);
    ~FramingAnimation() override;

    bool arrange(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;
    bool tick(double seconds) override;
    // Fills the frames; false when there are none. Called by start() while there are none.
    virtual bool loadFrames() { return false; }

    void setFrameInterval(double milliseconds) { interval_ = milliseconds; }
    void start(bool loop);
    // The next tick removes the image.
    void stop() { playing_ = false; }

    bool isPlaying() const { return playing_; }
    bool isLooping() const { return loop_; }
    // The image showing the current frame, null while idle.
    ImageButton* child() const { return child_.get(); }
    std::size_t currentFrame() const { return current_; }
    const std::vector<Frame>& frames() const { return frames_; }

    int commandId = 0;  // given to the image

protected:
    std::vector<Frame> frames_;

private:
    void showFrame(const Frame& frame);

    bool loop_ = false;
    bool playing_ = false;
    double interval_ = 1000.0;
    double lastChange_ = 0.0;
    std::shared_ptr<ImageButton> child_;
    std::size_t current_ = 0;
};
