#include "stream/session/SimpleInputInterface.h"

#include "core/LogLine.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/VideoControlAPI.h"

SimpleInputInterface::SimpleInputInterface(IClientAppImplementation* app, IStreamPlayerFactory* factory)
    : SimpleInputInterface(app, factory, Timings()) {}

SimpleInputInterface::SimpleInputInterface(IClientAppImplementation* app, IStreamPlayerFactory* factory,
                                           const Timings& timings)
    : InputInterface(timings.inactivityTimeout, timings.replyTimeout),
      app_(app),
      streamPlayer(this, factory, timings.statisticsPeriodMs, timings.statisticsTick),
      connection(this),
      variables(&clientDBAPI().db()) {}

SimpleInputInterface::~SimpleInputInterface() {
    StopAllConnections();
    // No handler may run into the members below once they start to go.
    stopIoThread();
}

void SimpleInputInterface::SetupConnectionAndStartStream(std::string host, int port, std::string token,
                                                         std::string lang, bool autoStart) {
    // The token is a secret: the line shows its length instead.
    // Progress, not an error: every session and every reconnection starts here.
    LogLine(0, "SimpleInputInterface::SetupConnectionAndStartStream", 22).stream()
        << "connecting to: " << host << " " << port << " <token of " << token.size() << " characters>";
    StopAllConnections();
    connection.reset();
    streamPlayer.forget();
    {
        std::lock_guard<std::mutex> lock(paramsMutex_);
        host_ = host;
        port_ = port;
        token_ = std::move(token);
        lang_ = std::move(lang);
    }
    connection.setAutoStart(autoStart);
    InitiateConnection(host, port);
}

void SimpleInputInterface::StopAllConnections() {
    LogLine(0, "SimpleInputInterface::StopAllConnections", 35).stream() << "StopAllConnections";
    streamPlayer.stopPlayer();
    InputInterface::StopAllConnections();
}

std::string SimpleInputInterface::host() {
    std::lock_guard<std::mutex> lock(paramsMutex_);
    return host_;
}

void SimpleInputInterface::VideoForceIDRFrame() { videoControlAPI().VideoForceIDRFrame(); }

void SimpleInputInterface::VideoNotifyLostPacketInfo(int seq, int count, int timestamp) {
    videoControlAPI().VideoNotifyLostPacketInfo(seq, count, timestamp);
}

void SimpleInputInterface::onVideoClientError(const std::string& reason) {
    LogLine(50, "SimpleInputInterface::onVideoClientError", __LINE__).stream() << "media stream error: " << reason;
    onFailureReason("the picture stream failed: " + reason);
    if (app_) app_->onEvent(kClientAppConnectionError, nullptr);
}

void SimpleInputInterface::onVideoClientFinished() {
    if (app_) app_->onEvent(kClientAppVideoClientFinished, nullptr);
}

void SimpleInputInterface::onConnectionStarted() {
    std::string token, lang;
    {
        std::lock_guard<std::mutex> lock(paramsMutex_);
        token = token_;
        lang = lang_;
    }
    // The administrator word travels with one trailing blank, which the streamer expects.
    if (token == kAdminTokenWord) token += ' ';
    connection.Authorize(token, lang);
    if (app_) app_->onEvent(kClientAppConnected, nullptr);
}

void SimpleInputInterface::onConnectionClosed() {
    connection.reset();
    streamPlayer.forget();
}

void SimpleInputInterface::onError(int) {
    if (app_) app_->onEvent(kClientAppConnectionError, nullptr);
}

void SimpleInputInterface::onTimeout() {
    if (app_) app_->onEvent(kClientAppTimeout, nullptr);
}
