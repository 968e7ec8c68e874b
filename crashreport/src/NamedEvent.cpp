#include "NamedEvent.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>

bool NamedEvent::create(const std::string& name) {
    close();
    sem_ = sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
    return isOpen();
}

bool NamedEvent::open(const std::string& name) {
    close();
    sem_ = sem_open(name.c_str(), 0);
    return isOpen();
}

void NamedEvent::close() {
    if (isOpen()) sem_close(sem_);
    sem_ = SEM_FAILED;
}

void NamedEvent::set() {
    if (!isOpen()) return;
    int value = 0;
    if (sem_getvalue(sem_, &value) == 0 && value > 0) return;
    sem_post(sem_);
}

bool NamedEvent::wait(int timeoutMs) {
    if (!isOpen()) {
        // Nothing can set a missing event; a caller that waits in slices still gets its pause.
        const timespec pause{timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000L};
        nanosleep(&pause, nullptr);
        return false;
    }
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += timeoutMs / 1000;
    until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (sem_clockwait(sem_, CLOCK_MONOTONIC, &until) == 0) return true;
        if (errno != EINTR) return false;
    }
}
