#pragma once
// Opening a web page in the user's browser.

#include <string>

namespace platform {

// The program that opens URLs: $NIMBROSTA_URL_OPENER when set and not empty, else "xdg-open".
std::string urlOpenerProgram();

// Starts the URL opener with the URL as its one argument and returns without waiting.
// Returns 0, or the errno of a failed start.
int openUrl(const std::string& url);

}  // namespace platform
