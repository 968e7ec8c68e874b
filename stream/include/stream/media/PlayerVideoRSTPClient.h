#pragma once
// The stream's media client: runs one RTSP client of our library on its own
// "Video Client Thread", makes the sinks the library asks for ("H264" and "OPUS") and
// hands them the consumers the session supplies. One object serves one stream; the session
// makes a new one for every stream through PlayerVideoRSTPClientFactory.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rtspclient/IRTSPSink.h"
#include "rtspclient/VideoRTSPClientSettings.h"
#include "stream/session/IStreamPlayer.h"

class IMediaSession;
class IRenderImplementation;
class IAudioRenderImplementation;

class PlayerVideoRSTPClient : public IVideoRTSPClient, public IStreamPlayer {
public:
    // Stores the address, the credentials, the tag and the session; starts nothing. A stream
    // that brings no packet for stallTimeoutMs after it began to play is ended by the library
    // and reported to the session as an error (0: never).
    PlayerVideoRSTPClient(std::string url, std::string userName, std::string password, std::string tag,
                          IMediaSession* session, int stallTimeoutMs = VideoRTSPClient::kDefaultStallTimeoutMs);
    // Asks a client that still exists to stop and waits for the thread.
    ~PlayerVideoRSTPClient() override;

    PlayerVideoRSTPClient(const PlayerVideoRSTPClient&) = delete;
    PlayerVideoRSTPClient& operator=(const PlayerVideoRSTPClient&) = delete;

    // The consumers that sinks created from now on receive; existing sinks keep theirs.
    void setVideoConsumer(IRenderImplementation* consumer) override;
    void setAudioConsumer(IAudioRenderImplementation* consumer) override;

    // Given to sinks created from now on; an existing sink of that kind is paused or
    // resumed at once.
    void setVideoEnabled(bool enabled) override;
    void setAudioEnabled(bool enabled) override;

    // Starts the client thread and returns once the library client exists or could not be
    // made; true when it exists. Does nothing (false) while running, and nothing once the
    // client has served its run.
    bool start() override;
    // The first call (onStop counts) asks the library to end the stream. With join true,
    // waits for the client thread to end, unless called on that thread.
    void stop(bool join);
    // stop(true).
    void stop() override { stop(true); }
    bool isRunning() override;

    // IVideoRTSPClient, called by the library on the client thread.
    IRTSPSink* createSink(const char* codecName, void* subsession) override;
    void onStop() override;

private:
    void rtspDo();
    void requestStop();
    void joinThread();

    std::mutex mutex_;  // guards everything below up to the consumers, and the session hand-off
    std::condition_variable createdCondition_;
    void* handle_ = nullptr;
    bool running_ = false;
    bool created_ = false;
    bool served_ = false;  // start has run the thread once
    IMediaSession* session_;
    void* videoSubsession_ = nullptr;
    IRenderImplementation* videoConsumer_ = nullptr;
    bool videoEnabled_ = true;
    void* audioSubsession_ = nullptr;
    IAudioRenderImplementation* audioConsumer_ = nullptr;
    bool audioEnabled_ = true;

    std::atomic<bool> stopRequested_{false};
    std::atomic<std::thread::id> clientThreadId_{};
    std::mutex joinMutex_;
    std::thread thread_;

    const std::string url_;
    const std::string userName_;
    const std::string password_;
    const std::string tag_;
    const int stallTimeoutMs_;
};

// Makes a PlayerVideoRSTPClient per stream: the player that sessions use unless the
// program or a test sets another factory.
class PlayerVideoRSTPClientFactory : public IStreamPlayerFactory {
public:
    explicit PlayerVideoRSTPClientFactory(int stallTimeoutMs = VideoRTSPClient::kDefaultStallTimeoutMs)
        : stallTimeoutMs_(stallTimeoutMs) {}
    std::shared_ptr<IStreamPlayer> create(const std::string& url, const std::string& user,
                                          const std::string& password, const std::string& tag,
                                          IMediaSession* session) override;

private:
    const int stallTimeoutMs_;
};
