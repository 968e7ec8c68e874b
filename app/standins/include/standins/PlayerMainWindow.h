#pragma once
// The player's main window as start-up sees it: a fixed-aspect window that owns the web-API
// facade and can be told to connect straight to a streamer. Its screens join later; until
// then it shows an empty client area.

#include <string>

#include "shell/FixedResizableWindow.h"
#include "standins/PlayerApi.h"

struct DirectConnection {
    std::string ip;
    int port = 0;
    std::string token;
    std::string osName;
};

class PlayerMainWindow : public FixedResizableWindow {
public:
    // The stream screen: the first command when the player connects straight to a streamer.
    static constexpr int kCommandStream = 120;
    // The decoder benchmark, the first command otherwise.
    static constexpr int kCommandBenchmark = 47;

    PlayerMainWindow();

    // The player goes straight to the stream of the streamer at ip:port with token.
    void connectDirect(const std::string& ip, const int& port, const std::string& token, const std::string& osName);

    void Command(int id) override;

    int initialCommand() const { return initialCommand_; }
    const DirectConnection& directConnection() const { return direct_; }
    bool hasDirectConnection() const { return !direct_.ip.empty(); }

    PlayerApi playerApi;

private:
    int initialCommand_ = kCommandBenchmark;
    DirectConnection direct_;
};
