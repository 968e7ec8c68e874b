// Arbitrary bytes as the files of the platform layer's stand-ins: a registry key's values
// file and the firewall's list of authorised applications. Reads must return; a value set
// must read back as given and leave the values read before it as they were; adding an
// application must keep every other line of the list byte for byte.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "platform/Firewall.h"
#include "platform/Registry.h"

using fuzzfiles::readFile;
using fuzzfiles::writeFile;

namespace {

const char* const kSubkey = "Software\\Fuzz";
const char* const kImagePath = "/opt/fuzz/app";

// The list as addFirewallApplication must leave it: every line but the entries of
// kImagePath, each ended by a line break, then the new entry.
std::string expectedList(const std::string& input, const std::string& added) {
    std::string out;
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(start, end - start);
        start = end + 1;
        const std::size_t second = line.size() > 2 ? line.find('\t', 2) : std::string::npos;
        const bool sameApp = line.size() > 2 && (line[0] == '0' || line[0] == '1') && line[1] == '\t' &&
                             second != std::string::npos && line.substr(second + 1) == kImagePath;
        if (!sameApp) out += line + "\n";
    }
    return out + added;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzfiles::ScratchFolder folder("fuzz-platform");
    static const bool environment = [] {
        setenv("NIMBROSTA_REGISTRY_ROOT", folder.file("registry").c_str(), 1);
        setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
        unsetenv("PKEXEC_UID");
        // The folders of the list and of the key.
        std::filesystem::create_directories(folder.file("Nimbrosta"));
        return platform::registrySetString(platform::RegistryRoot::CurrentUser, kSubkey, "seed", "");
    }();
    if (!environment) std::abort();
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The registry key's values file.
    using platform::RegistryRoot;
    const std::string key = platform::registryKeyFolder(RegistryRoot::CurrentUser, kSubkey);
    writeFile(key + "/.values", input);
    std::string before;
    if (!platform::exportRegistryKey(RegistryRoot::CurrentUser, kSubkey, before)) std::abort();
    // A value that needs every escape, under a name the file may already hold.
    const std::string name = "new\nname";
    const std::string value = std::string("a\"b\\c\nd\re\0f", 12) + input.substr(0, 16);
    std::string read;
    const bool known = platform::registryGetString(RegistryRoot::CurrentUser, kSubkey, name, read);
    if (!platform::registrySetString(RegistryRoot::CurrentUser, kSubkey, name, value)) std::abort();
    if (!platform::registryGetString(RegistryRoot::CurrentUser, kSubkey, name, read) || read != value) std::abort();
    std::string after;
    if (!platform::exportRegistryKey(RegistryRoot::CurrentUser, kSubkey, after)) std::abort();
    // The export ends each key with a blank line; a new value comes last in its key.
    if (!known && after.compare(0, before.size() - 1, before, 0, before.size() - 1) != 0) std::abort();

    // The firewall's list.
    const std::string list = platform::firewallListPath();
    if (list.empty()) std::abort();
    writeFile(list, input);
    std::vector<platform::FirewallApplication> applications;
    if (platform::readFirewallApplications(applications) != platform::S_OK) std::abort();
    for (const auto& a : applications)
        if (a.imagePath.empty()) std::abort();
    const platform::FirewallApplication added{true, "Fuzz", kImagePath};
    if (platform::addFirewallApplication(added) != platform::S_OK) std::abort();
    if (readFile(list) != expectedList(input, "1\tFuzz\t/opt/fuzz/app\n")) std::abort();
    return 0;
}
