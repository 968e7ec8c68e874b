#pragma once
// The process-wide settings store behind config.ini.
//
// Every setting is text addressed by "Section.Key". Two layers: the persistent one mirrors
// config.ini and is saved after every persistent set that changes it; the volatile one
// lives in memory only (the command line writes there). Reads look in the persistent layer
// first.
// A format stamp under "System.ConfigVersion" detects a file of an incompatible version.
// Any thread may read and write.

#include <boost/lexical_cast.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <type_traits>

class ConfigStore {
public:
    // The stamp that marks a config.ini of this format.
    static constexpr const char* kFormatStamp = "Tz4pLw8vRb";

    // The process's store; the first call makes it with the executable folder's config.ini.
    static ConfigStore& instance();

    // A store for the file at path, loaded at once (tests and tools make their own).
    explicit ConfigStore(std::string path);

    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // Reads config.ini into the persistent layer. A missing file (or a folder in its place)
    // changes nothing; a file that does not parse is ignored as a whole (logged at level 40)
    // and kept by checkVersion.
    void load();
    // Writes the persistent layer to a temporary file and renames it over config.ini, so
    // a crash mid-write leaves the old file. Returns false (and logs at 50) on failure.
    bool save();
    // Points the store at another file and loads it.
    void setPathAndLoad(std::string path);
    // Resets the file when its format stamp is not ours. The user's file is never lost: a
    // config.ini that did not parse, or carries no or another stamp, is first renamed to
    // config.ini.old (level-40 line naming both). When it cannot be kept, or a folder
    // stands in its place, it is left alone (level-50 line) and nothing is written to it
    // for the rest of the run: settings then live in memory only.
    void checkVersion();

    std::string path() const;

    bool has(std::string key) const;
    std::string getString(std::string key, std::string defaultText) const;
    // A persistent value that config.ini cannot hold (a line break in key or value, a key
    // with "=" or one that would read as a comment or section) is kept in the volatile
    // layer instead, with a level-50 log line, so that it cannot spoil the file.
    void setString(std::string key, std::string value, bool persist);

    // The setting converted to T (int, unsigned, float, double, bool as "0"/"1",
    // std::string). A text that does not convert logs at level 50 and gives the default.
    template <typename T>
    T get(std::string key, std::string defaultText) const;

    template <typename T>
    void set(std::string key, const T& value, bool persist);
    void set(std::string key, const char* value, bool persist) { setString(std::move(key), value ? value : "", persist); }

private:
    static void logConversionFailure(const std::string& key, const std::string& text, const char* type);
    template <typename T>
    static const char* typeName();

    // What the last load found at the path.
    enum class FileState { Missing, Loaded, Unreadable, Unparsable, Folder };

    mutable std::shared_mutex lock_;
    boost::property_tree::ptree volatile_;
    boost::property_tree::ptree persistent_;
    std::string stamp_;
    std::string path_;
    FileState fileState_ = FileState::Missing;
    std::string parseError_;
    bool writesHeld_ = false;  // config.ini was left alone: nothing is written to it
    bool lastSaveFailed_ = false;  // the last write failed: config.ini may lack a value

    bool saveLocked();
};

template <typename T>
const char* ConfigStore::typeName() {
    if (std::is_same<T, bool>::value) return "bool";
    if (std::is_floating_point<T>::value) return "float";
    if (std::is_integral<T>::value) return "int";
    return "text";
}

template <typename T>
T ConfigStore::get(std::string key, std::string defaultText) const {
    const std::string text = getString(key, defaultText);
    T value{};
    if (boost::conversion::try_lexical_convert(text, value)) return value;
    logConversionFailure(key, text, typeName<T>());
    if (text != defaultText && boost::conversion::try_lexical_convert(defaultText, value)) return value;
    return T{};
}

template <>
inline std::string ConfigStore::get<std::string>(std::string key, std::string defaultText) const {
    return getString(std::move(key), std::move(defaultText));
}

template <typename T>
void ConfigStore::set(std::string key, const T& value, bool persist) {
    setString(std::move(key), boost::lexical_cast<std::string>(value), persist);
}
