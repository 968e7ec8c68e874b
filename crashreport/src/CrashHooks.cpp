#include "CrashHooks.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <ctime>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "CrashHandler.h"
#include "LastError.h"
#include "RuntimeHooks.h"
#include "platform/ThreadName.h"

pid_t currentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

namespace {

constexpr std::uint32_t kProcessHookBits = CR_INST_SEH_FILTER | CR_INST_PURECALL_HOOK | CR_INST_NEW_FAILURE_HOOK |
                                           CR_INST_INVALID_PARAM_HOOK | CR_INST_SIGABRT_HOOK | CR_INST_SIGINT_HOOK |
                                           CR_INST_TERMINATE_HOOK;
constexpr std::uint32_t kThreadHookBits = CR_INST_TERMINATE_HOOK | CR_INST_UNEXPECTED_HOOK | CR_INST_SIGFPE_HOOK |
                                          CR_INST_SIGILL_HOOK | CR_INST_SIGSEGV_HOOK;
// Big enough for the report itself and for a crash callback run on it.
constexpr std::size_t kAltStackSize = 256 * 1024;
// A fault this close to the stack pointer is taken for a stack overflow.
constexpr std::uintptr_t kStackOverflowDistance = 64 * 1024;

std::atomic<CCrashHandler*> g_handler{nullptr};
std::atomic<std::uint32_t> g_processFlags{0};
std::atomic<bool> g_filterActive{false};
std::atomic<pid_t> g_reportOwner{0};

// Read by the signal handlers, so plain values without constructors.
thread_local std::uint32_t t_threadFlags = 0;
thread_local bool t_threadHooked = false;
// Set while this thread takes a backtrace: a fault of the unwinder jumps back here.
thread_local sigjmp_buf* t_backtraceJump = nullptr;

struct ThreadEntry {
    std::uint32_t flags = 0;
};
std::mutex g_hookMutex;  // installs and removals of every hook
std::map<pid_t, ThreadEntry> g_threads;

// The calling thread's alternate signal stack: its signal handlers run there, so a thread
// whose own stack has overflowed can still report.
struct AltStack {
    void* mapping = nullptr;
    std::size_t mappingSize = 0;
    stack_t previous{};
    bool keep = false;  // given at the thread's start: it stays until the thread ends
};
thread_local AltStack t_altStack;

void releaseAltStack() {
    AltStack& a = t_altStack;
    if (!a.mapping) return;
    stack_t previous = a.previous;
    previous.ss_flags &= ~SS_ONSTACK;
    if ((previous.ss_flags & SS_DISABLE) != 0 || !previous.ss_sp) {
        previous = stack_t{};
        previous.ss_flags = SS_DISABLE;
    }
    sigaltstack(&previous, nullptr);
    munmap(a.mapping, a.mappingSize);
    a = AltStack{};
}

// A thread that ends with its hooks or its alternate stack in place gives both back.
struct ThreadExitGuard {
    bool armed = false;
    ~ThreadExitGuard() {
        if (!armed) return;
        if (t_threadHooked) CrashHooks::removeThreadHooks();
        releaseAltStack();
    }
};
thread_local ThreadExitGuard t_exitGuard;

struct SignalSlot {
    int signal;
    bool installed;
    struct sigaction previous;
};
SignalSlot g_slots[] = {{SIGSEGV, false, {}}, {SIGILL, false, {}}, {SIGFPE, false, {}},
                        {SIGBUS, false, {}},  {SIGTRAP, false, {}}, {SIGSYS, false, {}},
                        {SIGABRT, false, {}}, {SIGINT, false, {}},  {SIGTERM, false, {}}};

std::terminate_handler g_previousTerminate = nullptr;
bool g_terminateInstalled = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
std::unexpected_handler g_previousUnexpected = nullptr;
#pragma GCC diagnostic pop
bool g_unexpectedInstalled = false;
std::new_handler g_previousNewHandler = nullptr;
bool g_newHandlerInstalled = false;

SignalSlot* slotOf(int signal) {
    for (SignalSlot& slot : g_slots)
        if (slot.signal == signal) return &slot;
    return nullptr;
}

bool isFaultSignal(int signal) { return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE; }

// Whether this process sent the signal itself (raise, kill or sigqueue to itself). A
// SIGTERM or SIGINT from anywhere else (another process, the terminal, the kernel) asks the
// program to end, as a logout or Ctrl+C do: that is no crash.
bool raisedByThisProcess(const siginfo_t* info) {
    if (!info) return false;
    if (info->si_code != SI_USER && info->si_code != SI_TKILL && info->si_code != SI_QUEUE) return false;
    return info->si_pid == getpid();
}

// Hands a signal that is not ours to report to what was installed before us, or to the
// default action. A fault of the running instruction is not swallowed: with the default
// action back in place, returning runs the instruction again and the system ends the
// process.
void chainSignal(int signal, siginfo_t* info, void* context, bool synchronousFault) {
    SignalSlot* slot = slotOf(signal);
    if (slot && slot->installed) {
        const struct sigaction& previous = slot->previous;
        if ((previous.sa_flags & SA_SIGINFO) != 0) {
            if (previous.sa_sigaction) {
                previous.sa_sigaction(signal, info, context);
                return;
            }
        } else if (previous.sa_handler == SIG_IGN) {
            if (!synchronousFault) return;
        } else if (previous.sa_handler != SIG_DFL) {
            previous.sa_handler(signal);
            return;
        }
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    if (slot) slot->installed = false;
    if (!synchronousFault) raise(signal);
}

void onSignal(int signal, siginfo_t* info, void* rawContext) {
    // The unwinder read a stack the crash had overwritten: give up the backtrace, keep the rest.
    if (t_backtraceJump && isFaultSignal(signal)) siglongjmp(*t_backtraceJump, 1);
    const int savedErrno = errno;
    CCrashHandler* handler = g_handler.load();
    const bool kernelSent = info && info->si_code > 0;
    const bool synchronousFault = kernelSent && isFaultSignal(signal);
    const std::uint32_t processFlags = g_processFlags.load();
    const bool filter = g_filterActive.load();
    int type = -1;
    switch (signal) {
        case SIGSEGV: type = (t_threadFlags & CR_INST_SIGSEGV_HOOK) ? kReportSigsegv : filter ? kReportFilter : -1; break;
        case SIGILL: type = (t_threadFlags & CR_INST_SIGILL_HOOK) ? kReportSigill : filter ? kReportFilter : -1; break;
        case SIGFPE: type = (t_threadFlags & CR_INST_SIGFPE_HOOK) ? kReportSigfpe : filter ? kReportFilter : -1; break;
        case SIGBUS:
        case SIGTRAP:
        case SIGSYS: type = filter ? kReportFilter : -1; break;
        case SIGABRT: type = (processFlags & CR_INST_SIGABRT_HOOK) ? kReportSigabrt : -1; break;
        case SIGINT: type = (processFlags & CR_INST_SIGINT_HOOK) && raisedByThisProcess(info) ? kReportSigint : -1; break;
        case SIGTERM:
            type = (processFlags & CR_INST_TERMINATE_HOOK) && raisedByThisProcess(info) ? kReportSigterm : -1;
            break;
        default: break;
    }
    if (!handler || type < 0) {
        chainSignal(signal, info, rawContext, synchronousFault);
        errno = savedErrno;
        return;
    }

    auto* context = static_cast<ucontext_t*>(rawContext);
    CrashSite site;
    site.threadId = currentThreadId();
    site.inSignalHandler = true;
    site.synchronousFault = synchronousFault;
#if defined(__x86_64__)
    if (signal == SIGSEGV && kernelSent && context) {
        const auto sp = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
        const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
        site.stackOverflow = (address > sp ? address - sp : sp - address) <= kStackOverflowDistance;
    }
#endif
    ReportExceptionInfo report;
    report.size = kExceptionInfoSize;
    report.reportType = type;
    CrashExceptionPointers pointers{info, context};
    report.exceptionPointers = &pointers;
    if (site.stackOverflow && filter) {
        report.reportType = kReportFilter;
        report.exceptionCode = kCodeStackOverflow;
    } else if (type == kReportFilter) {
        const bool raised = signal == SIGTRAP && info && info->si_code == SI_QUEUE;
        report.exceptionCode = raised ? static_cast<std::uint32_t>(info->si_value.sival_int)
                                      : static_cast<std::uint32_t>(signal);
    }
    if (signal == SIGFPE && info) report.fpeSubcode = info->si_code;
    // The return addresses are taken here, on the crashed thread, even when the spare
    // thread runs the report.
    site.frameCount = takeBacktrace(site.frames, static_cast<int>(crashreport::ctx::kMaxFrames));
    handler->runHook(report, site);
    errno = savedErrno;
}

void setSignal(int signal, bool on) {
    SignalSlot* slot = slotOf(signal);
    if (!slot) return;
    if (on && !slot->installed) {
        struct sigaction ours {};
        ours.sa_sigaction = &onSignal;
        // SA_NODEFER: a fault inside the report reaches the report lock, which ends the
        // process, instead of being blocked into a silent kill.
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER | SA_RESTART;
        sigemptyset(&ours.sa_mask);
        if (sigaction(signal, &ours, &slot->previous) == 0) slot->installed = true;
    } else if (!on && slot->installed) {
        sigaction(signal, &slot->previous, nullptr);
        slot->installed = false;
    }
}

// A hook outside a signal handler: the report may allocate.
void reportFromHook(int type, const wchar_t* expression = nullptr, const wchar_t* function = nullptr,
                    const wchar_t* file = nullptr, unsigned line = 0) {
    CCrashHandler* handler = g_handler.load();
    if (!handler) return;
    ReportExceptionInfo report;
    report.size = kExceptionInfoSize;
    report.reportType = type;
    report.expression = expression;
    report.function = function;
    report.file = file;
    report.line = line;
    CrashSite site;
    site.threadId = currentThreadId();
    handler->runHook(report, site);
}

void onTerminate() {
    if (g_handler.load() && (t_threadFlags & CR_INST_TERMINATE_HOOK)) reportFromHook(kReportTerminate);
    // A terminate handler must not return.
    if (g_previousTerminate) g_previousTerminate();
    std::abort();
}

void onUnexpected() {
    if (g_handler.load() && (t_threadFlags & CR_INST_UNEXPECTED_HOOK)) reportFromHook(kReportUnexpected);
    if (g_previousUnexpected) g_previousUnexpected();
    std::terminate();
}

void onNewFailure() {
    if (g_handler.load() && (g_processFlags.load() & CR_INST_NEW_FAILURE_HOOK)) {
        reportFromHook(kReportNewFailure);
        // The report let the process go on: the allocation fails as it would without us.
        throw std::bad_alloc();
    }
    if (g_previousNewHandler) {
        g_previousNewHandler();
        return;
    }
    throw std::bad_alloc();
}

void onPurecall() {
    if (g_handler.load() && (g_processFlags.load() & CR_INST_PURECALL_HOOK)) reportFromHook(kReportPureCall);
}

void onInvalidParameter(const wchar_t* expression, const wchar_t* function, const wchar_t* file, unsigned line) {
    if (g_handler.load() && (g_processFlags.load() & CR_INST_INVALID_PARAM_HOOK))
        reportFromHook(kReportInvalidParameter, expression, function, file, line);
}

// Installs ours while it is wanted and puts the previous handler back once it is not.
template <typename Handler, typename Set>
void keepInstalled(bool wanted, bool& installed, Handler& previous, Handler ours, Set set) {
    if (wanted && !installed) {
        previous = set(ours);
        installed = true;
    } else if (!wanted && installed) {
        set(previous);
        installed = false;
    }
}

// Puts the fault signals and the terminate and unexpected handlers in place while the
// filter or some thread needs them, and the previous ones back otherwise.
void updateSharedHooks() {
    std::uint32_t any = 0;
    for (const auto& entry : g_threads) any |= entry.second.flags;
    const bool filter = g_filterActive.load();
    setSignal(SIGSEGV, filter || (any & CR_INST_SIGSEGV_HOOK));
    setSignal(SIGILL, filter || (any & CR_INST_SIGILL_HOOK));
    setSignal(SIGFPE, filter || (any & CR_INST_SIGFPE_HOOK));
    setSignal(SIGBUS, filter);
    setSignal(SIGTRAP, filter);
    setSignal(SIGSYS, filter);
    keepInstalled((any & CR_INST_TERMINATE_HOOK) != 0, g_terminateInstalled, g_previousTerminate, &onTerminate,
                  [](std::terminate_handler h) { return std::set_terminate(h); });
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    keepInstalled((any & CR_INST_UNEXPECTED_HOOK) != 0, g_unexpectedInstalled, g_previousUnexpected, &onUnexpected,
                  [](std::unexpected_handler h) { return std::set_unexpected(h); });
#pragma GCC diagnostic pop
}

// ---- The spare thread ----

enum class SpareRequestKind { Report, Prepare, Quit };
struct SpareRequest {
    SpareRequestKind kind;
    CCrashHandler* handler;
    ReportExceptionInfo* info;
    CrashSite* site;
};

int g_requestPipe[2] = {-1, -1};
int g_replyPipe[2] = {-1, -1};
pthread_t g_spareThread{};
bool g_spareRunning = false;
pid_t g_spareProcess = 0;
std::atomic<pid_t> g_spareThreadId{0};

bool readFull(int fd, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFull(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool spareAvailable() { return g_spareRunning && g_spareProcess == getpid(); }

void* spareMain(void*) {
    // Signals meant for the program go to its own threads; faults of this one still come.
    sigset_t mask;
    sigfillset(&mask);
    for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&mask, fault);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    platform::setCurrentThreadName("CrashReporter");
    CrashHooks::threadStarted();
    g_spareThreadId.store(currentThreadId());
    SpareRequest request{};
    while (readFull(g_requestPipe[0], &request, sizeof(request))) {
        if (request.kind == SpareRequestKind::Quit) break;
        if (request.kind == SpareRequestKind::Report) {
            request.handler->produceReport(request.info, *request.site);
            const char done = 1;
            writeFull(g_replyPipe[1], &done, 1);
        } else if (request.kind == SpareRequestKind::Prepare) {
            if (CCrashHandler* handler = g_handler.load()) handler->prepareAfterSignal();
            CrashHooks::leaveReportLock();
        }
    }
    return nullptr;
}

void closePipes() {
    for (int* pipe : {g_requestPipe, g_replyPipe}) {
        for (int i = 0; i < 2; ++i) {
            if (pipe[i] >= 0) close(pipe[i]);
            pipe[i] = -1;
        }
    }
}

}  // namespace

int takeBacktrace(void** frames, int capacity) {
    for (int i = 0; i < capacity; ++i) frames[i] = nullptr;
    sigjmp_buf jump;
    int count = 0;
    if (sigsetjmp(jump, 1) == 0) {
        t_backtraceJump = &jump;
        count = backtrace(frames, capacity);
    } else {
        // The frames found before the fault are kept.
        int found = 0;
        while (found < capacity && frames[found]) ++found;
        count = found;
    }
    t_backtraceJump = nullptr;
    return count;
}

CCrashHandler* CrashHooks::handler() { return g_handler.load(); }

void CrashHooks::setHandler(CCrashHandler* handler) { g_handler.store(handler); }

void CrashHooks::installProcessHooks(std::uint32_t flags) {
    const std::uint32_t chosen = selection(flags);
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_processFlags.store(chosen & kProcessHookBits);
    g_filterActive.store((chosen & CR_INST_SEH_FILTER) != 0);
    if (chosen & CR_INST_PURECALL_HOOK) crashreport::setPurecallHandler(&onPurecall);
    if ((chosen & CR_INST_NEW_FAILURE_HOOK) && !g_newHandlerInstalled) {
        g_previousNewHandler = std::set_new_handler(&onNewFailure);
        g_newHandlerInstalled = true;
    }
    if (chosen & CR_INST_INVALID_PARAM_HOOK) crashreport::setInvalidParameterHandler(&onInvalidParameter);
    if (chosen & CR_INST_SIGABRT_HOOK) setSignal(SIGABRT, true);
    if (chosen & CR_INST_SIGINT_HOOK) setSignal(SIGINT, true);
    if (chosen & CR_INST_TERMINATE_HOOK) setSignal(SIGTERM, true);
    updateSharedHooks();
    // The first backtrace loads the unwinder; after this a signal handler may take one.
    void* frame[1];
    backtrace(frame, 1);
}

void CrashHooks::removeProcessFilter() {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_filterActive.store(false);
    updateSharedHooks();
}

bool CrashHooks::threadHasHooks() { return t_threadHooked; }

bool CrashHooks::ensureAltStack() {
    AltStack& a = t_altStack;
    if (a.mapping) return true;
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t page = pageSize > 0 ? static_cast<std::size_t>(pageSize) : 4096;
    const long systemMinimum = sysconf(_SC_SIGSTKSZ);
    std::size_t size = kAltStackSize;
    if (systemMinimum > 0 && static_cast<std::size_t>(systemMinimum) * 4 > size) size = static_cast<std::size_t>(systemMinimum) * 4;
    size = (size + page - 1) / page * page;
    // One guard page below the stack: a handler that overruns it faults instead of
    // writing over whatever lies below.
    void* mapping = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return false;
    mprotect(mapping, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + page;
    stack.ss_size = size;
    if (sigaltstack(&stack, &a.previous) != 0) {
        munmap(mapping, size + page);
        return false;
    }
    a.mapping = mapping;
    a.mappingSize = size + page;
    t_exitGuard.armed = true;
    return true;
}

void CrashHooks::threadStarted() {
    if (ensureAltStack()) t_altStack.keep = true;
}

void CrashHooks::threadEnding() {
    if (t_threadHooked) removeThreadHooks();
    releaseAltStack();
    crashreport::eraseLastError();
}

bool CrashHooks::installThreadHooks(std::uint32_t flags) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    if (t_threadHooked) return false;
    ThreadEntry entry;
    entry.flags = selection(flags) & kThreadHookBits;
    ensureAltStack();
    t_threadFlags = entry.flags;
    t_threadHooked = true;
    t_exitGuard.armed = true;
    g_threads[currentThreadId()] = entry;
    updateSharedHooks();
    return true;
}

bool CrashHooks::removeThreadHooks() {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    if (!t_threadHooked) return false;
    g_threads.erase(currentThreadId());
    // A stack the thread got at its start stays until the thread ends.
    if (!t_altStack.keep) releaseAltStack();
    t_threadFlags = 0;
    t_threadHooked = false;
    updateSharedHooks();
    return true;
}

void CrashHooks::enterReportLock() {
    const pid_t self = currentThreadId();
    for (;;) {
        pid_t expected = 0;
        if (g_reportOwner.compare_exchange_strong(expected, self)) return;
        // A crash inside the report (also on the spare thread working for it) cannot be
        // reported: end now rather than wait for ourselves.
        if (expected == self || self == g_spareThreadId.load()) _exit(1);
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

void CrashHooks::leaveReportLock() { g_reportOwner.store(0); }

bool CrashHooks::holdsReportLock() {
    const pid_t owner = g_reportOwner.load();
    if (owner == 0) return false;
    const pid_t self = currentThreadId();
    return owner == self || self == g_spareThreadId.load();
}

bool CrashHooks::startSpareThread() {
    if (g_spareRunning) return true;
    if (pipe2(g_requestPipe, O_CLOEXEC) != 0) return false;
    if (pipe2(g_replyPipe, O_CLOEXEC) != 0) {
        closePipes();
        return false;
    }
    if (pthread_create(&g_spareThread, nullptr, &spareMain, nullptr) != 0) {
        closePipes();
        return false;
    }
    g_spareRunning = true;
    g_spareProcess = getpid();
    // The report lock is handed over by thread id, so wait until the thread knows its own.
    for (int i = 0; i < 1000 && g_spareThreadId.load() == 0; ++i) {
        const timespec pause{0, 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

void CrashHooks::stopSpareThread() {
    if (!g_spareRunning) return;
    if (spareAvailable()) {
        const SpareRequest quit{SpareRequestKind::Quit, nullptr, nullptr, nullptr};
        writeFull(g_requestPipe[1], &quit, sizeof(quit));
        pthread_join(g_spareThread, nullptr);
    }
    closePipes();
    g_spareRunning = false;
    g_spareThreadId.store(0);
}

void CrashHooks::reportOnSpareThread(CCrashHandler& handler, ReportExceptionInfo& info, CrashSite& site) {
    if (!spareAvailable()) {
        handler.produceReport(&info, site);
        return;
    }
    const SpareRequest request{SpareRequestKind::Report, &handler, &info, &site};
    char done = 0;
    if (!writeFull(g_requestPipe[1], &request, sizeof(request)) || !readFull(g_replyPipe[0], &done, 1))
        handler.produceReport(&info, site);
}

bool CrashHooks::prepareOnSpareThread() {
    if (!spareAvailable() || g_spareThreadId.load() == 0) return false;
    g_reportOwner.store(g_spareThreadId.load());
    const SpareRequest request{SpareRequestKind::Prepare, nullptr, nullptr, nullptr};
    if (writeFull(g_requestPipe[1], &request, sizeof(request))) return true;
    g_reportOwner.store(currentThreadId());
    return false;
}
