#include "platform/EndRequest.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

#include "platform/Thread.h"
#include "platform/ThreadName.h"

namespace platform {

namespace {

// Never destroyed: the request thread may still read it while the process ends.
struct EndRequests {
    std::mutex mutex;
    std::function<void()> handler;
    bool threadStarted = false;
    int pipe[2] = {-1, -1};
};

EndRequests& state() {
    static EndRequests* requests = new EndRequests;
    return *requests;
}

// The write end, read by the signal handler without a lock.
int g_writeEnd = -1;

void onEndSignal(int) {
    const int savedErrno = errno;
    const char request = 1;
    // A full pipe already holds requests enough.
    const ssize_t ignored = write(g_writeEnd, &request, 1);
    (void)ignored;
    errno = savedErrno;
}

void requestThread(int readEnd) {
    setCurrentThreadName("End Requests");
    char requests[16];
    for (;;) {
        const ssize_t n = read(readEnd, requests, sizeof(requests));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        std::function<void()> handler;
        {
            EndRequests& s = state();
            std::lock_guard<std::mutex> lock(s.mutex);
            handler = s.handler;
        }
        // Requests that came together end the program once.
        if (handler) handler();
    }
}

}  // namespace

void catchEndRequests() {
    EndRequests& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.pipe[0] >= 0) return;
    if (pipe2(s.pipe, O_CLOEXEC) != 0) return;
    fcntl(s.pipe[1], F_SETFL, fcntl(s.pipe[1], F_GETFL) | O_NONBLOCK);
    g_writeEnd = s.pipe[1];
    struct sigaction action {};
    action.sa_handler = &onEndSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void setEndRequestHandler(std::function<void()> handler) {
    EndRequests& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.handler = std::move(handler);
    if (!s.handler || s.threadStarted || s.pipe[0] < 0) return;
    s.threadStarted = true;
    // It reads until the process ends.
    startThread(&requestThread, s.pipe[0]).detach();
}

}  // namespace platform
