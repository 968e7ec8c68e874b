// Test crashes: each raises one kind of fatal error on the calling thread, so that every
// hook can be seen to produce its report. This file is built with the stack protector on
// every function, so the buffer overrun below is caught when its function returns.

#include <cfenv>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "LastError.h"
#include "crashreport/CrashHandlerApi.h"

using crashreport::setLastError;

// The pure-virtual-call path: ~CBase runs with CBase's function table in force and calls
// the pure function through the pointer it was given. The classes have external linkage
// and the pointer passes an optimisation barrier, so the compiler cannot resolve the call
// to CDerived's function from its knowledge of the whole class tree.
namespace crashtypes {

class CBase {
public:
    explicit CBase(CBase* derived) : derived_(derived) {}
    virtual ~CBase();
    virtual void function() = 0;

private:
    CBase* derived_;
};

__attribute__((noinline)) CBase::~CBase() {
    CBase* target = derived_;
    asm volatile("" : "+r"(target));
    target->function();
}

class CDerived : public CBase {
public:
    CDerived() : CBase(this) {}
    void function() override;
};

__attribute__((noinline)) void CDerived::function() {}

}  // namespace crashtypes

namespace {

__attribute__((noinline)) void overrunStackBuffer(const char* text) {
    char buffer[12];
    std::strcpy(buffer, text);
    asm volatile("" : : "r"(buffer) : "memory");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int recurseForever(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    return recurseForever(depth + 1) + frame[0];
}
#pragma GCC diagnostic pop

int raiseSignal(int signal, const wchar_t* failure) {
    const int result = std::raise(signal);
    setLastError(failure);
    return result;
}

}  // namespace

int TriggerTestCrash(int type) {
    setLastError(L"Unspecified error.");
    switch (type) {
        case 0: {
            volatile int* volatile address = nullptr;
            *address = 0;
            break;
        }
        case 1:
            std::terminate();
        case 2:
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            std::unexpected();
#pragma GCC diagnostic pop
        case 3: {
            crashtypes::CDerived derived;
            break;
        }
        case 4:
            for (;;) {
                void* volatile block = ::operator new(0x7FFFFFFC);
                (void)block;
            }
        case 5: {
            const char* volatile text = "This string is longer than 10 characters!!";
            overrunStackBuffer(text);
            break;
        }
        case 6:
            crashreport::invalidParameter(L"format != nullptr", L"printf", L"" __FILE__, __LINE__);
            break;
        case 7:
            std::abort();
        case 8:
            std::feclearexcept(FE_ALL_EXCEPT);
            feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW);
            return 1;
        case 9:
            return raiseSignal(SIGILL, L"Error raising SIGILL.");
        case 10:
            return raiseSignal(SIGINT, L"Error raising SIGINT.");
        case 11:
            return raiseSignal(SIGSEGV, L"Error raising SIGSEGV.");
        case 12:
            return raiseSignal(SIGTERM, L"Error raising SIGTERM.");
        case 32:
            crashreport::raiseException(123);
            break;
        case 33:
            throw 13;
        case 34:
            recurseForever(0);
            break;
        default:
            setLastError(L"Unknown exception type specified.");
            return 1;
    }
    return 0;
}
