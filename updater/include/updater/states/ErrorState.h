#pragma once
// The updater's error part: the text of the last error and the event that announces it.

#include <mutex>
#include <string>

#include "core/Listenable.h"

namespace updater {
namespace states {

enum ErrorStateEvents {
    ErrorTextSet = 0,
};

class ErrorState : public Listenable<ErrorStateEvents> {
public:
    // Stores the text and raises ErrorTextSet, both under the data lock.
    void setError(const std::string& text);
    std::string getErrorText();

    // Unlike Listenable's, waits for an event call that is running: events are raised under
    // the data lock, so once this returns the listener is never called again and may go.
    void removeListener(IListenerBase<ErrorStateEvents>* listener);

private:
    std::recursive_mutex dataLock;
    std::string errorText;
};

}  // namespace states
}  // namespace updater
