#pragma once
// The in-stream overlay menu in its smallest form: an invisible modal widget whose visible
// flag is the menu's open state (so opening it dims the stream and a click on the dimmed
// stream closes it again), and the values the screen hands it. It draws nothing.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/Widget.h"
#include "player-ui/menu/IBitrateSlider.h"
#include "player-ui/menu/IDecoderPopup.h"
#include "player-ui/menu/IDialogTimeout.h"
#include "player-ui/menu/IRightMenu.h"
#include "player-ui/menu/IStreamMenu.h"

class ThinStreamMenu : public Widget,
                       public IStreamMenu,
                       public IRightMenu,
                       public IDecoderPopup,
                       public IBitrateSlider,
                       public IDialogTimeout {
public:
    explicit ThinStreamMenu(PlayerGUI* gui);

    // IStreamMenu
    Widget* widget() override { return this; }
    bool isOpen() const override { return Widget::isVisible() || gamepadFormVisible_; }
    void showGamepadForm(bool show, JoystickManager* manager) override;
    bool isGamepadFormVisible() const override { return gamepadFormVisible_; }
    void hide(bool showToggle) override;
    bool toggleVisible() const override { return toggleVisible_; }
    void setCursorLocked(bool locked) override { cursorLocked_ = locked; }
    void setTourLock(bool locked) override { tourLocked_ = locked; }
    bool tourLocked() const override { return tourLocked_; }
    void setCursorLockItemInteractive(bool interactive) override { cursorLockItemInteractive_ = interactive; }
    IRightMenu& rightMenu() override { return *this; }
    IBitrateSlider& bitrateSlider() override { return *this; }

    // IRightMenu
    void toggleSettingsPage() override;
    void toggleSystemPage() override;
    void toggleDecoderPopup() override { decoderListOpen_ = !decoderListOpen_; }
    void setQuality(std::int32_t value) override { quality_ = value; }
    void setQualityNormalStyle() override { qualityWarning_ = false; }
    void setQualityWarningStyle() override { qualityWarning_ = true; }
    void setDecoderScore(std::int32_t value) override { decoderScore_ = value; }
    void setDatacenterLabel(const std::string& text) override { datacenter_ = text; }
    void setPlanLabel(const std::string& text) override { plan_ = text; }
    void setGpuLabel(const std::string& text) override { gpu_ = text; }
    void setCurrentDecoder(const std::string& name) override;
    void setFramerateSwitchValue(const std::string& text) override { framerate_ = text; }
    void setResolutionSwitchValue(const std::string& text) override { resolution_ = text; }
    IDecoderPopup& decoderPopup() override { return *this; }
    IDialogTimeout& timeoutDialog() override { return *this; }

    // IDecoderPopup
    void setDecoders(const std::vector<std::string>& names) override { decoders_ = names; }
    bool takeChoice() override { return choiceMade_.exchange(false); }

    // IBitrateSlider
    std::int32_t getBitrate() const override { return bitrate_; }
    void setBitrate(std::int32_t bitsPerSecond) override { bitrate_ = bitsPerSecond; }
    bool isDragging() const override { return false; }

    // IDialogTimeout
    void setVisible(bool visible) override { timeoutVisible_ = visible; }
    bool isVisible() const override { return timeoutVisible_; }
    bool hasChosenValue() const override { return false; }

    bool settingsPageOpen() const { return settingsOpen_; }
    bool systemPageOpen() const { return systemOpen_; }
    std::int32_t quality() const { return quality_; }
    bool qualityWarning() const { return qualityWarning_; }
    const std::string& framerate() const { return framerate_; }
    const std::string& resolution() const { return resolution_; }
    const std::string& currentDecoder() const { return currentDecoder_; }
    const std::vector<std::string>& decoders() const { return decoders_; }
    bool cursorLocked() const { return cursorLocked_; }

private:
    bool gamepadFormVisible_ = false;
    bool toggleVisible_ = true;
    bool cursorLocked_ = false;
    bool tourLocked_ = false;
    bool cursorLockItemInteractive_ = true;
    bool settingsOpen_ = false;
    bool systemOpen_ = false;
    bool decoderListOpen_ = false;
    bool qualityWarning_ = false;
    bool timeoutVisible_ = false;
    std::int32_t quality_ = 0;
    std::int32_t decoderScore_ = 0;
    std::int32_t bitrate_ = 0;
    std::string datacenter_, plan_, gpu_, currentDecoder_, framerate_, resolution_;
    std::vector<std::string> decoders_;
    std::atomic<bool> choiceMade_{false};
};
