#pragma once
// The connection check that opens the stream: it tests the selected machine's control
// channel with the engine's ConnectionTester and, when the streamer has authorized the
// token and readied its shared variables, posts kCommandStreamScreen to the window.
//
// The tester decides success, retry and failure: connection errors and time-outs are
// retried after the retry delay for as long as the check exists; a refused token is only
// logged. Destroying the check stops the tester and its session (it waits for an attempt
// under way).
//
// Threads: made and destroyed on the render or the main thread of the window; the tester's
// events arrive on its session thread, where they only log and post.

#include <chrono>

#include "stream/session/ConnectionTester.h"
#include "stream/session/SimpleInputInterface.h"

class IPlayerWindow;

class CheckVmAndStartStream : public IListenerBase<ConnectionTesterEvents> {
public:
    // Starts the first attempt at once, on the calling thread, against the machine that
    // the account model holds as selected.
    explicit CheckVmAndStartStream(IPlayerWindow* window,
                                   std::chrono::milliseconds retryDelay = std::chrono::milliseconds(1000),
                                   const SimpleInputInterface::Timings& timings = SimpleInputInterface::Timings());
    ~CheckVmAndStartStream() override;

    CheckVmAndStartStream(const CheckVmAndStartStream&) = delete;
    CheckVmAndStartStream& operator=(const CheckVmAndStartStream&) = delete;

    void onEvent(ConnectionTesterEvents event) override { handleEvent(event); }
    // 0 an attempt, 1 the token was refused, 2 success (kCommandStreamScreen is posted).
    void handleEvent(int event);

private:
    // Declared before the tester, so that it outlives a notification still under way while
    // the tester is being destroyed.
    IPlayerWindow* window_;
    ConnectionTester tester_;
};
