#pragma once
// The session controller: one object per streamed machine, owned by the application.
//
// A control-channel endpoint that connects, authorizes, synchronises the shared variables,
// asks for the stream and starts the RTSP player when the streamer has created it, and
// reports every step to the application as a ClientAppEvent:
//
//   connected → AUTHORIZATION, 1001; authorized → 1004, synchronisation; streamer's store
//   ready → STREAM_INITIATE (auto-start), 1005; STREAM_CREATED → 1002, player starts;
//   player thread ends → 1003; errors 2000 (a stalled stream too), time-out 2001 (also a
//   streamer that leaves a ping or the authorization unanswered), refused 2003, another
//   client 2004. lastFailure() says in a few words why the last connection failed.
//
// The session never reconnects by itself: the application calls SetupConnectionAndStartStream
// again after 2000 or 2001. Destroying the session stops everything and joins the io thread
// before its members go.

#include <mutex>
#include <string>

#include "stream/session/ConnectionAPI.h"
#include "stream/session/GamepadState.h"
#include "stream/session/IClientAppImplementation.h"
#include "stream/session/IMediaSession.h"
#include "stream/session/IStreamPlayer.h"
#include "stream/session/InputInterface.h"
#include "stream/session/StreamPlayerAPI.h"
#include "stream/session/VariableBase.h"

// The session's variables that the in-stream screen uses.
struct SessionVariables {
    explicit SessionVariables(ClientDB* db)
        : autoBitrate(db, VariableNames::kStreamAutoBitrate),
          enableControllers(db, VariableNames::kInputEnableControllers),
          recordStream(db, VariableNames::kStreamRecordStream),
          systemMode(db, VariableNames::kSystemSystemMode),
          password(db, VariableNames::kSystemPassword),
          clipboard(db, VariableNames::kSystemClipboard),
          update2(db, VariableNames::kSystemUpdate2),
          mouseStatus(db, VariableNames::kSystemMouseStatus) {}

    VariableUserBase<BoolVariable> autoBitrate;
    VariableUserBase<BoolVariable> enableControllers;
    VariableUserBase<BoolVariable> recordStream;
    VariableUserBase<Int32Variable> systemMode;
    VariableUserBase<StringVariable> password;
    VariableUserBase<StringVariable> clipboard;
    VariableUserBase<Int32Variable> update2;
    VariableUserBase<Int32Variable> mouseStatus;
};

class SimpleInputInterface : public InputInterface, public JoystickDeviceNotifier, public IMediaSession {
    IClientAppImplementation* const app_;  // first: the feature objects below may use it

public:
    // Time-outs and periods the tests shorten.
    struct Timings {
        std::chrono::milliseconds inactivityTimeout = kDefaultInactivityTimeout;
        // A ping or the authorization left without any answer this long: the connection is
        // closed and reported as a time-out (2001). 0: never.
        std::chrono::milliseconds replyTimeout = kDefaultReplyTimeout;
        int statisticsPeriodMs = -1;  // < 0: "General.StatisticsTickPeriod"
        std::chrono::milliseconds statisticsTick{100};
    };

    // factory null: IStreamPlayerFactory::defaultFactory().
    explicit SimpleInputInterface(IClientAppImplementation* app, IStreamPlayerFactory* factory = nullptr);
    SimpleInputInterface(IClientAppImplementation* app, IStreamPlayerFactory* factory, const Timings& timings);
    ~SimpleInputInterface() override;

    // (Re)connects: stops the player and the connection (no event), then starts a new
    // sequence. Any thread but the player's.
    void SetupConnectionAndStartStream(std::string host, int port, std::string token, std::string lang,
                                       bool autoStart);
    // Stops the player and the connection; no event follows.
    void StopAllConnections();

    // IMediaSession: the player's requests and its end.
    void VideoForceIDRFrame() override;
    void VideoNotifyLostPacketInfo(int seq, int count, int timestamp) override;
    void onVideoClientError(const std::string& reason) override;
    void onVideoClientFinished() override;

    void onTimeout() override;
    void onError(int code) override;
    void onConnectionStarted() override;
    void onConnectionClosed() override;

    IClientAppImplementation* app() const { return app_; }
    std::string host();

    StreamPlayerAPI streamPlayer;
    ConnectionAPI connection;
    SessionVariables variables;

    // The administrator token word, sent with a trailing blank.
    static constexpr const char* kAdminTokenWord = "KOLVANTRIX";

private:
    std::mutex paramsMutex_;
    std::string host_;
    int port_ = 0;
    std::string token_;
    std::string lang_;
};
