#include "player-ui/CloseDynamicPopupDialogTask.h"

#include "player-ui/PopupDialogManager.h"

bool CloseDynamicPopupDialogTask::run() {
    if (manager)
        manager->closeDialog(dialogId);
    return true;
}
