#include "standins/PlayerMainWindow.h"

#include "core/LogLine.h"

PlayerMainWindow::PlayerMainWindow() {
    // Escape belongs to the stream and the dialogs, not to closing the player.
    setEscapeCloses(false);
}

void PlayerMainWindow::connectDirect(const std::string& ip, const int& port, const std::string& token,
                                     const std::string& osName) {
    initialCommand_ = kCommandStream;
    direct_ = {ip, port, token, osName};
    NIMBROSTA_LOG(0, "PlayerMainWindow::connectDirect")
        << "streamer " << ip << ":" << port << ", token of " << token.size() << " characters, " << osName;
}

void PlayerMainWindow::Command(int id) { NIMBROSTA_LOG(0, "PlayerMainWindow::Command") << "command " << id; }
