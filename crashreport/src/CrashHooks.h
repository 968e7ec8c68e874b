#pragma once
// The hooks through which fatal errors reach the crash handler, and the process-wide state
// behind them.
//
// Signal dispositions and the terminate, unexpected and new handlers are process-wide on
// this system, so each is installed once and decides when it fires: the thread hooks
// (SIGSEGV, SIGILL, SIGFPE, terminate, unexpected) report with their own type on threads
// that installed them; on any other thread a fault signal goes to the process filter
// (report type 0, code = the signal number) when it is installed, else to whatever was
// installed before. A hook that finds no handler in force hands the signal on to the
// previous disposition, so a fault is never swallowed. SIGTERM and SIGINT are crashes only
// when the process raised them itself; from outside they are requests to end the program
// and go on to what was installed before.
//
// A thread with hooks, and every thread the program starts (platform::startThread), runs
// its signal handlers on an alternate stack of its own, so a stack overflow can still be
// reported; the report itself then runs on the crash reporter's spare thread, which has a
// whole stack. The spare thread also prepares the
// next report after a signal handler let the process go on, since that allocates.

#include <cstdint>
#include <sys/types.h>

#include "crashreport/CrashHandlerApi.h"

class CCrashHandler;
struct CrashSite;

class CrashHooks {
public:
    static CCrashHandler* handler();
    static void setHandler(CCrashHandler* handler);

    // Installs the process hooks of the selection (0 means every hook).
    static void installProcessHooks(std::uint32_t flags);
    // The process filter stops catching fault signals (at destroy).
    static void removeProcessFilter();

    // The calling thread's hooks: false when it has them already (install) or has none
    // (remove).
    static bool installThreadHooks(std::uint32_t flags);
    static bool removeThreadHooks();
    static bool threadHasHooks();

    // Gives the calling thread its alternate signal stack unless it has one; false when
    // the system gave none. Thread hooks come with one.
    static bool ensureAltStack();
    // The thread hooks of every thread the program starts: an alternate stack from the
    // start (the thread's faults still go to the process filter, as they would without
    // it), and at the end everything the thread holds of the crash reporter goes.
    static void threadStarted();
    static void threadEnding();

    // The report lock: one report at a time. A second crash on the thread that holds it
    // (a crash inside the report) ends the process with exit code 1.
    static void enterReportLock();
    static void leaveReportLock();
    // Whether the calling thread holds the report lock, or is the spare thread working for
    // the thread that holds it.
    static bool holdsReportLock();

    // The spare thread of the crash reporter.
    static bool startSpareThread();
    static void stopSpareThread();
    // Runs the report on the spare thread and waits for it; runs it here when this process
    // has no spare thread (a forked child).
    static void reportOnSpareThread(CCrashHandler& handler, ReportExceptionInfo& info, CrashSite& site);
    // Hands the report lock to the spare thread, which prepares the next report and then
    // leaves the lock. False (the lock is left) when there is no spare thread.
    static bool prepareOnSpareThread();

    // Normalises a hook selection: low 13 bits all 0 means CR_INST_ALL_HOOKS.
    static std::uint32_t selection(std::uint32_t flags) {
        return (flags & CR_INST_ALL_HOOKS) == 0 ? (flags | CR_INST_ALL_HOOKS) : flags;
    }
};

// Holds the report lock for a scope, unless the calling thread holds it already.
class ReportLockGuard {
public:
    ReportLockGuard() : taken_(!CrashHooks::holdsReportLock()) {
        if (taken_) CrashHooks::enterReportLock();
    }
    ~ReportLockGuard() {
        if (taken_) CrashHooks::leaveReportLock();
    }
    ReportLockGuard(const ReportLockGuard&) = delete;
    ReportLockGuard& operator=(const ReportLockGuard&) = delete;

private:
    bool taken_;
};

// The calling thread's id as the system knows it.
pid_t currentThreadId();

// The return addresses of the calling thread, innermost first. A stack too damaged to
// unwind gives the frames found before the damage. Safe in a signal handler.
int takeBacktrace(void** frames, int capacity);
