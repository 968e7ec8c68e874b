#pragma once
// The process-wide table of UI texts, loaded from lang_<code>.ini in a folder.
//
// A key without a text reads as the key itself, so a missing translation shows but does
// no harm. Texts are looked up at the top level of the file; the two characters "\n" in a
// text become a line break when it is read. Any thread may look texts up.

#include <boost/property_tree/ptree.hpp>
#include <shared_mutex>
#include <string>

class LanguageStore {
public:
    // The key of the alternate font face for the language; always present (empty when
    // the file does not give it).
    static constexpr const char* kAltFaceKey = "faceName_alt_v2";

    // The process's store; the first call makes it for the executable's folder and loads
    // lang_en.ini from there.
    static LanguageStore& instance();

    // A store looking in folder, with lang_en.ini loaded from it (tests make their own).
    explicit LanguageStore(std::string folder);

    LanguageStore(const LanguageStore&) = delete;
    LanguageStore& operator=(const LanguageStore&) = delete;

    void setFolder(std::string folder);
    std::string folder() const;

    // Loads <folder>/lang_<code>.ini and makes code the current code, even when the file
    // gave nothing (the texts loaded before stay). A code holding "/", "\" or ".." is
    // refused with a level-50 log line and changes nothing.
    void load(std::string code);

    std::string currentCode() const;

    // The text of key, or key itself when there is none; "\n" pairs become line breaks.
    std::string text(std::string key) const;

    // Reads one language file. True when it gave at least one entry and replaced the
    // texts; a missing, empty or comments-only file changes nothing; a syntax error is
    // logged at level 50 with the file, line and parser message, and changes nothing.
    bool loadFile(std::string path);

    // Whether a language code may be used in a file name.
    static bool isValidCode(const std::string& code);

private:
    mutable std::shared_mutex lock_;
    boost::property_tree::ptree texts_;
    std::string code_;
    std::string folder_;
};

// Turns every two-character sequence of a backslash and "n" into a line break, in place.
void unescapeNewlines(std::string& text);
