#pragma once
// The click task of one item of a choice list: it reports the item's index to the list's
// owner. Runs on the thread that executes it (the main thread, from the click).

#include "core/TaskBase.h"
#include "player-ui/IIndexSelectable.h"

#include <cstdint>

class UniqueDialogBaseUITask : public TaskBase {
public:
    UniqueDialogBaseUITask(IIndexSelectable* target, std::int32_t index)
        : TaskBase(false), target(target), index(index) {}

    bool run() override {
        if (!target)
            return false;
        target->onIndexSelected(index);
        return true;
    }

    IIndexSelectable* target;
    std::int32_t index;
};
