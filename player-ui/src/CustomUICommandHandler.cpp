#include "player-ui/CustomUICommandHandler.h"

#include "core/ThreadPool.h"

int CustomUICommandHandler::registerTask(TaskPtr task) {
    const int id = allocateCommandId();
    std::lock_guard<std::mutex> guard(tasksMutex_);
    tasks_[id] = std::move(task);
    return id;
}

bool CustomUICommandHandler::runRegisteredTask(int id) {
    const TaskPtr task = registeredTask(id);
    if (!task) return false;
    ThreadPool::execute(task.get());
    return true;
}

TaskPtr CustomUICommandHandler::registeredTask(int id) const {
    std::lock_guard<std::mutex> guard(tasksMutex_);
    const auto it = tasks_.find(id);
    return it == tasks_.end() ? nullptr : it->second;
}
