#include "stream/session/StreamPlayerAPI.h"

#include "core/LogLine.h"
#include "input-lib/InputClient.pb.h"
#include "stream/session/SimpleInputInterface.h"

using InputClient::Request;
using InputClient::Response;

StreamPlayerAPI::StreamPlayerAPI(SimpleInputInterface* owner, IStreamPlayerFactory* factory,
                                 int statisticsPeriodMs, std::chrono::milliseconds statisticsTick)
    : InputInterfaceAPIBase(owner),
      owner_(owner),
      factory_(factory),
      statistics_(owner, statisticsPeriodMs, statisticsTick) {
    endpoint_->registerHandler(Response::STREAM_CREATED, this);
    endpoint_->registerHandler(Response::STREAM_STOPPED, this);
}

StreamPlayerAPI::~StreamPlayerAPI() {
    endpoint_->unregisterHandler(this);
    stopPlayer();
    std::lock_guard<std::mutex> lock(playerLock_);
    player_.reset();
}

bool StreamPlayerAPI::handle(const Response& response) {
    switch (response.type()) {
    case Response::STREAM_CREATED:
        startPlayer(response);
        return true;
    case Response::STREAM_STOPPED:
        stopPlayer();
        return true;
    default:
        return false;
    }
}

void StreamPlayerAPI::InitiateStream() {
    initiateRequested_ = true;
    Request r;
    r.set_type(Request::STREAM_INITIATE);
    r.mutable_initiatestream()->set_streamname("Streamed Desktop");
    r.mutable_initiatestream()->set_streamlink("s60");
    endpoint_->send(r);
}

void StreamPlayerAPI::StopStream() {
    Request r;
    r.set_type(Request::STREAM_STOP);
    endpoint_->send(r);
}

namespace {

// The text for a log line: control characters shown as '?', cut at 200 characters.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text.substr(0, 200)) out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    return out;
}

}  // namespace

// The streamer's text follows our host in the address: it may give a port and a path, but
// must not make another host of it ("@other-host", ".other-domain") and so receive the
// stream's credentials.
bool StreamPlayerAPI::streamUrl(const std::string& host, const std::string& postfix, std::string& url) {
    if (!postfix.empty() && ((postfix[0] != ':' && postfix[0] != '/') || postfix.find('@') != std::string::npos))
        return false;
    url = "rtsp://" + host + postfix;
    return true;
}

void StreamPlayerAPI::startPlayer(const Response& response) {
    if (!initiateRequested_.exchange(false)) return;  // a stream this client did not ask for
    IClientAppImplementation* app = owner_->app();
    const auto& config = response.streamconfig();
    std::string url;
    if (!streamUrl(owner_->host(), config.urlportandpostfix(), url)) {
        // No player is made, so the credentials go nowhere; the application sees what it
        // sees of a stream that could not be opened.
        LogLine(50, "StreamPlayerAPI::startPlayer", __LINE__).stream()
            << "refused the stream address: \"" << printable(config.urlportandpostfix())
            << "\" does not continue the host with a port or a path (\":\" or \"/\" first, no \"@\")";
        if (app) app->onEvent(kClientAppVideoClientFinished, nullptr);
        return;
    }
    videoConsumer_ = app ? app->getVideoConsumer() : nullptr;
    audioConsumer_ = app ? app->getAudioConsumer() : nullptr;

    std::lock_guard<std::mutex> lock(playerLock_);
    IStreamPlayerFactory* factory = factory_ ? factory_ : IStreamPlayerFactory::defaultFactory();
    player_.reset();
    if (factory)
        player_ = factory->create(url, config.tmpusername(), config.tmppassword(), "SimpleInputInterface",
                                  owner_);
    if (!player_) {
        LogLine(50, "StreamPlayerAPI::startPlayer", __LINE__).stream()
            << "no RTSP player available for " << url;
        return;
    }
    player_->setVideoConsumer(videoConsumer_);
    player_->setAudioConsumer(audioConsumer_);
    if (app) app->onEvent(kClientAppStreamCreated, nullptr);
    player_->start();
    statistics_.start(videoConsumer_);
}

void StreamPlayerAPI::stopPlayer() {
    std::lock_guard<std::mutex> lock(playerLock_);
    statistics_.stop();
    if (player_ && player_->isRunning()) {
        player_->setVideoConsumer(nullptr);
        player_->setAudioConsumer(nullptr);
        player_->stop();
        player_.reset();
    }
}

void StreamPlayerAPI::forget() {
    initiateRequested_ = false;
    stopPlayer();
}

void StreamPlayerAPI::setAudioEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(playerLock_);
    if (player_) player_->setAudioEnabled(enabled);
}

void StreamPlayerAPI::setVideoEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(playerLock_);
    if (player_) player_->setVideoEnabled(enabled);
}

std::shared_ptr<IStreamPlayer> StreamPlayerAPI::player() {
    std::lock_guard<std::mutex> lock(playerLock_);
    return player_;
}
