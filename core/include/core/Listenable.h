#pragma once
// Events without data: an event source keeps a set of listeners for one event enum E and
// calls each of them on the thread that raises the event.
//
// notify() copies the set under the lock and calls the listeners outside it, in ascending
// order of their addresses, so a listener may add or remove listeners (itself included)
// from onEvent; such changes take effect from the next notification. Removal does not wait
// for a notification running on another thread: an owner must not destroy a listener
// while such a notification may still call it.

#include <mutex>
#include <set>

template <typename E>
class IListenerBase {
public:
    virtual ~IListenerBase() = default;
    virtual void onEvent(E value) = 0;
};

template <typename E>
class Listenable {
public:
    // Adding a listener that is already there changes nothing; null is ignored.
    void addListener(IListenerBase<E>* listener) {
        if (!listener) return;
        std::lock_guard<std::mutex> guard(lock_);
        listeners_.insert(listener);
    }

    // Removing a listener that is not there changes nothing.
    void removeListener(IListenerBase<E>* listener) {
        std::lock_guard<std::mutex> guard(lock_);
        listeners_.erase(listener);
    }

    void notify(E value) {
        std::set<IListenerBase<E>*> copy;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (listeners_.empty()) return;
            copy = listeners_;
        }
        for (IListenerBase<E>* listener : copy) listener->onEvent(value);
    }

private:
    std::mutex lock_;
    std::set<IListenerBase<E>*> listeners_;
};
