#pragma once
// A stand-in for the streamer's side of the control channel, listening on 127.0.0.1 on a
// port chosen by the OS.
//
// It records every frame it receives (header fields, raw body and the parsed request) and
// answers from a script: handlers per request type, plus whatever a test sends through a
// connection at any time, well-formed or deliberately broken.
//
//   StubStreamer stub;
//   stub.onRequest(InputClient::Request::AUTHORIZATION, [](StubConnection& c, auto&) {
//       c.respond(InputClient::Response::AUTHORIZATION_SUCCESS_ADMIN);
//   });
//   session.InitiateConnection("127.0.0.1", stub.port());
//   ASSERT_TRUE(stub.waitForRequests(InputClient::Request::AUTHORIZATION, 1));
//   stub.lastConnection()->sendBadChecksum(someResponse);
//
// Handlers run on the stub's own thread. Everything else may be called from any thread.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "input-lib/InputClient.pb.h"

// One frame received from the client.
struct ReceivedFrame {
    int connection = 0;  // index of the connection, 0 for the first one accepted
    std::array<std::uint8_t, 8> header{};
    std::uint32_t length = 0;
    std::uint8_t version = 0;
    std::uint8_t checksum = 0;
    std::uint16_t sequence = 0;
    bool checksumOk = false;
    std::string body;
    InputClient::Request request;
    bool parsed = false;

    int type() const { return static_cast<int>(request.type()); }
};

class StubStreamer;

// One accepted client. Output is queued and written in order; pause() delays what follows.
class StubConnection : public std::enable_shared_from_this<StubConnection> {
public:
    StubConnection(StubStreamer& owner, boost::asio::ip::tcp::socket socket, int index);

    int index() const { return index_; }

    // A well-formed frame carrying the response, with the next sequence number.
    void respond(const InputClient::Response& response);
    void respond(int responseType);
    // The frame written in pieces of chunkSize bytes with a pause between them.
    void respondSplit(const InputClient::Response& response, std::size_t chunkSize,
                      std::chrono::milliseconds pause);
    // A frame whose checksum is one too high.
    void sendBadChecksum(const InputClient::Response& response);
    // A frame with version 2 (and a checksum that matches it).
    void sendBadVersion(const InputClient::Response& response);
    // A correct header announcing an empty body.
    void sendZeroLength();
    // The next frame carries a sequence number one too high.
    void skipSequence();
    // A frame whose body is not a valid Response (it stops in the middle of a field).
    void sendUnparsable();
    // A correctly framed body of arbitrary bytes.
    void sendBody(const std::string& body);
    // Bytes exactly as given.
    void sendRaw(std::string bytes);
    // A header with every field given explicitly (the checksum computed unless given).
    void sendHeader(std::uint32_t length, std::uint8_t version, std::uint16_t sequence,
                    int checksum = -1);
    void pause(std::chrono::milliseconds duration);
    // Closes the socket after everything queued before it was written.
    void close();

    bool isOpen() const;
    bool closedByPeer() const;

private:
    friend class StubStreamer;
    struct Output {
        std::string bytes;
        std::chrono::milliseconds pauseBefore{0};
        bool close = false;
    };

    void enqueue(Output output);
    std::string frame(const std::string& body, int checksumDelta = 0, std::uint8_t version = 1);
    void pump();
    void startRead();
    void onHeader();
    void onBody();
    void shut();

    StubStreamer& owner_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer timer_;
    const int index_;

    mutable std::mutex mutex_;
    std::deque<Output> out_;
    std::uint16_t sequence_ = 0;
    bool writing_ = false;
    bool open_ = true;
    bool closedByPeer_ = false;

    std::array<std::uint8_t, 8> header_{};
    std::string body_;
};

// The usual streamer: authorizes, defines its variables, readies its store, creates the
// stream on request, accepts variable changes and answers pings.
struct StubSessionScript {
    int authorizationReply = 10;  // AUTHORIZATION_SUCCESS_ADMIN
    int serverDBId = 7;
    std::string urlPortAndPostfix = ":554/stream";
    std::string user = "u";
    std::string password = "p";
    bool answerPings = true;
    bool acceptUpdates = true;
    // Sent as SERVER_DB_VARIABLE_EVENT definitions before SERVER_DB_READY_EVENT.
    std::vector<InputClient::VariableEvent> definitions;
};

class StubStreamer {
public:
    using RequestHandler = std::function<void(StubConnection&, const InputClient::Request&)>;
    using ConnectHandler = std::function<void(StubConnection&)>;

    StubStreamer();
    ~StubStreamer();

    StubStreamer(const StubStreamer&) = delete;
    StubStreamer& operator=(const StubStreamer&) = delete;

    std::uint16_t port() const { return port_; }

    void onConnect(ConnectHandler handler);
    // Replaces the handler of that request type; an empty handler removes it.
    void onRequest(int requestType, RequestHandler handler);
    void scriptStandardSession(const StubSessionScript& script = {});

    std::vector<ReceivedFrame> frames() const;
    std::vector<ReceivedFrame> requests(int requestType) const;
    std::size_t frameCount() const;
    std::size_t connectionCount() const;
    std::shared_ptr<StubConnection> connection(int index) const;
    std::shared_ptr<StubConnection> lastConnection() const;

    bool waitForFrames(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool waitForRequests(int requestType, std::size_t count = 1,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool waitForConnections(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits until the last connection was closed by either side.
    bool waitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool waitUntil(const std::function<bool()>& predicate,
                   std::chrono::milliseconds timeout) const;

    // Forgets the frames received so far.
    void clearFrames();

    // A definition of a streamer-owned variable, as the streamer announces it.
    static InputClient::VariableEvent definition(const std::string& name, const InputClient::VariableValue& value,
                                                 int cookie, int owner);
    static InputClient::VariableEvent int32Definition(const std::string& name, int value,
                                                      int cookie, int owner);

private:
    friend class StubConnection;
    void startAccept();
    void received(ReceivedFrame frame, StubConnection& connection);
    void changed();

    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<ReceivedFrame> frames_;
    std::vector<std::shared_ptr<StubConnection>> connections_;
    std::map<int, RequestHandler> handlers_;
    ConnectHandler connectHandler_;

    std::thread thread_;
};

// A listening port that never completes a connection: its accept queue is full, so a
// client's connect stays pending (for connect time-outs).
class BlackholeListener {
public:
    BlackholeListener();
    ~BlackholeListener();
    std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> fillers_;
    std::uint16_t port_ = 0;
};
