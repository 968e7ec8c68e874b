#include "platform/Firewall.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Folders.h"

namespace platform {

namespace {

const char* const kListName = "firewall_authorized_apps.txt";

std::mutex& hookMutex() {
    static std::mutex m;
    return m;
}
FirewallFaultHook& hookValue() {
    static FirewallFaultHook hook;
    return hook;
}

// The user on whose behalf pkexec started this process, when it did.
bool pkexecUser(uid_t& uid, gid_t& gid, std::string& home) {
    const char* text = std::getenv("PKEXEC_UID");
    if (geteuid() != 0 || !text || !*text) return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0') return false;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(static_cast<uid_t>(value), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || !*found->pw_dir)
        return false;
    uid = found->pw_uid;
    gid = found->pw_gid;
    home = found->pw_dir;
    return true;
}

bool parseLine(const std::string& line, FirewallApplication& out) {
    const std::size_t first = line.find('\t');
    if (first != 1 || (line[0] != '0' && line[0] != '1')) return false;
    const std::size_t second = line.find('\t', first + 1);
    if (second == std::string::npos || second + 1 >= line.size()) return false;
    out.enabled = line[0] == '1';
    out.name = line.substr(first + 1, second - first - 1);
    out.imagePath = line.substr(second + 1);
    return true;
}

// Creates the missing folders of path one level at a time, handing each new one to owner
// when there is one.
void makeFolders(const std::string& path, bool chownNew, uid_t uid, gid_t gid) {
    if (path.empty()) return;
    const std::string parent = parentFolder(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return;
    if (!parent.empty() && parent != path) makeFolders(parent, chownNew, uid, gid);
    if (::mkdir(path.c_str(), 0755) == 0 && chownNew) {
        if (::chown(path.c_str(), uid, gid) != 0) {
            // The folder stays root's; the list is still written.
        }
    }
}

}  // namespace

std::string firewallListPath() {
    uid_t uid;
    gid_t gid;
    std::string home;
    if (pkexecUser(uid, gid, home)) return joinPath(joinPath(home, ".local/share/Nimbrosta"), kListName);
    const std::string roaming = roamingDataFolder();
    if (roaming.empty()) return std::string();
    return joinPath(joinPath(roaming, "Nimbrosta"), kListName);
}

HRESULT readFirewallApplications(std::vector<FirewallApplication>& out) {
    out.clear();
    const std::string path = firewallListPath();
    if (path.empty()) return E_ACCESSDENIED;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? S_OK : E_ACCESSDENIED;
    if (S_ISDIR(st.st_mode)) return E_ACCESSDENIED;
    std::ifstream in(path, std::ios::binary);
    if (!in) return E_ACCESSDENIED;
    for (std::string line; std::getline(in, line);) {
        FirewallApplication application;
        if (parseLine(line, application)) out.push_back(application);
    }
    return in.bad() ? E_ACCESSDENIED : S_OK;
}

HRESULT addFirewallApplication(const FirewallApplication& application) {
    const auto holdsBreaks = [](const std::string& text) {
        return text.find_first_of("\t\r\n") != std::string::npos;
    };
    if (application.imagePath.empty() || holdsBreaks(application.imagePath) || holdsBreaks(application.name))
        return E_INVALIDARG;
    const std::string path = firewallListPath();
    if (path.empty()) return E_ACCESSDENIED;

    std::string kept;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return E_ACCESSDENIED;
        std::ifstream in(path, std::ios::binary);
        if (!in) return E_ACCESSDENIED;
        for (std::string line; std::getline(in, line);) {
            FirewallApplication listed;
            if (parseLine(line, listed) && listed.imagePath == application.imagePath) continue;
            kept += line + "\n";
        }
    }
    kept += std::string(application.enabled ? "1" : "0") + "\t" + application.name + "\t" + application.imagePath + "\n";

    uid_t uid = 0;
    gid_t gid = 0;
    std::string home;
    const bool forUser = pkexecUser(uid, gid, home);
    makeFolders(parentFolder(path), forUser, uid, gid);

    // Written beside and renamed, so a crash mid-write keeps the old list.
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(&tmp[0]);
    if (fd < 0) return E_ACCESSDENIED;
    bool ok = ::fchmod(fd, 0644) == 0;
    std::size_t written = 0;
    while (ok && written < kept.size()) {
        const ssize_t n = ::write(fd, kept.data() + written, kept.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else written += static_cast<std::size_t>(n);
    }
    if (ok && forUser && ::fchown(fd, uid, gid) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return S_OK;
    ::unlink(tmp.c_str());
    return E_ACCESSDENIED;
}

void setFirewallFaultHook(FirewallFaultHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex());
    hookValue() = std::move(hook);
}

HRESULT firewallFault(const std::string& step) {
    FirewallFaultHook hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex());
        hook = hookValue();
    }
    return hook ? hook(step) : S_OK;
}

}  // namespace platform
