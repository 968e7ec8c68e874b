#include "WebApiSettings.h"

#include <map>
#include <mutex>

namespace {
std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, std::string>& settings() {
    static std::map<std::string, std::string> values;
    return values;
}
}  // namespace

std::string getWebApiSetting(const std::string& key, const std::string& defaultValue) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    const auto it = settings().find(key);
    return it == settings().end() ? defaultValue : it->second;
}

void setWebApiSetting(const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    settings()[key] = value;
}
