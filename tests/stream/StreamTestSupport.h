#pragma once
// Fixtures shared by the session tests: an application that records its events, and a
// stand-in RTSP player with its factory.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stream/session/IClientAppImplementation.h"
#include "stream/session/IRenderImplementation.h"
#include "stream/session/IStreamPlayer.h"

// A video consumer that only carries the statistics block.
class FakeRenderConsumer : public IRenderImplementation {
public:
    int getFlags() override { return 0; }
    bool isSynchronous() override { return false; }
    bool needsKeyFrame() override { return false; }
    void setParameterSets(const std::uint8_t*, int, const std::uint8_t*, int) override {}
    void detach(int) override {}
    void onPacketsLost(int) override {}
    void decodeFrame(const std::uint8_t*, int, int) override {}
    bool initialize() override { return true; }
    void release() override {}
    int collect(double) override { return 0; }
    void renderPicture(double, int, int) override {}
};

class RecordingApp : public IClientAppImplementation {
public:
    void onEvent(int code, void*) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(code);
        }
        cv_.notify_all();
    }
    IRenderImplementation* getVideoConsumer() override { return video; }
    IAudioRenderImplementation* getAudioConsumer() override { return audio; }

    std::vector<int> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool waitFor(int code, std::size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] {
            return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), code)) >= count;
        });
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

    IRenderImplementation* video = nullptr;
    IAudioRenderImplementation* audio = nullptr;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<int> events_;
};

class FakePlayer : public IStreamPlayer {
public:
    FakePlayer(std::string url, std::string user, std::string password, std::string tag)
        : url(std::move(url)), user(std::move(user)), password(std::move(password)), tag(std::move(tag)) {}
    bool start() override {
        running = true;
        ++starts;
        return true;
    }
    void stop() override {
        running = false;
        ++stops;
    }
    bool isRunning() override { return running; }
    void setVideoConsumer(IRenderImplementation* c) override { video = c; }
    void setAudioConsumer(IAudioRenderImplementation* c) override { audio = c; }
    void setVideoEnabled(bool e) override { videoEnabled = e; }
    void setAudioEnabled(bool e) override { audioEnabled = e; }

    const std::string url, user, password, tag;
    std::atomic<bool> running{false};
    std::atomic<int> starts{0}, stops{0};
    std::atomic<IRenderImplementation*> video{nullptr};
    std::atomic<IAudioRenderImplementation*> audio{nullptr};
    std::atomic<bool> videoEnabled{true}, audioEnabled{true};
};

class FakePlayerFactory : public IStreamPlayerFactory {
public:
    std::shared_ptr<IStreamPlayer> create(const std::string& url, const std::string& user,
                                          const std::string& password, const std::string& tag,
                                          IMediaSession* s) override {
        auto p = std::make_shared<FakePlayer>(url, user, password, tag);
        std::lock_guard<std::mutex> lock(mutex_);
        players_.push_back(p);
        session = s;
        return p;
    }
    std::vector<std::shared_ptr<FakePlayer>> players() {
        std::lock_guard<std::mutex> lock(mutex_);
        return players_;
    }
    IMediaSession* session = nullptr;

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<FakePlayer>> players_;
};

// Polls a condition that no notification announces.
template <class Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline std::vector<int> bytesOf(const std::string& s) {
    std::vector<int> out;
    for (unsigned char c : s) out.push_back(c);
    return out;
}
