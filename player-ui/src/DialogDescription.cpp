#include "player-ui/DialogDescription.h"

#include "gui/GUITasks.h"

DialogButtonDescription& DialogDescription::addButton(const std::string& text, int commandId) {
    std::shared_ptr<TaskBase> task;
    if (commandId != 0)
        task = std::make_shared<GUICommandTask>(commandId);
    return addButton(text, std::move(task));
}

DialogButtonDescription& DialogDescription::addButton(const std::string& text, std::shared_ptr<TaskBase> task) {
    DialogButtonDescription button;
    button.text = text;
    button.task = std::move(task);
    buttons.push_back(std::move(button));
    return buttons.back();
}
