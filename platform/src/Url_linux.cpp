#include "platform/Url.h"

#include <cerrno>
#include <cstdlib>

#include "platform/Process.h"
#include "platform/Thread.h"

namespace platform {

std::string urlOpenerProgram() {
    const char* overridden = std::getenv("NIMBROSTA_URL_OPENER");
    if (overridden && overridden[0] != '\0') return overridden;
    return "xdg-open";
}

int openUrl(const std::string& url, std::function<void(int exitStatus)> onEnd) {
    // A leading "-" would be taken as an option of the opener.
    if (url.empty() || url[0] == '-') return EINVAL;
    ProcessHandle process;
    const int rc = spawnProgram(urlOpenerProgram(), {url}, process);
    if (rc != 0) return rc;
    if (!onEnd) {
        detachProcess(process);
        return 0;
    }
    // The opener may run as long as the browser it started: nobody waits for it but this.
    startThread([process, onEnd]() mutable {
        waitForExit(process, -1);
        releaseProcess(process);
        onEnd(process.exitStatus);
    }).detach();
    return 0;
}

}  // namespace platform
