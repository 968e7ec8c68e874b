#include "stream/media/PlayerVideoRSTPClient.h"

#include <cstring>
#include <exception>
#include <system_error>

#include "core/ConfigStore.h"
#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "rtspclient/VideoRTSPClient.h"
#include "rtspclient/VideoRTSPClientDiagnostics.h"
#include "stream/media/H264VideoSinkImpl.h"
#include "stream/session/IMediaSession.h"
#include "stream/media/OPUSAudioSinkImpl.h"
#include "platform/Thread.h"

PlayerVideoRSTPClient::PlayerVideoRSTPClient(std::string url, std::string userName, std::string password,
                                             std::string tag, IMediaSession* session, int stallTimeoutMs)
    : session_(session),
      url_(std::move(url)),
      userName_(std::move(userName)),
      password_(std::move(password)),
      tag_(std::move(tag)),
      stallTimeoutMs_(stallTimeoutMs) {}

PlayerVideoRSTPClient::~PlayerVideoRSTPClient() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (handle_) VideoRTSPClient::notifyStop(handle_);
    }
    joinThread();
    std::lock_guard<std::mutex> g(mutex_);
    videoSubsession_ = nullptr;
    audioSubsession_ = nullptr;
}

void PlayerVideoRSTPClient::setVideoConsumer(IRenderImplementation* consumer) {
    std::lock_guard<std::mutex> g(mutex_);
    videoConsumer_ = consumer;
}

void PlayerVideoRSTPClient::setAudioConsumer(IAudioRenderImplementation* consumer) {
    std::lock_guard<std::mutex> g(mutex_);
    audioConsumer_ = consumer;
}

// The handle and the subsessions are read under the lock that the client thread takes to
// drop them before it deletes the library client, so a switch never reaches a freed client.
void PlayerVideoRSTPClient::setVideoEnabled(bool enabled) {
    std::lock_guard<std::mutex> g(mutex_);
    videoEnabled_ = enabled;
    if (handle_ && videoSubsession_) {
        if (enabled) VideoRTSPClient::startPlayingSink(handle_, videoSubsession_);
        else VideoRTSPClient::stopPlayingSink(handle_, videoSubsession_);
    }
}

void PlayerVideoRSTPClient::setAudioEnabled(bool enabled) {
    std::lock_guard<std::mutex> g(mutex_);
    audioEnabled_ = enabled;
    if (handle_ && audioSubsession_) {
        if (enabled) VideoRTSPClient::startPlayingSink(handle_, audioSubsession_);
        else VideoRTSPClient::stopPlayingSink(handle_, audioSubsession_);
    }
}

bool PlayerVideoRSTPClient::start() {
    std::unique_lock<std::mutex> l(mutex_);
    // A client serves one run: its thread told the session that it finished and forgot it.
    if (running_ || handle_ || served_) return false;
    running_ = true;
    served_ = true;
    created_ = false;
    stopRequested_ = false;
    l.unlock();
    try {
        std::lock_guard<std::mutex> j(joinMutex_);
        thread_ = platform::startThread(&PlayerVideoRSTPClient::rtspDo, this);
    } catch (const std::system_error& e) {
        LogLine(50, "PlayerVideoRSTPClient::start", __LINE__).stream() << "cannot start the client thread: " << e.what();
        l.lock();
        running_ = false;
        IMediaSession* session = session_;
        session_ = nullptr;
        if (session) session->onVideoClientFinished();
        return false;
    }
    l.lock();
    // The thread may have gone through its whole body already (creation failed), which
    // clears created again; running is cleared by then too.
    createdCondition_.wait(l, [this] { return created_ || !running_; });
    return handle_ != nullptr;
}

void PlayerVideoRSTPClient::requestStop() {
    if (stopRequested_.exchange(true)) return;
    std::lock_guard<std::mutex> g(mutex_);
    if (handle_) VideoRTSPClient::notifyStop(handle_);
}

void PlayerVideoRSTPClient::stop(bool join) {
    requestStop();
    // Whoever asks for the join relies on the thread having ended, also when the library
    // ended the stream first.
    if (join) joinThread();
}

void PlayerVideoRSTPClient::joinThread() {
    if (clientThreadId_.load() == std::this_thread::get_id()) return;
    std::lock_guard<std::mutex> j(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

bool PlayerVideoRSTPClient::isRunning() {
    std::lock_guard<std::mutex> g(mutex_);
    return running_;
}

IRTSPSink* PlayerVideoRSTPClient::createSink(const char* codecName, void* subsession) {
    if (!codecName) return nullptr;
    std::lock_guard<std::mutex> g(mutex_);
    if (std::strcmp(codecName, "H264") == 0) {
        auto* sink = new H264VideoSinkImpl(session_);
        sink->setConsumer(videoConsumer_);
        sink->enabled = videoEnabled_;
        videoSubsession_ = subsession;
        return sink;
    }
    if (std::strcmp(codecName, "OPUS") == 0) {
        auto* sink = new OPUSAudioSinkImpl();
        sink->setConsumer(audioConsumer_);
        sink->enabled = audioEnabled_;
        audioSubsession_ = subsession;
        return sink;
    }
    return nullptr;
}

void PlayerVideoRSTPClient::onStop() { requestStop(); }

void PlayerVideoRSTPClient::rtspDo() {
    clientThreadId_ = std::this_thread::get_id();
    SetThreadName("Video Client Thread");
    const bool overTcp = ConfigStore::instance().get<bool>("General.VideoOverTcp", "0");
    void* handle = VideoRTSPClient::createNew(this, url_.c_str(), userName_.c_str(), password_.c_str(), tag_.c_str(),
                                              overTcp);
    {
        std::lock_guard<std::mutex> g(mutex_);
        handle_ = handle;
        created_ = true;
        createdCondition_.notify_all();
    }
    std::string stallReason;
    if (handle) {
        VideoRTSPClient::setStallTimeout(handle, stallTimeoutMs_);
        // A stop that came while the client was being made found no handle to tell.
        if (stopRequested_) VideoRTSPClient::notifyStop(handle);
        VideoRTSPClient::mainLoop(handle);
        if (VideoRTSPClient::stalled(handle)) {
            char reason[256];
            VideoRTSPClient::lastError(handle, reason, sizeof reason);
            stallReason = reason;
        }
        {
            std::lock_guard<std::mutex> g(mutex_);
            videoSubsession_ = nullptr;
            audioSubsession_ = nullptr;
            handle_ = nullptr;
        }
        VideoRTSPClient::deleteClient(handle);
    } else {
        LogLine(50, "PlayerVideoRSTPClient::rtspDo", __LINE__).stream() << "Failed to create a RTSP client for URL \""
                                                                        << url_;
    }
    std::lock_guard<std::mutex> g(mutex_);
    running_ = false;
    created_ = false;
    // A stalled stream looks like a normal end to the library's owner; the application
    // must hear of it as an error.
    if (session_ && !stallReason.empty()) session_->onVideoClientError(stallReason);
    if (session_) session_->onVideoClientFinished();
    session_ = nullptr;
}

std::shared_ptr<IStreamPlayer> PlayerVideoRSTPClientFactory::create(const std::string& url, const std::string& user,
                                                                    const std::string& password,
                                                                    const std::string& tag, IMediaSession* session) {
    return std::make_shared<PlayerVideoRSTPClient>(url, user, password, tag, session, stallTimeoutMs_);
}
