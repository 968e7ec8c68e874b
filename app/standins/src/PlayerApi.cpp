#include "standins/PlayerApi.h"

#include "core/LogLine.h"

void PlayerApi::start(const std::string& accessToken) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accessToken_ = accessToken;
        ++starts_;
    }
    NIMBROSTA_LOG(0, "PlayerApi::start") << "access token of " << accessToken.size() << " characters";
}

std::string PlayerApi::accessToken() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accessToken_;
}

int PlayerApi::startCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_;
}
