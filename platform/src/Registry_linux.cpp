#include "platform/Registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/Folders.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

const char* const kValuesFile = ".values";

using Values = std::vector<std::pair<std::string, std::string>>;

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Reads one quoted text at pos; false when the line does not hold one there.
bool unquote(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size()) {
            const char next = line[++pos];
            out += next == 'n' ? '\n' : next;
        } else {
            out += c;
        }
    }
    return false;
}

// The values of a key folder in file order; lines that do not parse are skipped.
Values readValues(const std::string& folder) {
    Values values;
    std::ifstream in(joinPath(folder, kValuesFile), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t pos = 0;
        std::string name, value;
        if (!unquote(line, pos, name) || pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        if (!unquote(line, pos, value)) continue;
        values.emplace_back(std::move(name), std::move(value));
    }
    return values;
}

bool writeValues(const std::string& folder, const Values& values) {
    const std::string path = joinPath(folder, kValuesFile);
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& v : values) out << quote(v.first) << '=' << quote(v.second) << '\n';
        out.flush();
        if (!out) return false;
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    return !ec;
}

void exportFolder(const std::string& keyPath, const std::string& folder, std::string& text) {
    text += "[" + keyPath + "]\n";
    for (const auto& v : readValues(folder)) text += quote(v.first) + "=" + quote(v.second) + "\n";
    text += "\n";
    std::vector<std::string> children;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) children.push_back(it->path().filename().string());
    }
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) exportFolder(keyPath + "\\" + child, joinPath(folder, child), text);
}

}  // namespace

const char* registryRootName(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string registryRoot() {
    const char* configured = std::getenv("NIMBROSTA_REGISTRY_ROOT");
    if (configured && configured[0] != '\0') return stripTrailingSeparators(configured);
    return joinPath(joinPath(roamingDataFolder(), "Nimbrosta"), "registry");
}

std::string registryKeyFolder(RegistryRoot root, const std::string& subkey) {
    if (subkey.empty()) return std::string();
    std::string folder = joinPath(registryRoot(), registryRootName(root));
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = subkey.find('\\', start);
        const std::string name = subkey.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return std::string();
        folder = joinPath(folder, name);
        if (end == std::string::npos) return folder;
        start = end + 1;
    }
}

bool registryKeyExists(RegistryRoot root, const std::string& subkey) {
    const std::string folder = registryKeyFolder(root, subkey);
    std::error_code ec;
    return !folder.empty() && fs::is_directory(folder, ec);
}

bool registrySetString(RegistryRoot root, const std::string& subkey, const std::string& name,
                       const std::string& value) {
    const std::string folder = registryKeyFolder(root, subkey);
    if (folder.empty()) return false;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return false;
    Values values = readValues(folder);
    auto it = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
    if (it != values.end()) it->second = value;
    else values.emplace_back(name, value);
    return writeValues(folder, values);
}

bool registryGetString(RegistryRoot root, const std::string& subkey, const std::string& name,
                       std::string& value) {
    if (!registryKeyExists(root, subkey)) return false;
    for (const auto& v : readValues(registryKeyFolder(root, subkey))) {
        if (v.first == name) {
            value = v.second;
            return true;
        }
    }
    return false;
}

bool exportRegistryKey(RegistryRoot root, const std::string& subkey, std::string& text) {
    if (!registryKeyExists(root, subkey)) return false;
    text.clear();
    exportFolder(std::string(registryRootName(root)) + "\\" + subkey, registryKeyFolder(root, subkey), text);
    return true;
}

}  // namespace platform
