#pragma once
// What the in-stream screen needs of the overlay menu's right column: its pages, its
// labels, its decoder popup and idle-timeout dialog, and its two setting switches.
// Threads: as IStreamMenu.

#include <cstdint>
#include <string>

class IDecoderPopup;
class IDialogTimeout;

class IRightMenu {
public:
    virtual ~IRightMenu() = default;

    // The settings page opens or closes; the system page closes.
    virtual void toggleSettingsPage() = 0;
    // The system page opens or closes; the settings page closes.
    virtual void toggleSystemPage() = 0;
    // The decoder popup's list opens or closes.
    virtual void toggleDecoderPopup() = 0;

    // Connection quality 0..100, shown as "<value>//100".
    virtual void setQuality(std::int32_t value) = 0;
    virtual void setQualityNormalStyle() = 0;
    virtual void setQualityWarningStyle() = 0;
    virtual void setDecoderScore(std::int32_t value) = 0;
    virtual void setDatacenterLabel(const std::string& text) = 0;
    virtual void setPlanLabel(const std::string& text) = 0;
    // The GPU's name (the OpenGL renderer string).
    virtual void setGpuLabel(const std::string& text) = 0;
    // Forwards to the decoder popup.
    virtual void setCurrentDecoder(const std::string& name) = 0;

    // The frame-rate and resolution switches take the language text of the option to show
    // ("menu_fps_60"/"menu_fps_30", "menu_resolution_1080"/"menu_resolution_720" looked up).
    virtual void setFramerateSwitchValue(const std::string& text) = 0;
    virtual void setResolutionSwitchValue(const std::string& text) = 0;

    virtual IDecoderPopup& decoderPopup() = 0;
    virtual IDialogTimeout& timeoutDialog() = 0;
};
