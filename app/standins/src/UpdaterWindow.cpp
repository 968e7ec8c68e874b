#include "standins/UpdaterWindow.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "core/Folders.h"
#include "core/LogLine.h"

namespace updater {

void UpdaterWindow::Command(int id) { NIMBROSTA_LOG(0, "updater::UpdaterWindow::Command") << "command " << id; }

}  // namespace updater

long COMInitializer::init() {
    result_ = 0;
    return result_;
}

void CoUninitialize() {}

const char* const kFirewallApplicationName = "Nimbrosta Client";

std::string firewallListPath() { return joinPath(getPerUserFolder(), "firewall_authorized_apps.txt"); }

void OpenFirewall() {
    const std::string listPath = firewallListPath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(listPath).parent_path(), ec);
    if (ec) {
        NIMBROSTA_LOG(50, "OpenFirewall") << "WindowsFirewallManager failed: " << ec.value();
        return;
    }
    const std::string entry = std::string(kFirewallApplicationName) + "=" + getModuleFilePath();
    std::string content;
    {
        std::ifstream in(listPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        content = text.str();
    }
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);) {
        if (line == entry) return;
    }
    if (!content.empty() && content.back() != '\n') content += '\n';
    content += entry + "\n";
    // Written beside and renamed, so a crash mid-write keeps the old list.
    const std::string tmp = listPath + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << content;
        out.flush();
        if (!out) {
            NIMBROSTA_LOG(50, "OpenFirewall") << "WindowsFirewallAddApp failed: " << errno;
            std::remove(tmp.c_str());
            return;
        }
    }
    if (std::rename(tmp.c_str(), listPath.c_str()) != 0) {
        NIMBROSTA_LOG(50, "OpenFirewall") << "WindowsFirewallAddApp failed: " << errno;
        std::remove(tmp.c_str());
    }
}
