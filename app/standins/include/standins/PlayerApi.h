#pragma once
// The player's facade to the service web API, as far as start-up uses it: start() hands it
// the user's access token. This stand-in keeps the token; the web work joins later.

#include <mutex>
#include <string>

class PlayerApi {
public:
    // Begins the web work for the signed-in user and returns at once.
    void start(const std::string& accessToken);

    std::string accessToken() const;
    int startCount() const;

private:
    mutable std::mutex mutex_;
    std::string accessToken_;
    int starts_ = 0;
};
