#pragma once
// A whole atlas surface at the widget's rectangle, stretched over the window, or turning
// (a spinner); runs its click task when clicked.

#include "gui/Widget.h"

#include <memory>

class AbstractSurface;
class PlayerGUITask;

class Image : public Widget {
public:
    enum Mode : int {
        ModeStill = 0,
        ModeFullWindow = 1,
        ModeRotating = 2,
    };

    // The widget takes the surface's size. The surface is not owned.
    Image(PlayerGUI* gui, AbstractSurface* surface, std::shared_ptr<PlayerGUITask> clickTask = {});

    void onFocus() override {}
    void onBlur() override;
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    void onMouseEnter() override;
    void onMouseLeave() override;
    void draw(AbstractGraphicsContext* context) override;
    bool tick(double seconds) override;

    // The surface's size times factor.
    void setScale(float factor);
    // Turns at speed radians per second, refreshed every interval seconds.
    void setRotating(float speed, float interval);
    void setStill();
    void setFullWindow();

    AbstractSurface* surface() const { return surface_; }
    int mode() const { return mode_; }
    float angle() const { return angle_; }
    bool isPressed() const { return pressed_ != 0; }

private:
    void takeSurfaceSize();

    unsigned char pressed_ = 0;
    AbstractSurface* surface_;
    int mode_ = ModeStill;
    float angle_ = 0.0f;
    float speed_ = 0.0f;
    float interval_ = 9999.0f;
    float lastUpdate_ = 0.0f;
    std::shared_ptr<PlayerGUITask> clickTask_;
};
