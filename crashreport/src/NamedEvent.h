#pragma once
// A named event between the crashed process and the sender: a POSIX named semaphore that
// one side sets and the other waits for. Setting an event that is already set keeps it set
// once (it does not count). set, wait and unlink are safe inside a signal handler.

#include <semaphore.h>
#include <string>

class NamedEvent {
public:
    NamedEvent() = default;
    ~NamedEvent() { close(); }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Creates the event, not set, with mode 0600; false when the name exists already or the
    // system refused.
    bool create(const std::string& name);
    // Opens an existing event.
    bool open(const std::string& name);
    bool isOpen() const { return sem_ != SEM_FAILED; }
    void close();

    void set();
    // Waits at most timeoutMs for the event; true when it was set (and is reset now).
    bool wait(int timeoutMs);

    static void unlink(const char* name) { sem_unlink(name); }

    // "/CrashReportEvent_<crash id>" and, for video capture, the same with "_2".
    static std::string crashEventName(const std::string& crashId) { return "/CrashReportEvent_" + crashId; }
    static std::string videoEventName(const std::string& crashId) { return crashEventName(crashId) + "_2"; }

private:
    sem_t* sem_ = SEM_FAILED;
};
