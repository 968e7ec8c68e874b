#include "stubstreamer/StubStreamer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "stream/control/FrameReader.h"

using boost::asio::ip::tcp;
using InputClient::Request;
using InputClient::Response;

// ---------------------------------------------------------------------------------------
// StubConnection

StubConnection::StubConnection(StubStreamer& owner, tcp::socket socket, int index)
    : owner_(owner), socket_(std::move(socket)), timer_(owner.io_), index_(index) {
    boost::system::error_code ignored;
    socket_.set_option(tcp::no_delay(true), ignored);
}

std::string StubConnection::frame(const std::string& body, int checksumDelta,
                                  std::uint8_t version) {
    std::uint8_t header[FrameHeader::kSize];
    FrameHeader::write(header, static_cast<std::uint32_t>(body.size()), sequence_++);
    header[4] = version;
    header[5] = static_cast<std::uint8_t>(FrameHeader::checksum(header) + checksumDelta);
    std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
    bytes += body;
    return bytes;
}

void StubConnection::respond(const Response& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    Output out;
    out.bytes = frame(response.SerializeAsString());
    out_.push_back(std::move(out));
    pump();
}

void StubConnection::respond(int responseType) {
    Response response;
    response.set_type(static_cast<Response::ResponseType>(responseType));
    respond(response);
}

void StubConnection::respondSplit(const Response& response, std::size_t chunkSize,
                                  std::chrono::milliseconds pause) {
    if (chunkSize == 0) chunkSize = 1;
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string bytes = frame(response.SerializeAsString());
    for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
        Output out;
        out.bytes = bytes.substr(at, chunkSize);
        out.pauseBefore = at == 0 ? std::chrono::milliseconds(0) : pause;
        out_.push_back(std::move(out));
    }
    pump();
}

void StubConnection::sendBadChecksum(const Response& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{frame(response.SerializeAsString(), 1), {}, false});
    pump();
}

void StubConnection::sendBadVersion(const Response& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{frame(response.SerializeAsString(), 0, 2), {}, false});
    pump();
}

void StubConnection::sendZeroLength() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{frame(std::string()), {}, false});
    pump();
}

void StubConnection::skipSequence() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++sequence_;
}

void StubConnection::sendUnparsable() {
    // type = STREAM_CREATED, then a string field (11) announcing 100 bytes with only 2.
    sendBody(std::string("\x08\x02\x5a\x64xy", 6));
}

void StubConnection::sendBody(const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{frame(body), {}, false});
    pump();
}

void StubConnection::sendRaw(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{std::move(bytes), {}, false});
    pump();
}

void StubConnection::sendHeader(std::uint32_t length, std::uint8_t version,
                                std::uint16_t sequence, int checksum) {
    std::uint8_t header[FrameHeader::kSize];
    FrameHeader::write(header, length, sequence);
    header[4] = version;
    header[5] = checksum < 0 ? FrameHeader::checksum(header) : static_cast<std::uint8_t>(checksum);
    sendRaw(std::string(reinterpret_cast<const char*>(header), sizeof header));
}

void StubConnection::pause(std::chrono::milliseconds duration) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{std::string(), duration, false});
    pump();
}

void StubConnection::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.push_back(Output{std::string(), {}, true});
    pump();
}

bool StubConnection::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

bool StubConnection::closedByPeer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closedByPeer_;
}

// Called with mutex_ held: starts writing the head of the queue unless a write runs.
void StubConnection::pump() {
    if (writing_ || out_.empty()) return;
    writing_ = true;
    auto self = shared_from_this();
    boost::asio::post(owner_.io_, [self] {
        Output* head;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            head = &self->out_.front();
            if (!self->open_) {
                self->out_.clear();
                self->writing_ = false;
                return;
            }
        }
        auto write = [self, head] {
            if (head->close) {
                self->shut();
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->out_.clear();
                self->writing_ = false;
                return;
            }
            boost::asio::async_write(
                self->socket_, boost::asio::buffer(head->bytes),
                [self](const boost::system::error_code& ec, std::size_t) {
                    std::lock_guard<std::mutex> lock(self->mutex_);
                    self->writing_ = false;
                    if (ec || !self->open_) {
                        self->out_.clear();
                        return;
                    }
                    self->out_.pop_front();
                    self->pump();
                });
        };
        if (head->pauseBefore.count() > 0) {
            self->timer_.expires_after(head->pauseBefore);
            self->timer_.async_wait([write](const boost::system::error_code&) { write(); });
        } else {
            write();
        }
    });
}

void StubConnection::shut() {
    boost::system::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        if (!writing_) out_.clear();  // a write in flight clears the queue when it ends
    }
    owner_.changed();
}

void StubConnection::startRead() {
    auto self = shared_from_this();
    boost::asio::async_read(socket_, boost::asio::buffer(header_),
                            [self](const boost::system::error_code& ec, std::size_t) {
                                if (ec) {
                                    {
                                        std::lock_guard<std::mutex> lock(self->mutex_);
                                        if (self->open_) self->closedByPeer_ = true;
                                    }
                                    self->shut();
                                    return;
                                }
                                self->onHeader();
                            });
}

void StubConnection::onHeader() {
    const std::uint32_t length = (std::uint32_t(header_[0]) << 24) |
                                 (std::uint32_t(header_[1]) << 16) |
                                 (std::uint32_t(header_[2]) << 8) | std::uint32_t(header_[3]);
    if (length > FrameHeader::kMaxBodyLength) {
        shut();
        return;
    }
    body_.resize(length);
    if (length == 0) {
        onBody();
        return;
    }
    auto self = shared_from_this();
    boost::asio::async_read(socket_, boost::asio::buffer(&body_[0], body_.size()),
                            [self](const boost::system::error_code& ec, std::size_t) {
                                if (ec) {
                                    {
                                        std::lock_guard<std::mutex> lock(self->mutex_);
                                        if (self->open_) self->closedByPeer_ = true;
                                    }
                                    self->shut();
                                    return;
                                }
                                self->onBody();
                            });
}

void StubConnection::onBody() {
    ReceivedFrame f;
    f.connection = index_;
    f.header = header_;
    f.length = static_cast<std::uint32_t>(body_.size());
    f.version = header_[4];
    f.checksum = header_[5];
    f.sequence = static_cast<std::uint16_t>((header_[6] << 8) | header_[7]);
    f.checksumOk = FrameHeader::checksum(header_.data()) == header_[5];
    f.body = body_;
    f.parsed = f.request.ParseFromString(f.body);
    owner_.received(std::move(f), *this);
    startRead();
}

// ---------------------------------------------------------------------------------------
// StubStreamer

StubStreamer::StubStreamer() : acceptor_(io_) {
    tcp::endpoint endpoint(boost::asio::ip::make_address("127.0.0.1"), 0);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen();
    port_ = acceptor_.local_endpoint().port();
    startAccept();
    thread_ = std::thread([this] { io_.run(); });
}

StubStreamer::~StubStreamer() {
    io_.stop();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : connections_) {
        boost::system::error_code ignored;
        c->socket_.close(ignored);
    }
    connections_.clear();
}

void StubStreamer::startAccept() {
    acceptor_.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
        if (ec) return;
        std::shared_ptr<StubConnection> connection;
        ConnectHandler handler;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection = std::make_shared<StubConnection>(*this, std::move(socket),
                                                          static_cast<int>(connections_.size()));
            connections_.push_back(connection);
            handler = connectHandler_;
        }
        cv_.notify_all();
        if (handler) handler(*connection);
        connection->startRead();
        startAccept();
    });
}

void StubStreamer::received(ReceivedFrame frame, StubConnection& connection) {
    RequestHandler handler;
    Request request = frame.request;
    const bool parsed = frame.parsed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(std::move(frame));
        if (parsed) {
            auto it = handlers_.find(static_cast<int>(request.type()));
            if (it != handlers_.end()) handler = it->second;
        }
    }
    cv_.notify_all();
    if (handler) handler(connection, request);
}

void StubStreamer::changed() { cv_.notify_all(); }

void StubStreamer::onConnect(ConnectHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    connectHandler_ = std::move(handler);
}

void StubStreamer::onRequest(int requestType, RequestHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handler)
        handlers_[requestType] = std::move(handler);
    else
        handlers_.erase(requestType);
}

void StubStreamer::scriptStandardSession(const StubSessionScript& script) {
    onRequest(Request::AUTHORIZATION, [script](StubConnection& c, const Request&) {
        c.respond(script.authorizationReply);
    });
    onRequest(Request::CLIENT_DB_CONNECTED_EVENT, [script](StubConnection& c, const Request&) {
        Response connected;
        connected.set_type(Response::SERVER_DB_CONNECTED_EVENT);
        connected.set_serverdbid(script.serverDBId);
        c.respond(connected);
        for (const auto& definition : script.definitions) {
            Response r;
            r.set_type(Response::SERVER_DB_VARIABLE_EVENT);
            *r.mutable_variableevent() = definition;
            c.respond(r);
        }
    });
    onRequest(Request::CLIENT_DB_READY_EVENT, [script](StubConnection& c, const Request&) {
        Response ready;
        ready.set_type(Response::SERVER_DB_READY_EVENT);
        ready.set_serverdbid(script.serverDBId);
        c.respond(ready);
    });
    onRequest(Request::STREAM_INITIATE, [script](StubConnection& c, const Request&) {
        Response created;
        created.set_type(Response::STREAM_CREATED);
        auto* config = created.mutable_streamconfig();
        config->set_urlportandpostfix(script.urlPortAndPostfix);
        config->set_tmpusername(script.user);
        config->set_tmppassword(script.password);
        c.respond(created);
    });
    if (script.answerPings) {
        onRequest(Request::NETWORK_PING, [](StubConnection& c, const Request& request) {
            Response pong;
            pong.set_type(Response::NETWORK_PONG);
            pong.set_pongnumber(request.pingnumber());
            c.respond(pong);
        });
    }
    if (script.acceptUpdates) {
        onRequest(Request::CLIENT_DB_VARIABLE_EVENT, [script](StubConnection& c,
                                                              const Request& request) {
            const auto& event = request.variableevent();
            if (event.event() != InputClient::UPDATE_REQUEST) return;
            Response accepted;
            accepted.set_type(Response::SERVER_DB_VARIABLE_EVENT);
            auto* answer = accepted.mutable_variableevent();
            *answer = event;
            answer->set_event(InputClient::UPDATE_ACCEPTED);
            answer->set_owner(script.serverDBId);
            c.respond(accepted);
        });
    }
}

std::vector<ReceivedFrame> StubStreamer::frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

std::vector<ReceivedFrame> StubStreamer::requests(int requestType) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ReceivedFrame> out;
    for (const auto& f : frames_)
        if (f.parsed && f.type() == requestType) out.push_back(f);
    return out;
}

std::size_t StubStreamer::frameCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

std::size_t StubStreamer::connectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_.size();
}

std::shared_ptr<StubConnection> StubStreamer::connection(int index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= connections_.size()) return nullptr;
    return connections_[static_cast<std::size_t>(index)];
}

std::shared_ptr<StubConnection> StubStreamer::lastConnection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_.empty() ? nullptr : connections_.back();
}

bool StubStreamer::waitUntil(const std::function<bool()>& predicate,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] {
        lock.unlock();
        const bool done = predicate();
        lock.lock();
        return done;
    });
}

bool StubStreamer::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return frames_.size() >= count; });
}

bool StubStreamer::waitForRequests(int requestType, std::size_t count,
                                   std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] {
        std::size_t n = 0;
        for (const auto& f : frames_)
            if (f.parsed && f.type() == requestType) ++n;
        return n >= count;
    });
}

bool StubStreamer::waitForConnections(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return connections_.size() >= count; });
}

bool StubStreamer::waitForClose(std::chrono::milliseconds timeout) const {
    return waitUntil(
        [this] {
            auto c = lastConnection();
            return c && !c->isOpen();
        },
        timeout);
}

void StubStreamer::clearFrames() {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
}

InputClient::VariableEvent StubStreamer::definition(const std::string& name, const InputClient::VariableValue& value,
                                                    int cookie, int owner) {
    InputClient::VariableEvent event;
    event.mutable_name()->set_stringname(name);
    event.set_value(value.SerializeAsString());
    event.set_event(InputClient::VARIABLE);
    event.set_newcookie(cookie);
    event.set_owner(owner);
    return event;
}

InputClient::VariableEvent StubStreamer::int32Definition(const std::string& name, int value,
                                                         int cookie, int owner) {
    InputClient::VariableValue v;
    v.set_int32value(value);
    return definition(name, v, cookie, owner);
}

// ---------------------------------------------------------------------------------------
// BlackholeListener

BlackholeListener::BlackholeListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 0);
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    // Fill the accept queue; later connects then stay unanswered.
    for (int i = 0; i < 2; ++i) {
        int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers_.push_back(s);
    }
    pollfd p{fillers_.front(), POLLOUT, 0};
    ::poll(&p, 1, 1000);
}

BlackholeListener::~BlackholeListener() {
    for (int s : fillers_) ::close(s);
    if (listener_ >= 0) ::close(listener_);
}
