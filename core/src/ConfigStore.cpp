#include "core/ConfigStore.h"

#include <boost/property_tree/ini_parser.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "core/Folders.h"
#include "core/LogLine.h"

namespace pt = boost::property_tree;

ConfigStore& ConfigStore::instance() {
    static ConfigStore store(joinPath(getExeFolder(), "config.ini"));
    return store;
}

ConfigStore::ConfigStore(std::string path) : stamp_(kFormatStamp), path_(std::move(path)) { load(); }

std::string ConfigStore::path() const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    return path_;
}

void ConfigStore::load() {
    std::string path;
    {
        std::shared_lock<std::shared_mutex> guard(lock_);
        path = path_;
    }
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) return;
    pt::ptree tree;
    try {
        pt::read_ini(in, tree);
    } catch (const std::exception& e) {
        LogLine(40, "ConfigStore::load", __LINE__).stream() << path << " ignored: " << e.what();
        return;
    }
    std::unique_lock<std::shared_mutex> guard(lock_);
    persistent_.swap(tree);
}

bool ConfigStore::save() {
    std::unique_lock<std::shared_mutex> guard(lock_);
    return saveLocked();
}

bool ConfigStore::saveLocked() {
    std::ostringstream text;
    try {
        pt::write_ini(text, persistent_);
    } catch (const std::exception& e) {
        LogLine(50, "ConfigStore::save", __LINE__).stream() << "cannot write " << path_ << ": " << e.what();
        return false;
    }
    const std::string bytes = text.str();
    const std::string temporary = path_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::binary | std::ios::trunc);
        if (out.is_open()) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
        }
        if (!out.is_open() || !out.good()) {
            LogLine(50, "ConfigStore::save", __LINE__).stream() << "cannot write " << temporary;
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path_, ec);
    if (ec) {
        LogLine(50, "ConfigStore::save", __LINE__).stream() << "cannot replace " << path_ << ": " << ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

void ConfigStore::setPathAndLoad(std::string path) {
    {
        std::unique_lock<std::shared_mutex> guard(lock_);
        path_ = std::move(path);
    }
    load();
}

void ConfigStore::checkVersion() {
    const std::string stored = getString("System.ConfigVersion", "");
    if (stored == stamp_) return;
    {
        std::unique_lock<std::shared_mutex> guard(lock_);
        persistent_.clear();
        std::error_code ec;  // a file that cannot be removed is overwritten below
        std::filesystem::remove(path_, ec);
    }
    setString("System.ConfigVersion", stamp_, true);
}

bool ConfigStore::has(std::string key) const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    return persistent_.get_child_optional(key) || volatile_.get_child_optional(key);
}

std::string ConfigStore::getString(std::string key, std::string defaultText) const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    if (auto node = persistent_.get_child_optional(key)) return node->data();
    if (auto node = volatile_.get_child_optional(key)) return node->data();
    return defaultText;
}

namespace {
// Whether key=value survives a round trip through config.ini: a line break would split the
// line, and a key that reads as a comment, a section or holds "=" would read back as
// something else. Such a file fails to parse at the next start, which resets every setting.
bool fitsIniLine(const std::string& key, const std::string& value) {
    if (key.find_first_of("\r\n=") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
        return false;
    const auto dot = key.find('.');
    const std::string name = dot == std::string::npos ? key : key.substr(dot + 1);
    return !name.empty() && name[0] != ';' && name[0] != '[' && key[0] != ';' && key[0] != '[';
}
}  // namespace

void ConfigStore::setString(std::string key, std::string value, bool persist) {
    if (persist && !fitsIniLine(key, value)) {
        LogLine(50, "ConfigStore::setString", __LINE__).stream()
            << "setting " << key << " cannot be stored in " << path() << ", kept for this run only";
        persist = false;
    }
    std::unique_lock<std::shared_mutex> guard(lock_);
    pt::ptree& layer = persist ? persistent_ : volatile_;
    if (persist) {
        // Settings that follow a control (the bitrate while its slider moves) are set many
        // times a second with mostly the same value: the file is written only on a change.
        const auto node = persistent_.get_child_optional(key);
        if (node && node->data() == value) return;
    }
    layer.put(key, value);
    if (persist) saveLocked();
}

void ConfigStore::logConversionFailure(const std::string& key, const std::string& text, const char* type) {
    LogLine(50, "ConfigStore::get", __LINE__).stream() << "setting " << key << " = \"" << text << "\" is not a valid "
                                                       << type << ", using the default";
}
