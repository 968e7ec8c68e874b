#include "RuntimeHooks.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <pthread.h>
#include <unistd.h>

#include "core/SystemHelpers.h"
#include "crashreport/CrashHandlerApi.h"

namespace {
std::atomic<crashreport::PurecallHandler> g_purecall{nullptr};
std::atomic<crashreport::InvalidParameterHandler> g_invalidParameter{nullptr};

std::string text(const wchar_t* wide) { return wide ? wideToUtf8(wide) : std::string(); }
}  // namespace

namespace crashreport {

PurecallHandler setPurecallHandler(PurecallHandler handler) { return g_purecall.exchange(handler); }

InvalidParameterHandler setInvalidParameterHandler(InvalidParameterHandler handler) {
    return g_invalidParameter.exchange(handler);
}

void invalidParameter(const wchar_t* expression, const wchar_t* function, const wchar_t* file, unsigned line) {
    if (const InvalidParameterHandler handler = g_invalidParameter.load()) {
        handler(expression, function, file, line);
        return;
    }
    std::fprintf(stderr, "Invalid parameter in %s: %s (%s:%u)\n", text(function).c_str(), text(expression).c_str(),
                 text(file).c_str(), line);
    std::fflush(stderr);
    std::abort();
}

void raiseException(std::uint32_t code) {
    sigval value{};
    value.sival_int = static_cast<int>(code);
    pthread_sigqueue(pthread_self(), SIGTRAP, value);
}

}  // namespace crashreport

// Every pure virtual call of the program lands here.
extern "C" void __cxa_pure_virtual() {
    if (const crashreport::PurecallHandler handler = g_purecall.load()) handler();
    static const char message[] = "pure virtual method called\n";
    const ssize_t ignored = write(STDERR_FILENO, message, sizeof(message) - 1);
    (void)ignored;
    std::terminate();
}
