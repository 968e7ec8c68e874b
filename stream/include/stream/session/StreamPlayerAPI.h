#pragma once
// The stream side of a session: asks the streamer for the stream, starts the RTSP player
// when the streamer has created it (with the statistics reporter), and stops both.
//
// The player lock serialises making, starting, stopping and releasing the player, the
// statistics start and stop, and the enable switches.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "stream/control/IResponseHandler.h"
#include "stream/session/IStreamPlayer.h"
#include "stream/control/InputInterfaceAPIBase.h"
#include "stream/session/StatisticsHelper.h"

class SimpleInputInterface;

class StreamPlayerAPI : public InputInterfaceAPIBase, public IResponseHandler {
public:
    StreamPlayerAPI(SimpleInputInterface* owner, IStreamPlayerFactory* factory,
                    int statisticsPeriodMs = -1,
                    std::chrono::milliseconds statisticsTick = std::chrono::milliseconds(100));
    ~StreamPlayerAPI() override;

    // STREAM_CREATED starts the player (only for a stream this client asked for);
    // STREAM_STOPPED stops it.
    bool handle(const InputClient::Response& response) override;

    // STREAM_INITIATE {"Streamed Desktop", "s60"}.
    void InitiateStream();
    void StopStream();
    void setAudioEnabled(bool enabled);
    void setVideoEnabled(bool enabled);

    // Stops the statistics and a running player, waits for its thread, releases it.
    void stopPlayer();
    // Forgets an unanswered stream request and stops the player.
    void forget();

    // The stream's address: "rtsp://" + host + the streamer's port-and-path text. False
    // (url untouched) when the text could make another host of it: it must start with ":"
    // or "/" and hold no "@"; empty (no stream configuration) leaves the host alone.
    static bool streamUrl(const std::string& host, const std::string& postfix, std::string& url);

    bool initiateRequested() const { return initiateRequested_.load(); }
    std::shared_ptr<IStreamPlayer> player();
    StatisticsHelper& statistics() { return statistics_; }

private:
    void startPlayer(const InputClient::Response& response);

    SimpleInputInterface* owner_;
    IStreamPlayerFactory* factory_;
    std::atomic<bool> initiateRequested_{false};
    StatisticsHelper statistics_;
    std::mutex playerLock_;
    std::shared_ptr<IStreamPlayer> player_;
    IRenderImplementation* videoConsumer_ = nullptr;
    IAudioRenderImplementation* audioConsumer_ = nullptr;
};
