#include "platform/TrayIcon.h"

#include <mutex>
#include <sstream>
#include <vector>

namespace platform {

namespace {

const char* actionName(TrayAction action) {
    switch (action) {
        case TrayAction::Add: return "add";
        case TrayAction::Modify: return "modify";
        case TrayAction::Delete: return "delete";
    }
    return "?";
}

class LoggingTrayIcon : public ITrayIcon {
public:
    explicit LoggingTrayIcon(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

    bool isShown() const override { return false; }

    bool notify(TrayAction action, const TrayIconData& data) override {
        std::ostringstream line;
        line << "tray icon " << actionName(action) << " id=" << data.id << " flags=0x" << std::hex << data.flags
             << std::dec;
        if (action != TrayAction::Delete) {
            if (data.flags & kTrayFlagMessage) line << " message=" << data.callbackMessage;
            if (data.flags & kTrayFlagIcon) line << " icon=" << data.icon;
            if (data.flags & kTrayFlagTip) line << " tip=\"" << data.tip << "\"";
            if (data.flags & kTrayFlagInfo)
                line << " balloon=\"" << data.infoTitle << "\": \"" << data.info << "\" info-flags=" << data.infoFlags
                     << " timeout=" << data.timeout;
        }
        write(line.str());
        return true;
    }

    void createMenu() override {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.clear();
        hasMenu_ = true;
        writeLocked("tray menu created");
    }

    bool insertMenuItem(int position, unsigned flags, int id, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!hasMenu_) return false;
        std::ostringstream line;
        line << "tray menu item " << position << ": id=" << id << " flags=0x" << std::hex << flags << std::dec;
        if (!(flags & kMenuSeparator)) line << " \"" << text << "\"";
        items_.push_back(id);
        writeLocked(line.str());
        return true;
    }

    bool enableMenuItem(int id, bool enabled) override {
        std::lock_guard<std::mutex> lock(mutex_);
        bool found = false;
        for (int item : items_) found = found || item == id;
        if (!hasMenu_ || !found) return false;
        writeLocked("tray menu item id=" + std::to_string(id) + (enabled ? " enabled" : " disabled"));
        return true;
    }

    int trackMenu(int x, int y) override {
        write("tray menu at " + std::to_string(x) + "," + std::to_string(y) + ": no notification area, nothing chosen");
        return 0;
    }

    void destroyMenu() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!hasMenu_) return;
        hasMenu_ = false;
        items_.clear();
        writeLocked("tray menu destroyed");
    }

private:
    void write(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        writeLocked(line);
    }
    void writeLocked(const std::string& line) {
        if (log_) log_(line);
    }

    std::function<void(const std::string&)> log_;
    std::mutex mutex_;
    bool hasMenu_ = false;
    std::vector<int> items_;
};

}  // namespace

std::unique_ptr<ITrayIcon> makeLoggingTrayIcon(std::function<void(const std::string&)> log) {
    return std::make_unique<LoggingTrayIcon>(std::move(log));
}

std::string fitTrayText(const std::string& text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0) length = 4;
        else if (lead >= 0xE0) length = 3;
        else if (lead >= 0xC0) length = 2;
        if (i + length > text.size()) length = text.size() - i;
        // Characters beyond the basic plane take two UTF-16 units.
        const std::size_t needed = length == 4 ? 2 : 1;
        if (units + needed > maxUnits) break;
        units += needed;
        i += length;
    }
    return text.substr(0, i);
}

}  // namespace platform
