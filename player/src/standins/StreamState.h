#pragma once
// Placeholder of the in-stream screen and of the two follow-ups of its start, under the
// names and with the constructors the window uses, until the real screen lands in
// player/stream/. It shows nothing and connects nowhere; it keeps the connection the
// window hands it. Delete this file (and point PlayerMainWindow.cpp at the real header)
// when the real screen lands.

#include <memory>
#include <string>

#include "core/TaskBase.h"
#include "core/TaskBase.h"
#include "player/PlayerWindowState.h"

class StreamState : public PlayerWindowState {
public:
    StreamState(PlayerMainWindow* window, int commandId)
        : PlayerWindowState(window, commandId), startTask_(std::make_shared<SuccessTask>()) {}
    bool enter() override { return true; }
    void leave() override {}
    bool update(std::recursive_mutex&) override { return true; }
    bool isFinished() override { return false; }

    // The streamer to connect to.
    void setConnection(const std::string& host, int port, const std::string& token, const std::string& language) {
        host_ = host;
        port_ = port;
        token_ = token;
        language_ = language;
    }
    // The head of the chain that starts the session; the window adds its follow-ups.
    const TaskPtr& startTask() const { return startTask_; }

private:
    TaskPtr startTask_;
    std::string host_;
    int port_ = 0;
    std::string token_;
    std::string language_;
};

// The streamer update check after the session started.
class CheckStreamerUpdateTask : public TaskBase {
public:
    explicit CheckStreamerUpdateTask(StreamState* state) : TaskBase(false), state_(state) {}
    bool run() override { return state_ != nullptr; }

private:
    StreamState* state_;
};

// Sets the machine's system mode (2 Steam, 1 Ubuntu, 0 otherwise) after the session started.
class SetStreamModeTask : public TaskBase {
public:
    SetStreamModeTask(StreamState* state, int mode) : TaskBase(false), state_(state), mode_(mode) {}
    bool run() override { return state_ != nullptr; }
    int mode() const { return mode_; }

private:
    StreamState* state_;
    int mode_;
};
