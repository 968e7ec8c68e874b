#include "webapi/OpenURLTask.h"

#include "platform/Url.h"
#include "webapi/HttpClient.h"

bool OpenURLTask::run() {
    switch (mode_) {
    case Browser:
        // The opener's own result is not checked: the page either opens or it does not, and
        // there is nobody to tell.
        platform::openUrl(url_);
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
