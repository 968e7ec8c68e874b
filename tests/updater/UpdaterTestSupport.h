#pragma once
// Helpers for the updater's tests: the stand-in service serving the update faces, what it
// serves, short retry pauses, and listeners that record the engine's events.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "../webapi/StubService.h"
#include "TestSupport.h"
#include "core/Listenable.h"
#include "updater/UpdaterApi.h"

namespace updatertest {

// One file the stand-in lists. An empty md5 means the md5 of the content; a flag left at -1
// is left out of the reply (it then reads as true).
struct StubFile {
    StubFile(std::string filename, std::string content, std::string md5 = "", int mayBeModified = 0)
        : filename(std::move(filename)), content(std::move(content)), md5(std::move(md5)), mayBeModified(mayBeModified) {}
    std::string filename;
    std::string content;
    std::string md5;
    int mayBeModified = 0;
};

inline std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16;
        out += {digits[v >> 18], digits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], '='};
    }
    return out;
}

// Makes the stand-in serve the given update servers (empty: its own base URL) and files.
inline void serveUpdates(StubService& stub, const std::vector<StubFile>& files,
                         const std::vector<std::string>& servers = {}, const std::string& extraFileJson = "") {
    std::string json = "{\"update_required\":true,\"files\":[";
    for (std::size_t i = 0; i < files.size(); ++i) {
        const StubFile& f = files[i];
        if (i) json += ",";
        json += "{\"filename\":" + jsonQuote(f.filename) + ",\"content_b64\":\"" + base64(f.content) + "\"";
        if (!f.md5.empty()) json += ",\"md5\":" + jsonQuote(f.md5);
        if (f.mayBeModified >= 0) json += std::string(",\"may_be_modified\":") + (f.mayBeModified ? "true" : "false");
        json += "}";
    }
    json += extraFileJson + "]";
    if (!servers.empty()) {
        json += ",\"servers\":[";
        for (std::size_t i = 0; i < servers.size(); ++i) json += (i ? "," : "") + jsonQuote(servers[i]);
        json += "]";
    }
    stub.control("updates", json + "}");
}

// The stand-in for the whole test program, with the client pointed at it (service and
// default update server).
inline StubService& stub() {
    static StubService* service = [] {
        auto* s = new StubService();
        useStubService(*s);
        setenv("NIMBROSTA_UPDATE_URL", s->baseUrl().c_str(), 1);
        return s;
    }();
    return *service;
}

// The requests of the stand-in's log whose path is path.
inline int requestsTo(StubService& s, const std::string& path) {
    int n = 0;
    for (const LoggedRequest& r : s.log())
        if (r.path == path) ++n;
    return n;
}

inline updater::UpdaterTimings fastTimings() {
    updater::UpdaterTimings t;
    t.retryPauseMs = 20;
    t.downloadTimeoutS = 20;
    return t;
}

// Records the events of one part, in order.
template <typename E>
class EventLog : public IListenerBase<E> {
public:
    void onEvent(E value) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(static_cast<int>(value));
        changed_.notify_all();
    }
    std::vector<int> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    int count(int value) {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (int e : events_) n += e == value;
        return n;
    }
    // Waits until value has been seen n times.
    bool waitFor(int value, int n = 1, int timeoutMs = 15000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            int seen = 0;
            for (int e : events_) seen += e == value;
            return seen >= n;
        });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> events_;
};

}  // namespace updatertest
