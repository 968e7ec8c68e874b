#pragma once
// Requests from outside to end the program: SIGTERM (a session logout, systemd, `kill`)
// and SIGINT (Ctrl+C in the terminal the program runs in).
//
// The signal handler only writes a byte to a pipe; a thread of its own reads the pipe and
// calls the handler the program set, outside any signal handler, so the handler may do
// whatever ending the program takes (posting the close of its window).
//
// catchEndRequests must come before anything that installs its own handlers for these
// signals and passes on the ones it does not take (the crash reporter takes only those the
// process raised itself): they then reach these handlers.

#include <functional>

namespace platform {

// Installs the SIGTERM and SIGINT handlers. A request that comes before a handler is set
// waits for it. Once is enough; later calls do nothing.
void catchEndRequests();

// Sets what runs for each request, on the request thread (started with the first handler).
// An empty handler drops requests from now on.
void setEndRequestHandler(std::function<void()> handler);

}  // namespace platform
