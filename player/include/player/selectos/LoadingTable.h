#pragma once
// The loading panel of the machine-selection screen: a status line, an endless frame
// animation and a tip of the day, shown while the web service works.
//
// While visible it derives the status line from the server state of the user's machine,
// except while the line shows the account-loading text (the screen sets that one). Each
// showing or hiding asks for one new tip: the next tick shows the model's tip (formatted
// with "text_select_os_tip") and requests the following one from the service.
//
// Threads: render thread (tick), main and render thread (visibility), under the window's
// GUI lock.

#include <memory>
#include <string>
#include <vector>

#include "gui/FramingAnimation.h"
#include "gui/Table.h"

class IPlayerWindow;
class Static;

// The 29-frame spinner of the "animation" atlas, 40 ms a frame.
class LoadingAnimation : public FramingAnimation {
public:
    static constexpr double kFrameIntervalMs = 40.0;
    static constexpr int kFrameWidth = 60;
    static constexpr int kFrameHeight = 64;

    explicit LoadingAnimation(PlayerGUI* gui);
    bool loadFrames() override;
};

class LoadingTable : public Table {
public:
    explicit LoadingTable(IPlayerWindow* window);
    ~LoadingTable() override;

    bool tick(double seconds) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;

    void setStatus(const std::string& text);

    // The status line's text by the machine's server state.
    static std::string statusKeyForState(const std::string& serverState);

    Static* statusLabel() const { return statusLabel_.get(); }
    Static* tipLabel() const { return tipLabel_.get(); }
    LoadingAnimation* animation() const { return animation_.get(); }

private:
    void requestTip();
    const std::string& statusText(const std::string& serverState) const;

    std::int32_t rowSpacing_ = 60;
    std::shared_ptr<Static> statusLabel_;
    std::shared_ptr<LoadingAnimation> animation_;
    std::shared_ptr<Static> tipLabel_;
    IPlayerWindow* window_;
    bool tipShown_ = false;
    std::string pullingText_;
    std::vector<std::string> statusTexts_;
};
