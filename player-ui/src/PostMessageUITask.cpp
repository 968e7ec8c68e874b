#include "player-ui/PostMessageUITask.h"

#include "player-ui/IPlayerWindow.h"

bool PostMessageUITask::run() {
    if (window_) window_->postCommand(commandId_);
    return true;
}
