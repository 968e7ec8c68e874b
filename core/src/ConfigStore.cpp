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
    FileState state = FileState::Missing;
    std::string parseError;
    pt::ptree tree;
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::directory) {
        state = FileState::Folder;
    } else if (type != std::filesystem::file_type::not_found) {
        std::ifstream in(path, std::ios::in | std::ios::binary);
        if (!in.is_open()) {
            state = FileState::Unreadable;
        } else {
            try {
                pt::read_ini(in, tree);
                state = FileState::Loaded;
            } catch (const pt::ini_parser_error& e) {
                state = FileState::Unparsable;
                parseError = "line " + std::to_string(e.line()) + ": " + e.message();
            } catch (const std::exception& e) {
                state = FileState::Unparsable;
                parseError = e.what();
            }
            if (state == FileState::Unparsable)
                LogLine(40, "ConfigStore::load", __LINE__).stream() << path << " ignored: " << parseError;
        }
    }
    std::unique_lock<std::shared_mutex> guard(lock_);
    fileState_ = state;
    parseError_ = parseError;
    if (state == FileState::Loaded) persistent_.swap(tree);
}

bool ConfigStore::save() {
    std::unique_lock<std::shared_mutex> guard(lock_);
    return saveLocked();
}

bool ConfigStore::saveLocked() {
    if (writesHeld_) return false;
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
    {
        std::unique_lock<std::shared_mutex> guard(lock_);
        const bool stampOk = stored == stamp_;
        // A file that was not loaded is kept even when the stamp in memory (from an earlier
        // file) is right: the next save would otherwise replace it.
        const bool keepFile = !stampOk || fileState_ == FileState::Unparsable ||
                              fileState_ == FileState::Unreadable || fileState_ == FileState::Folder;
        if (!keepFile) return;
        if (fileState_ == FileState::Folder) {
            LogLine(50, "ConfigStore::checkVersion", __LINE__).stream()
                << path_ << " is a folder; left alone, settings are kept for this run only";
            writesHeld_ = true;
        } else if (fileState_ != FileState::Missing) {
            std::string reason;
            if (fileState_ == FileState::Unparsable) reason = "does not parse (" + parseError_ + ")";
            else if (fileState_ == FileState::Unreadable) reason = "cannot be read";
            else if (stored.empty()) reason = "has no format stamp";
            else reason = "has another format stamp (\"" + stored + "\")";
            const std::string kept = path_ + ".old";
            std::error_code ec;
            std::filesystem::rename(path_, kept, ec);
            if (ec) {
                LogLine(50, "ConfigStore::checkVersion", __LINE__).stream()
                    << path_ << " " << reason << " and cannot be kept as " << kept << " (" << ec.message()
                    << "); left alone, settings are kept for this run only";
                writesHeld_ = true;
            } else {
                LogLine(40, "ConfigStore::checkVersion", __LINE__).stream()
                    << path_ << " " << reason << "; kept as " << kept
                    << (stampOk ? "" : ", default settings written");
            }
        }
        fileState_ = FileState::Missing;
        if (stampOk) return;  // the values in memory go to a fresh file at the next set
        persistent_.clear();
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
    if (persist && !lastSaveFailed_) {
        // Settings that follow a control (the bitrate while its slider moves) are set many
        // times a second with mostly the same value: the file is written only on a change
        // (or when the last write failed, so the file catches up).
        const auto node = persistent_.get_child_optional(key);
        if (node && node->data() == value) return;
    }
    layer.put(key, value);
    if (persist) lastSaveFailed_ = !saveLocked();
}

void ConfigStore::logConversionFailure(const std::string& key, const std::string& text, const char* type) {
    LogLine(50, "ConfigStore::get", __LINE__).stream() << "setting " << key << " = \"" << text << "\" is not a valid "
                                                       << type << ", using the default";
}
