// Arbitrary bytes as config.ini through the start-up sequence of the settings store: load,
// the format check, typed reads of every key, a persistent set. Whatever the file held, the
// user's bytes must survive (as config.ini or config.ini.old), and the file the store
// writes must read back with the values it was given.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <boost/property_tree/ini_parser.hpp>

#include "FuzzFiles.h"
#include "core/ConfigStore.h"

namespace pt = boost::property_tree;
using fuzzfiles::readFile;
using fuzzfiles::writeFile;

namespace {

const char* const kKeys[] = {
    "System.ConfigVersion", "General.Scale", "General.RealtimePriority", "General.Ip", "General.Port",
    "General.StatisticsTickPeriod", "General.VideoOverTcp", "Decoder.FPS", "Benchmark.Best", "A.B.C", "", ".",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    static const fuzzfiles::ScratchFolder folder("fuzz-config");
    static const std::string path = folder.file("config.ini");
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::remove((path + ".old").c_str());
    writeFile(path, input);

    {
        ConfigStore store(path);
        store.setString("User.Lang", "de", false);
        store.checkVersion();
        for (const char* key : kKeys) {
            (void)store.has(key);
            (void)store.get<int>(key, "5000");
            (void)store.get<float>(key, "1.0");
            (void)store.get<bool>(key, "0");
            (void)store.get<unsigned>(key, "x");
            (void)store.getString(key, "");
        }
        store.set("Tutorial.MenuFinished", true, true);
        store.setString("Benchmark.RenderName", input.substr(0, 64), true);
    }

    // Nothing of the user's is lost: a file the store did not take as it stood is kept
    // whole as config.ini.old; otherwise every value of it is still there.
    ConfigStore again(path);
    std::ifstream kept(path + ".old", std::ios::binary);
    if (kept.is_open()) {
        if (readFile(path + ".old") != input) std::abort();
    } else {
        pt::ptree tree;
        std::istringstream in(input);
        pt::read_ini(in, tree);  // throws (and so fails the run) when it does not parse
        for (const auto& section : tree) {
            if (section.first.find('.') != std::string::npos) continue;
            if (section.second.empty()) {
                if (again.getString(section.first, "\x01") != section.second.data()) std::abort();
                continue;
            }
            for (const auto& key : section.second) {
                const std::string name = section.first + "." + key.first;
                if (key.first.find('.') != std::string::npos || name == "Tutorial.MenuFinished" ||
                    name == "Benchmark.RenderName")
                    continue;
                if (again.getString(name, "\x01") != key.second.data()) std::abort();
            }
        }
    }

    // What the store wrote reads back with the values it was given.
    if (again.getString("System.ConfigVersion", "") != ConfigStore::kFormatStamp) std::abort();
    if (!again.get<bool>("Tutorial.MenuFinished", "0")) std::abort();
    return 0;
}
