#pragma once
// Events without data: an event source keeps a set of listeners for one event enum E and
// calls each of them on the thread that raises the event.
//
// notify() copies the set under the lock and calls the listeners outside it, in ascending
// order of their addresses, so a listener may add or remove listeners (itself included)
// from onEvent; such changes take effect from the next notification. The notifications of
// one source are delivered one at a time.
//
// removeListener() does not wait for a notification running on another thread, which may
// still call the listener it has just removed. A listener that is about to be destroyed
// leaves with removeListenerAndWait(), which returns once such a call has returned.

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

    // Removes the listener, then waits out a notification of another thread that copied the
    // set before the removal: afterwards nothing calls the listener any more, and it may be
    // destroyed. From inside a notification of this source on the same thread it only
    // removes. The caller must hold no lock that a listener of this source takes in onEvent.
    void removeListenerAndWait(IListenerBase<E>* listener) {
        removeListener(listener);
        std::lock_guard<std::recursive_mutex> waited(delivering_);
    }

    void notify(E value) {
        std::lock_guard<std::recursive_mutex> delivering(delivering_);
        std::set<IListenerBase<E>*> copy;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (listeners_.empty()) return;
            copy = listeners_;
        }
        for (IListenerBase<E>* listener : copy) listener->onEvent(value);
    }

private:
    // Held while a notification calls the listeners; recursive, so that a listener may
    // raise a further event of the same source.
    std::recursive_mutex delivering_;
    std::mutex lock_;
    std::set<IListenerBase<E>*> listeners_;
};
