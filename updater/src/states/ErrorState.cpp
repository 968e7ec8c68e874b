#include "updater/states/ErrorState.h"

namespace updater {
namespace states {

void ErrorState::setError(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(dataLock);
    errorText = text;
    notify(ErrorTextSet);
}

std::string ErrorState::getErrorText() {
    std::lock_guard<std::recursive_mutex> lock(dataLock);
    return errorText;
}

void ErrorState::removeListener(IListenerBase<ErrorStateEvents>* listener) {
    std::lock_guard<std::recursive_mutex> lock(dataLock);
    Listenable<ErrorStateEvents>::removeListener(listener);
}

}  // namespace states
}  // namespace updater
