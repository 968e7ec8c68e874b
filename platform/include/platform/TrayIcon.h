#pragma once
// An icon in the desktop's notification area with a balloon and a small popup menu.
//
// The operations follow the notification-area interface the launcher was written against:
// one icon record that is added, modified and deleted as a whole, and a popup menu built
// item by item by position. This system has no such area that the program can rely on, so
// the stand-in made here only logs every operation; isShown() tells the owner that nothing
// on the desktop shows the icon, so a window hidden "to the tray" must stay reachable some
// other way (the launcher iconifies it instead).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Flags of TrayIconData::flags: which fields are valid.
constexpr unsigned kTrayFlagMessage = 0x1;  // callbackMessage
constexpr unsigned kTrayFlagIcon = 0x2;     // icon
constexpr unsigned kTrayFlagTip = 0x4;      // tip
constexpr unsigned kTrayFlagInfo = 0x10;    // the balloon: info, infoTitle, infoFlags, timeout

// Longest texts the record holds, in UTF-16 units (the terminator excluded).
constexpr std::size_t kTrayTipUnits = 127;
constexpr std::size_t kTrayInfoUnits = 255;
constexpr std::size_t kTrayInfoTitleUnits = 63;

// Menu item flags.
constexpr unsigned kMenuEnabled = 0x0;
constexpr unsigned kMenuDisabled = 0x2;
constexpr unsigned kMenuByPosition = 0x400;
constexpr unsigned kMenuSeparator = 0x800;
constexpr unsigned kMenuDefault = 0x1000;

struct TrayIconData {
    std::uintptr_t window = 0;    // the owner window's native id
    unsigned id = 0;              // the icon's id within the owner
    unsigned flags = 0;           // kTrayFlag*
    unsigned callbackMessage = 0; // the message the icon's mouse events arrive as
    std::string icon;             // the icon resource's name
    unsigned version = 0;         // the timeout/version field
    std::string tip;              // UTF-8, at most kTrayTipUnits
    std::string info;             // balloon text, at most kTrayInfoUnits
    std::string infoTitle;        // balloon title, at most kTrayInfoTitleUnits
    unsigned infoFlags = 0;       // 1: the information icon
    unsigned timeout = 0;         // balloon time in ms
};

enum class TrayAction { Add, Modify, Delete };

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;

    // Whether the desktop shows the icon, so that the user can reach a hidden window
    // through it.
    virtual bool isShown() const = 0;

    // Adds, changes or removes the icon described by data. False when refused.
    virtual bool notify(TrayAction action, const TrayIconData& data) = 0;

    // The popup menu: made empty, filled by position, items enabled or disabled by id,
    // shown at a screen position, destroyed.
    virtual void createMenu() = 0;
    virtual bool insertMenuItem(int position, unsigned flags, int id, const std::string& text) = 0;
    virtual bool enableMenuItem(int id, bool enabled) = 0;
    // Shows the menu at the screen position; the id of the chosen item, or 0 when none was.
    virtual int trackMenu(int x, int y) = 0;
    virtual void destroyMenu() = 0;
};

// The stand-in of this system: every operation becomes one line handed to log. Any thread
// may call it.
std::unique_ptr<ITrayIcon> makeLoggingTrayIcon(std::function<void(const std::string&)> log);

// The text cut to at most maxUnits UTF-16 units without cutting a character in two.
std::string fitTrayText(const std::string& text, std::size_t maxUnits);

}  // namespace platform
