#pragma once
// Opening a web page in the user's browser.

#include <functional>
#include <string>

namespace platform {

// The program that opens URLs: $NIMBROSTA_URL_OPENER when set and not empty, else "xdg-open".
std::string urlOpenerProgram();

// Starts the URL opener with the URL as its one argument and returns without waiting.
// Returns 0, or the errno of a failed start (ENOENT when the opener is not installed).
// When the opener has been started, onEnd (if given) is called with its exit status (128
// plus the signal number when a signal ended it) once it has ended, on a thread of its
// own; xdg-open ends with 0 once the page was handed to a browser, and with 3 when it
// found none.
int openUrl(const std::string& url, std::function<void(int exitStatus)> onEnd = nullptr);

}  // namespace platform
