#pragma once
// The click task of a dialog button that closes its own dialog: it asks the popup dialog
// manager to close the dialog with its id and succeeds, so that a chain can go on after it
// (close, then post a command). Runs on the thread that executes it: the main thread, from
// the click. The manager hides the form at once and frees it after the click has unwound.

#include "core/TaskBase.h"

#include <cstdint>

class PopupDialogManager;

class CloseDynamicPopupDialogTask : public TaskBase {
public:
    CloseDynamicPopupDialogTask(PopupDialogManager* manager, std::int32_t dialogId)
        : TaskBase(false), manager(manager), dialogId(dialogId) {}

    bool run() override;

    PopupDialogManager* manager;
    std::int32_t dialogId;
};
