#include "StubService.h"

#include "webapi/JsonReaders.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {
// Loopback tests must never go through a proxy from the environment.
struct ClearProxyEnvironment {
    ClearProxyEnvironment() {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                 "no_proxy", "NO_PROXY"})
            unsetenv(name);
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }
} clearProxyEnvironment;

std::string stubScript() { return std::string(NIMBROSTA_BIN_DIR) + "/nimbrosta-stub-service"; }

// Spawns argv with stdin and stdout on pipes; returns the pid.
int spawn(const std::vector<std::string>& args, int& stdinFd, int& stdoutFd) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
    stdinFd = in[1];
    stdoutFd = out[0];
    return pid;
}

// Reads one line from fd within the time limit.
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    char c;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) throw std::runtime_error("stand-in service did not start: " + line);
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0) throw std::runtime_error("stand-in service ended: " + line);
        if (c == '\n') return line;
        line += c;
    }
}

std::string field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find(key + "=");
    if (at == std::string::npos) return std::string();
    const std::size_t start = at + key.size() + 1;
    return line.substr(start, line.find(' ', start) - start);
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

}  // namespace

std::string jsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
std::string readAllAndClose(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    close(fd);
    return out;
}

std::string makeTempDir() {
    char pattern[] = "/tmp/nimbrosta-webapi-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) throw std::runtime_error("mkdtemp failed");
    return dir;
}

StubService::StubService(const std::string& certDir, double etaSeconds, const std::vector<std::string>& extraArgs)
    : ownsCertDir_(certDir.empty()), certDir_(certDir.empty() ? makeTempDir() : certDir) {
    int stdoutFd = -1;
    std::vector<std::string> args{"/usr/bin/python3", stubScript(), "--cert-dir", certDir_, "--eta",
                                  std::to_string(etaSeconds), "--exit-on-stdin-eof"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = spawn(args, stdinFd_, stdoutFd);
    const std::string line = readLine(stdoutFd, 15000);
    close(stdoutFd);
    port_ = std::atoi(field(line, "port").c_str());
    baseUrl_ = field(line, "url");
    caPath_ = field(line, "ca");
    if (port_ <= 0) throw std::runtime_error("unexpected start line: " + line);
}

StubService::~StubService() {
    if (stdinFd_ >= 0) close(stdinFd_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    if (ownsCertDir_) std::filesystem::remove_all(certDir_, ignored);
}

std::string StubService::control(const std::string& name, const std::string& jsonBody) {
    CURL* curl = curl_easy_init();
    std::string reply;
    const std::string url = baseUrl_ + "/_stub/" + name;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caPath_.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, jsonBody.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) throw std::runtime_error("control request failed: " + name);
    return reply;
}

void StubService::replyWith(const std::string& path, const std::string& body, int http, int times) {
    control("fault", "{\"path\":" + jsonQuote(path) + ",\"body\":" + jsonQuote(body) +
                         ",\"http\":" + std::to_string(http) + ",\"times\":" + std::to_string(times) + "}");
}

void StubService::delay(const std::string& path, double seconds, int times) {
    control("fault", "{\"path\":" + jsonQuote(path) + ",\"delay\":" + std::to_string(seconds) +
                         ",\"times\":" + std::to_string(times) + "}");
}

void StubService::resetConnection(const std::string& path, int times) {
    control("fault", "{\"path\":" + jsonQuote(path) + ",\"reset\":true,\"times\":" + std::to_string(times) + "}");
}

std::vector<LoggedRequest> StubService::log() {
    const std::string text = control("log");
    rapidjson::Document doc;
    if (!parseJsonText(doc, text) || !doc.IsArray()) throw std::runtime_error("bad log: " + text);
    std::vector<LoggedRequest> entries;
    for (const rapidjson::Value& item : doc.GetArray()) {
        LoggedRequest entry;
        readJsonString(item, "method", entry.method);
        readJsonString(item, "target", entry.target);
        readJsonString(item, "path", entry.path);
        readJsonString(item, "query", entry.query);
        const rapidjson::Value* chunked = findMember(item, "chunked");
        entry.chunked = chunked && chunked->IsBool() && chunked->GetBool();
        readJsonString(item, "content_length", entry.contentLength);
        entries.push_back(entry);
    }
    return entries;
}

std::string StubService::makeOtherCa(const std::string& dir) {
    int in = -1, out = -1;
    const int pid = spawn({"/usr/bin/python3", stubScript(), "--cert-dir", dir, "--make-certs-only"}, in, out);
    close(in);
    readAllAndClose(out);
    waitpid(pid, nullptr, 0);
    return dir + "/ca.pem";
}

std::unique_ptr<StubService> StubServiceTest::stub;

void useStubService(const StubService& stub) {
    setenv("NIMBROSTA_SERVICE_URL", stub.baseUrl().c_str(), 1);
    setenv("NIMBROSTA_EXTRA_ROOT_CA", stub.caPath().c_str(), 1);
}
