#include "platform/Url.h"

#include <cerrno>
#include <cstdlib>

#include "platform/Process.h"

namespace platform {

std::string urlOpenerProgram() {
    const char* overridden = std::getenv("NIMBROSTA_URL_OPENER");
    if (overridden && overridden[0] != '\0') return overridden;
    return "xdg-open";
}

int openUrl(const std::string& url) {
    // A leading "-" would be taken as an option of the opener.
    if (url.empty() || url[0] == '-') return EINVAL;
    ProcessHandle process;
    const int rc = spawnProgram(urlOpenerProgram(), {url}, process);
    if (rc == 0) detachProcess(process);
    return rc;
}

}  // namespace platform
