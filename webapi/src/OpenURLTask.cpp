#include "webapi/OpenURLTask.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/LogLine.h"
#include "platform/Url.h"
#include "webapi/HttpClient.h"

namespace {

// Only web pages go to the browser. The URL comes from the service (a message action); any
// other scheme (file:, a program's own scheme, an option-looking text) would have the
// desktop's opener start whatever handles it.
bool isWebUrl(const std::string& url) {
    std::string scheme = url.substr(0, url.find(':'));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme.size() == url.size()) return false;
    const std::string rest = url.substr(scheme.size());
    return (scheme == "http" || scheme == "https") && rest.compare(0, 3, "://") == 0 && rest.size() > 3;
}

}  // namespace

void OpenURLTask::openInBrowser(const std::string& url) {
    if (!isWebUrl(url)) {
        NIMBROSTA_LOG(50, "OpenURLTask::run") << "not a web page, not opened (" << url.size() << " bytes)";
        return;
    }
    // Nobody waits for the page; when it does not open, the log says why.
    const std::string opener = platform::urlOpenerProgram();
    const int error = platform::openUrl(url, [opener](int exitStatus) {
        if (exitStatus != 0)
            NIMBROSTA_LOG(50, "OpenURLTask::run") << "the web page did not open: " << opener
                                                  << " ended with status " << exitStatus;
    });
    if (error != 0)
        NIMBROSTA_LOG(50, "OpenURLTask::run") << "the web page did not open: " << opener
                                              << " could not be started: " << std::strerror(error);
}

bool OpenURLTask::run() {
    switch (mode_) {
    case Browser:
        openInBrowser(url_);
        break;
    case Get:
    case Post: {
        HttpClient client;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            bool ok = mode_ == Get ? client.get(url_) : client.post(url_, std::string());
            if (ok) break;
        }
        break;
    }
    default:
        break;
    }
    return true;
}
