#pragma once
// One TCP connection of the control channel: connect, inactivity time-out, read loop, write
// queue and close. Request is what this side sends, Response what it receives; both are
// protobuf messages, each travelling as one frame (see FrameReader.h).
//
// The object shares ownership of itself: every asynchronous operation holds a reference, so
// it lives until its owner has dropped it and its last operation has completed. One object
// serves one connection attempt and is never reused.
//
// Threads: connect, read, close, every callback and the time-out run on the io thread of
// the io_context given at construction. send() and stop() may be called from any thread.
// send() serializes the message into a frame on the calling thread (so the caller may
// change or destroy its message at once) and stamps it with the next sequence number
// under the transport's lock. When no write is in flight, the calling thread writes the
// frame itself without blocking, which spares a thread hand-over per input event; the
// rest of a partial write, or a frame that finds the socket busy, goes to the io thread,
// which writes it and every frame queued behind it. So at most one write is in flight,
// frames go out whole, in the order of the send calls of any one thread, with
// consecutive sequence numbers, and a write error is reported by the io thread.
//
// Inactivity: the connection ends when, for the whole time-out, nothing was connected,
// queued, written or received. The window slides: every such activity moves the deadline;
// one timer wait is outstanding and re-arms itself to the current deadline when it fires.
//
// Replies: a request sent as awaiting a reply (a ping, the authorization) starts the reply
// clock unless it already runs; any frame from the peer stops it. When it reaches the reply
// time-out the peer is taken for gone (a frozen streamer still accepts what we write, so
// our own traffic never lets the inactivity time-out fire): the connection is closed and
// on_reply_timeout follows, once. A reply time-out of 0 turns this off.

#include <atomic>
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <sys/socket.h>
#include <sys/types.h>

#include "core/LogLine.h"
#include "stream/control/FrameReader.h"

template <class Request, class Response>
class InputClientBase : public std::enable_shared_from_this<InputClientBase<Request, Response>> {
public:
    using Clock = std::chrono::steady_clock;
    using tcp = boost::asio::ip::tcp;
    using error_code = boost::system::error_code;

    static constexpr std::chrono::milliseconds kDefaultInactivityTimeout{15000};

    // replyTimeout 0: no reply clock.
    InputClientBase(boost::asio::io_context& io,
                    std::chrono::milliseconds inactivityTimeout = kDefaultInactivityTimeout,
                    std::chrono::milliseconds replyTimeout = std::chrono::milliseconds(0))
        : io_(io), socket_(io), timer_(io), wake_(io), replyTimer_(io), timeout_(inactivityTimeout),
          replyTimeout_(replyTimeout) {}

    virtual ~InputClientBase() {
        error_code ignored;
        socket_.close(ignored);
    }

    InputClientBase(const InputClientBase&) = delete;
    InputClientBase& operator=(const InputClientBase&) = delete;

    // Starts the connection attempt over the resolved endpoints (each is tried in turn).
    void connect(tcp::resolver::results_type endpoints) {
        auto self = this->shared_from_this();
        boost::asio::post(io_, [self, endpoints = std::move(endpoints)]() {
            if (self->stopped_.load()) return;
            self->armTimer();
            boost::asio::async_connect(self->socket_, endpoints,
                                       [self](const error_code& ec, const tcp::endpoint&) {
                                           self->onConnect(ec);
                                       });
        });
    }

    // Sends one message: written at once when the socket takes it, else queued for the io
    // thread. Dropped silently while not connected or once stopped. awaitsReply: the peer
    // answers this message, so it starts the reply clock (see the head of this file).
    void send(const Request& message, bool awaitsReply = false) {
        if (stopped_.load(std::memory_order_acquire) ||
            !connected_.load(std::memory_order_acquire))
            return;
        if (awaitsReply) startReplyClock();
        const std::size_t length = message.ByteSizeLong();
        std::lock_guard<std::mutex> lock(sendMutex_);
        if (!writable_) return;  // closed meanwhile
        std::vector<std::uint8_t> frame;
        if (!pool_.empty()) {
            frame = std::move(pool_.back());
            pool_.pop_back();
        }
        frame.resize(FrameHeader::kSize + length);
        if (length != 0) message.SerializeWithCachedSizesToArray(frame.data() + FrameHeader::kSize);
        FrameHeader::write(frame.data(), static_cast<std::uint32_t>(length), outgoingSequence_++);
        lastActivity_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        if (ioWriting_) {
            pending_.push_back(std::move(frame));  // taken when the write in flight completes
            return;
        }
        // The socket cannot be closed under us: close() takes this lock.
        const ssize_t n = ::send(socket_.native_handle(), frame.data(), frame.size(),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(frame.size())) {
            if (pool_.size() < kPoolLimit) pool_.push_back(std::move(frame));
            return;
        }
        // A partial write leaves the rest; a busy socket (or an error, which the io
        // thread's write then meets and reports) leaves the whole frame.
        if (n > 0) frame.erase(frame.begin(), frame.begin() + n);
        pending_.push_back(std::move(frame));
        ioWriting_ = true;
        if (!wakePending_ && wakeArmed_) {
            wakePending_ = true;
            wake_.cancel();  // completes the io thread's wait: it picks up the frames
        }
    }

    // Ends the connection from any thread. A connection attempt still under way is
    // abandoned; its completion is ignored.
    void stop() {
        if (stopped_.exchange(true)) return;
        auto self = this->shared_from_this();
        boost::asio::post(io_, [self]() {
            if (self->connected_.load()) {
                self->close();
            } else {
                {
                    std::lock_guard<std::mutex> lock(self->sendMutex_);
                    error_code ignored;
                    self->socket_.close(ignored);
                }
                self->cancelTimer();
                self->replyTimer_.cancel();
            }
        });
    }

    bool isConnected() const { return connected_.load(); }
    bool isStopped() const { return stopped_.load(); }

    // 0 good header, 1 bad version, 2 bad checksum (or fewer than 8 bytes).
    static int parseHeader(const std::uint8_t* data, std::size_t size, std::uint32_t& length,
                           std::uint16_t& sequence) {
        return FrameHeader::parse(data, size, length, sequence);
    }

protected:
    // Hooks, all called on the io thread.
    virtual void on_connected() = 0;
    virtual void on_closed() = 0;
    virtual void on_timeout() = 0;
    virtual void on_error(const error_code& error) = 0;
    virtual void on_version_error() = 0;
    virtual void on_header_error() = 0;
    // A frame the peer must never send: an empty body, a frame number out of order, or a
    // body over the size limit. The connection is closed right after.
    virtual void on_frame_error(const std::string& reason) = 0;
    // A message arrived; parsed is false when the body did not parse (the message then
    // holds the fields read before the fault). Returning false ends the read loop.
    virtual bool on_message(const Response& message, bool parsed) = 0;
    // Nothing came from the peer for the reply time-out after a message that awaits a
    // reply; the connection has just been closed (on_closed came first). Nothing follows.
    virtual void on_reply_timeout() = 0;

    std::chrono::milliseconds replyTimeout() const { return replyTimeout_; }

private:
    // Memory for one outstanding asynchronous operation of the write path, so that queuing
    // and writing a frame costs no heap allocation. Touched only on the io thread (and by
    // the destruction of pending operations after it stopped). An operation that does not
    // fit, or finds the slot taken, falls back to the heap.
    struct HandlerSlot {
        alignas(std::max_align_t) unsigned char storage[512];
        bool inUse = false;
    };

    template <class T>
    struct SlotAllocator {
        using value_type = T;
        HandlerSlot* slot;
        explicit SlotAllocator(HandlerSlot* s) noexcept : slot(s) {}
        template <class U>
        SlotAllocator(const SlotAllocator<U>& other) noexcept : slot(other.slot) {}
        T* allocate(std::size_t n) {
            if (!slot->inUse && n * sizeof(T) <= sizeof(slot->storage)) {
                slot->inUse = true;
                return reinterpret_cast<T*>(slot->storage);
            }
            return static_cast<T*>(::operator new(n * sizeof(T)));
        }
        void deallocate(T* p, std::size_t) noexcept {
            if (reinterpret_cast<unsigned char*>(p) == slot->storage)
                slot->inUse = false;
            else
                ::operator delete(p);
        }
        template <class U>
        bool operator==(const SlotAllocator<U>& other) const noexcept { return slot == other.slot; }
        template <class U>
        bool operator!=(const SlotAllocator<U>& other) const noexcept { return slot != other.slot; }
    };

    // A completion handler whose operation lives in a HandlerSlot. The function object
    // holds a reference to the transport, which therefore outlives the slot's use.
    template <class F>
    struct SlotHandler {
        F function;
        HandlerSlot* slot;
        using allocator_type = SlotAllocator<void>;
        allocator_type get_allocator() const noexcept { return allocator_type(slot); }
        template <class... Args>
        void operator()(Args&&... args) {
            function(std::forward<Args>(args)...);
        }
    };
    template <class F>
    static SlotHandler<F> inSlot(HandlerSlot& slot, F function) {
        return SlotHandler<F>{std::move(function), &slot};
    }

    // View over the gather list of a write, cheap to copy into the write operation.
    struct BufferView {
        using value_type = boost::asio::const_buffer;
        using const_iterator = const boost::asio::const_buffer*;
        const boost::asio::const_buffer* first;
        const boost::asio::const_buffer* last;
        const_iterator begin() const { return first; }
        const_iterator end() const { return last; }
    };

    void onConnect(const error_code& ec) {
        if (stopped_.load()) return;
        if (ec) {
            if (!errorReported_) {
                errorReported_ = true;
                on_error(ec);
            }
            cancelTimer();
            return;
        }
        error_code optionError;
        socket_.set_option(tcp::no_delay(true), optionError);
        if (optionError)
            LogLine(40, "InputClientBase::onConnect", __LINE__).stream()
                << "TCP_NODELAY not set: " << optionError.message();
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            wakeArmed_ = true;
            writable_ = true;
            armWake();
        }
        connected_.store(true, std::memory_order_release);
        armTimer();
        startRead();
        on_connected();
    }

    // --- inactivity timer -------------------------------------------------------------

    void armTimer() {
        deadline_ = Clock::now() + timeout_;
        if (!timerWaiting_) startTimerWait();
    }

    void startTimerWait() {
        timerWaiting_ = true;
        timer_.expires_at(deadline_);
        auto self = this->shared_from_this();
        timer_.async_wait([self](const error_code&) { self->onDeadline(); });
    }

    void cancelTimer() {
        deadline_ = Clock::time_point::max();
        timer_.cancel();
    }

    void onDeadline() {
        timerWaiting_ = false;
        if (errorReported_ || stopped_.load()) return;
        if (deadline_ == Clock::time_point::max()) return;  // closed or cancelled
        // Frames written by the sending threads moved the window too.
        const Clock::time_point written{
            Clock::duration(lastActivity_.load(std::memory_order_relaxed))};
        if (written + timeout_ > deadline_) deadline_ = written + timeout_;
        if (Clock::now() < deadline_) {
            startTimerWait();
            return;
        }
        close();
        deadline_ = Clock::time_point::max();
        on_timeout();
    }

    // --- reply clock ------------------------------------------------------------------

    static constexpr Clock::rep kNoReplyAwaited = std::numeric_limits<Clock::rep>::min();

    // Any thread. Only the first request of a silence starts the clock: it measures from the
    // oldest request still without an answer.
    void startReplyClock() {
        if (replyTimeout_.count() <= 0) return;
        Clock::rep expected = kNoReplyAwaited;
        if (!awaitingSince_.compare_exchange_strong(expected, Clock::now().time_since_epoch().count()))
            return;
        auto self = this->shared_from_this();
        boost::asio::post(io_, [self]() { self->armReplyTimer(); });
    }

    void armReplyTimer() {
        if (replyTimerWaiting_ || errorReported_ || stopped_.load() || !connected_.load()) return;
        const Clock::rep since = awaitingSince_.load();
        if (since == kNoReplyAwaited) return;  // answered meanwhile
        replyTimerWaiting_ = true;
        replyTimer_.expires_at(Clock::time_point(Clock::duration(since)) + replyTimeout_);
        auto self = this->shared_from_this();
        replyTimer_.async_wait([self](const error_code&) { self->onReplyDeadline(); });
    }

    void onReplyDeadline() {
        replyTimerWaiting_ = false;
        if (errorReported_ || stopped_.load() || !connected_.load()) return;
        const Clock::rep since = awaitingSince_.load();
        if (since == kNoReplyAwaited) return;
        if (Clock::now() < Clock::time_point(Clock::duration(since)) + replyTimeout_) {
            armReplyTimer();  // answered, then asked again since the wait began
            return;
        }
        // Reported once: the read that the close aborts is no further error.
        errorReported_ = true;
        close();
        on_reply_timeout();
    }

    // --- read loop --------------------------------------------------------------------

    void startRead() {
        auto self = this->shared_from_this();
        socket_.async_read_some(
            boost::asio::buffer(reader_.writePointer(), reader_.writableSize()),
            [self](const error_code& ec, std::size_t n) { self->onRead(ec, n); });
    }

    void onRead(const error_code& ec, std::size_t n) {
        if (ec) {
            if (!errorReported_) {
                errorReported_ = true;
                on_error(ec);
            }
            close();
            return;
        }
        reader_.commit(n);
        bool received = false;
        for (;;) {
            const std::uint8_t* body = nullptr;
            std::uint32_t length = 0;
            const FrameReader::Result result = reader_.next(body, length);
            if (result == FrameReader::Result::NeedMore) break;
            if (result == FrameReader::Result::Frame) {
                // Before the dispatch, so that a request its handlers send starts a new clock.
                if (!received) awaitingSince_.store(kNoReplyAwaited);
                const bool parsed = received_.ParseFromArray(body, static_cast<int>(length));
                if (!on_message(received_, parsed)) return;
                received = true;
                continue;
            }
            errorReported_ = true;
            if (result == FrameReader::Result::BadVersion) {
                on_version_error();
            } else if (result == FrameReader::Result::BadChecksum) {
                on_header_error();
            } else {
                std::string reason = FrameReader::describe(result);
                reason += " (length " + std::to_string(reader_.lastLength()) + ", sequence " +
                          std::to_string(reader_.lastSequence()) + ", expected " +
                          std::to_string(reader_.expectedSequence()) + ")";
                on_frame_error(reason);
            }
            close();
            return;
        }
        if (received) armTimer();
        startRead();
    }

    // --- write path -------------------------------------------------------------------

    // Called with sendMutex_ held.
    void armWake() {
        wake_.expires_at(Clock::time_point::max());
        auto self = this->shared_from_this();
        wake_.async_wait(inSlot(wakeSlot_, [self](const error_code&) { self->onWake(); }));
    }

    void onWake() {
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            wakePending_ = false;
            if (!wakeArmed_) {
                recycleLocked(pending_);
                return;
            }
            armWake();
            if (writing_) return;  // the write in flight takes the frames when it completes
            queue_.swap(pending_);
            if (queue_.empty()) {
                ioWriting_ = false;
                return;
            }
        }
        armTimer();
        startWrite();
    }

    // Writes everything in queue_ (stamped frames, in order) as one gather write.
    void startWrite() {
        inFlight_.swap(queue_);
        gather_.clear();
        for (const auto& frame : inFlight_) gather_.emplace_back(frame.data(), frame.size());
        writing_ = true;
        auto self = this->shared_from_this();
        boost::asio::async_write(socket_, BufferView{gather_.data(), gather_.data() + gather_.size()},
                                 inSlot(writeSlot_, [self](const error_code& ec, std::size_t) {
                                     self->onWrite(ec);
                                 }));
    }

    void onWrite(const error_code& ec) {
        writing_ = false;
        if (ec) {
            recycle(inFlight_);
            if (!errorReported_) {
                errorReported_ = true;
                on_error(ec);
            }
            close();
            return;
        }
        armTimer();
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            recycleLocked(inFlight_);
            queue_.swap(pending_);
            // Nothing left: the sending threads write for themselves again.
            if (queue_.empty()) {
                ioWriting_ = false;
                return;
            }
        }
        startWrite();
    }

    void recycle(std::vector<std::vector<std::uint8_t>>& frames) {
        std::lock_guard<std::mutex> lock(sendMutex_);
        recycleLocked(frames);
    }

    static constexpr std::size_t kPoolLimit = 256;

    void recycleLocked(std::vector<std::vector<std::uint8_t>>& frames) {
        constexpr std::size_t kLargestPooled = 64 * 1024;
        for (auto& frame : frames) {
            if (pool_.size() < kPoolLimit && frame.capacity() <= kLargestPooled)
                pool_.push_back(std::move(frame));
        }
        frames.clear();
    }

    // --- close ------------------------------------------------------------------------

    void close() {
        const bool wasConnected = connected_.exchange(false);
        {
            // Under the lock, so no sending thread is inside a write on this socket.
            std::lock_guard<std::mutex> lock(sendMutex_);
            writable_ = false;
            if (wasConnected) {
                error_code ignored;
                socket_.shutdown(tcp::socket::shutdown_both, ignored);
                socket_.close(ignored);
            }
            if (wakeArmed_) {
                wakeArmed_ = false;
                wake_.cancel();
            }
        }
        if (wasConnected) on_closed();
        cancelTimer();
        replyTimer_.cancel();
    }

    boost::asio::io_context& io_;
    tcp::socket socket_;
    boost::asio::steady_timer timer_;
    boost::asio::steady_timer wake_;
    boost::asio::steady_timer replyTimer_;
    const std::chrono::milliseconds timeout_;
    const std::chrono::milliseconds replyTimeout_;

    std::atomic<bool> connected_{false};
    std::atomic<bool> stopped_{false};

    // io thread only
    bool errorReported_ = false;
    bool timerWaiting_ = false;
    bool writing_ = false;  // an asynchronous write is in flight
    bool replyTimerWaiting_ = false;
    Clock::time_point deadline_ = Clock::time_point::max();
    FrameReader reader_;
    HandlerSlot wakeSlot_;
    HandlerSlot writeSlot_;
    Response received_;
    std::vector<std::vector<std::uint8_t>> queue_;
    std::vector<std::vector<std::uint8_t>> inFlight_;
    std::vector<boost::asio::const_buffer> gather_;

    // Send time of the oldest request still awaiting a reply (Clock ticks), or
    // kNoReplyAwaited.
    std::atomic<Clock::rep> awaitingSince_{kNoReplyAwaited};
    // Time of the last frame a sending thread wrote or queued (Clock ticks).
    std::atomic<Clock::rep> lastActivity_{Clock::time_point::min().time_since_epoch().count()};

    // shared between senders and the io thread, under sendMutex_
    std::mutex sendMutex_;
    std::uint16_t outgoingSequence_ = 0;
    bool writable_ = false;     // connected and not closed: senders may write the socket
    bool ioWriting_ = false;    // the io thread owns the writing until pending_ runs dry
    std::vector<std::vector<std::uint8_t>> pending_;  // stamped frames for the io thread
    std::vector<std::vector<std::uint8_t>> pool_;     // spare frame buffers
    bool wakeArmed_ = false;    // the io thread waits on wake_ for frames
    bool wakePending_ = false;  // a sender has already completed that wait
};
