#include "core/LanguageStore.h"

#include <boost/property_tree/ini_parser.hpp>
#include <fstream>
#include <mutex>

#include "core/Folders.h"
#include "core/LogLine.h"

namespace pt = boost::property_tree;

void unescapeNewlines(std::string& text) {
    std::size_t pos = text.find("\\n");
    if (pos == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (pos != std::string::npos) {
        out.append(text, from, pos - from);
        out.push_back('\n');
        from = pos + 2;
        pos = text.find("\\n", from);
    }
    out.append(text, from, std::string::npos);
    text.swap(out);
}

LanguageStore& LanguageStore::instance() {
    static LanguageStore store(getExeFolder());
    return store;
}

LanguageStore::LanguageStore(std::string folder) : code_("en"), folder_(std::move(folder)) {
    texts_.put(kAltFaceKey, "");
    loadFile(joinPath(folder_, "lang_en.ini"));
}

void LanguageStore::setFolder(std::string folder) {
    std::unique_lock<std::shared_mutex> guard(lock_);
    folder_ = std::move(folder);
}

std::string LanguageStore::folder() const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    return folder_;
}

bool LanguageStore::isValidCode(const std::string& code) {
    return code.find('/') == std::string::npos && code.find('\\') == std::string::npos &&
           code.find("..") == std::string::npos && code.find('\0') == std::string::npos;
}

void LanguageStore::load(std::string code) {
    if (!isValidCode(code)) {
        LogLine(50, "LanguageStore::load", __LINE__).stream() << "refused language code \"" << code << "\"";
        return;
    }
    loadFile(joinPath(folder(), "lang_" + code + ".ini"));
    std::unique_lock<std::shared_mutex> guard(lock_);
    code_ = std::move(code);
}

std::string LanguageStore::currentCode() const {
    std::shared_lock<std::shared_mutex> guard(lock_);
    return code_;
}

std::string LanguageStore::text(std::string key) const {
    std::string value;
    {
        std::shared_lock<std::shared_mutex> guard(lock_);
        auto node = texts_.get_child_optional(key);
        value = node ? node->data() : key;
    }
    unescapeNewlines(value);
    return value;
}

bool LanguageStore::loadFile(std::string path) {
    pt::ptree tree;
    {
        std::ifstream in(path, std::ios::in | std::ios::binary);
        if (!in.is_open()) return false;
        // The parser reads from a stream and does not know the file: the message names it.
        try {
            pt::read_ini(in, tree);
        } catch (const pt::ini_parser_error& e) {
            LogLine(50, "LanguageStore::loadFile", __LINE__).stream()
                << path << "(" << e.line() << "): " << e.message();
            return false;
        } catch (const std::exception& e) {
            LogLine(50, "LanguageStore::loadFile", __LINE__).stream() << path << ": " << e.what();
            return false;
        }
    }
    if (tree.empty()) return false;
    if (!tree.get_child_optional(kAltFaceKey)) tree.put(kAltFaceKey, "");
    std::unique_lock<std::shared_mutex> guard(lock_);
    texts_.swap(tree);
    return true;
}
