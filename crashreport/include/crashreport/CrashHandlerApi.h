#pragma once
// The crash reporter's flat interface.
//
// The program installs the crash handler once at start-up (InstallCrashHandlerW) and
// removes it at the end (UninstallCrashHandler). While it is installed, fatal errors of the
// process (fault signals, abort, SIGINT and SIGTERM, an uncaught C++ exception, a failed
// operator new, a pure virtual call, an invalid parameter) are described in shared memory
// and handed to the "CrashReportSender" program, which reads what it needs from the
// crashed process and writes the report; the process then ends with exit code 1.
//
// Every function returns an int result and leaves a text for the calling thread, which
// GetCrashHandlerLastErrorW reads. Wide strings are wchar_t (UTF-32); narrow strings are
// UTF-8. The record sizes 104 and 44 are format tags that callers set; they are not the
// sizes of the structures on this platform.

#include <csignal>
#include <cstdint>
#include <sys/types.h>
#include <ucontext.h>

// ---- Install flags ----
constexpr std::uint32_t CR_INST_SEH_FILTER = 0x1;           // fault signals of threads without thread hooks
constexpr std::uint32_t CR_INST_TERMINATE_HOOK = 0x2;       // thread: terminate; process: SIGTERM
constexpr std::uint32_t CR_INST_UNEXPECTED_HOOK = 0x4;      // thread: unexpected
constexpr std::uint32_t CR_INST_PURECALL_HOOK = 0x8;        // process: pure virtual call
constexpr std::uint32_t CR_INST_NEW_FAILURE_HOOK = 0x10;    // process: operator new failure
constexpr std::uint32_t CR_INST_INVALID_PARAM_HOOK = 0x40;  // process: invalidParameter
constexpr std::uint32_t CR_INST_SIGABRT_HOOK = 0x80;        // process: SIGABRT
constexpr std::uint32_t CR_INST_SIGFPE_HOOK = 0x100;        // thread: SIGFPE
constexpr std::uint32_t CR_INST_SIGILL_HOOK = 0x200;        // thread: SIGILL
constexpr std::uint32_t CR_INST_SIGINT_HOOK = 0x400;        // process: SIGINT
constexpr std::uint32_t CR_INST_SIGSEGV_HOOK = 0x800;       // thread: SIGSEGV
constexpr std::uint32_t CR_INST_ALL_HOOKS = 0x1FFF;         // also what a selection of 0 means
constexpr std::uint32_t CR_INST_DONT_SEND_REPORT = 0x8000;
constexpr std::uint32_t CR_INST_START_SENDER_AT_INSTALL = 0x40000;
constexpr std::uint32_t CR_INST_STORE_ZIP_ARCHIVES = 0x80000;
// Passed to the sender; cleared in the description of a report made on request.
constexpr std::uint32_t kFlagAutomaticReportsOnly = 0x10000;

// ---- Report types ----
enum CrashReportType : std::int32_t {
    kReportFilter = 0,  // fault caught by the process filter; code = signal number,
                        // raiseException's code, or kCodeStackOverflow
    kReportTerminate = 1,
    kReportUnexpected = 2,
    kReportPureCall = 3,
    kReportNewFailure = 4,
    kReportBufferOverrun = 5,  // produced by no hook
    kReportInvalidParameter = 6,
    kReportSigabrt = 7,
    kReportSigfpe = 8,
    kReportSigill = 9,
    kReportSigint = 10,
    kReportSigsegv = 11,
    kReportSigterm = 12,
};

// The exception code of a stack overflow.
constexpr std::uint32_t kCodeStackOverflow = 0xC00000FD;

// Format tags of the records.
constexpr std::uint16_t kInstallInfoCb = 104;
constexpr std::uint16_t kExceptionInfoSize = 44;
constexpr std::uint16_t kCallbackInfoSize = 24;

// What a fault left: the signal's information and the interrupted context. Either may be
// null; a report without a context captures the registers of the reporting thread.
struct CrashExceptionPointers {
    siginfo_t* signalInfo = nullptr;
    ucontext_t* context = nullptr;
};

// Called with a null argument before each report; 0 cancels the report.
using LegacyCrashCallback = int (*)(void*);

template <typename Char>
struct BasicCrashHandlerInstallInfo {
    std::uint16_t cb = 0;                         // must be kInstallInfoCb
    const Char* applicationName = nullptr;        // default: the executable's name up to its first "."
    const Char* applicationVersion = nullptr;     // required
    const Char* emailRecipient = nullptr;         // "address[:port]", port 25 by default
    const Char* emailSubject = nullptr;           // default "<name> <version> Error Report"
    const Char* uploadUrl = nullptr;              // where the sender uploads the report
    const Char* senderFolder = nullptr;           // default: the executable's folder
    LegacyCrashCallback legacyCallback = nullptr;
    std::int32_t transportPriorities[5] = {0, 0, 0, 0, 0};  // the first three reach the sender
    std::uint32_t flags = 0;                      // CR_INST_ bits
    const Char* privacyPolicyUrl = nullptr;
    const Char* debugHelpFolder = nullptr;
    std::uint32_t minidumpType = 0;               // passed to the sender
    const Char* reportFolder = nullptr;           // default: <local data>/CrashReport/UnsentCrashReports/<name>_<version>
    const Char* restartCommandLine = nullptr;
    const Char* languageFilePath = nullptr;       // default: "crashreport_lang.ini" in the sender folder
    const Char* emailText = nullptr;
    const Char* smtpProxy = nullptr;              // "host[:port]", port 25 by default
    const Char* customIcon = nullptr;             // "path[,index]"; index -1 is refused
    const Char* smtpLogin = nullptr;
    const Char* smtpPassword = nullptr;           // read only with a login
    std::int32_t restartTimeout = 0;              // below 1 means 60
};
using CrashHandlerInstallInfo = BasicCrashHandlerInstallInfo<wchar_t>;
using CrashHandlerInstallInfoA = BasicCrashHandlerInstallInfo<char>;

// What a report is about; built by the hooks and by callers of GenerateCrashReport.
struct ReportExceptionInfo {
    std::uint16_t size = 0;                            // must be kExceptionInfoSize
    CrashExceptionPointers* exceptionPointers = nullptr;  // null: the current registers
    std::int32_t reportType = 0;                       // CrashReportType
    std::uint32_t exceptionCode = 0;                   // type 0
    std::int32_t fpeSubcode = 0;                       // type 8: the signal's si_code
    const wchar_t* expression = nullptr;               // type 6
    const wchar_t* function = nullptr;                 // type 6
    const wchar_t* file = nullptr;                     // type 6
    std::uint32_t line = 0;                            // type 6
    std::int32_t manual = 0;                           // non-zero: a report made on request
    pid_t senderProcess = 0;                           // out: the sender; the caller of
                                                       // GenerateCrashReport reaps it
};

// Handed to the crash callback before the sender starts (stage 10) and after it has taken
// what it needs (stage 20). Return 0 at stage 10 to cancel the report, 2 to be called again
// at the next stage, anything else to let the report go on without further calls. Set
// continueFlag to keep the process alive after the report.
template <typename Char>
struct BasicReportCallbackInfo {
    std::uint16_t size = kCallbackInfoSize;
    std::int32_t stage = 0;
    const Char* reportFolder = nullptr;
    ReportExceptionInfo* exceptionInfo = nullptr;
    void* userParam = nullptr;
    std::int32_t continueFlag = 0;
};
using ReportCallbackInfoW = BasicReportCallbackInfo<wchar_t>;
using ReportCallbackInfoA = BasicReportCallbackInfo<char>;
using CrashCallbackW = int (*)(ReportCallbackInfoW*);
using CrashCallbackA = int (*)(ReportCallbackInfoA*);

constexpr int kCallbackStageBeforeSender = 10;
constexpr int kCallbackStageAfterSender = 20;
constexpr int kCallbackCallAgain = 2;

// 0 installed; 1 null record or cb not 104; 2 already installed; 3 out of memory; 4 the
// initialisation failed (its text stays).
int InstallCrashHandlerW(const CrashHandlerInstallInfo* pInfo);
int InstallCrashHandlerA(const CrashHandlerInstallInfoA* pInfo);
// 0 removed; 1 not installed; 2 the calling thread has no thread hooks; 3 destroy failed.
int UninstallCrashHandler();

// Copies the calling thread's text ("No error." when it has none) cut to size - 1
// characters and terminated; returns the characters copied, -1 for a null buffer or size 0.
int GetCrashHandlerLastErrorW(wchar_t* buffer, int size);
// The same as UTF-8 into size bytes (never cutting a character); returns the wide result.
int GetCrashHandlerLastErrorA(char* buffer, int size);

// Hooks of the calling thread (an alternate signal stack, and the thread-type hooks of
// flags, 0 meaning all): 0 set, 1 not installed, 2 already set for this thread.
int InstallCrashHandlerForThread(std::uint32_t flags);
int InstallCrashHandlerForThreadDefault();
// 0 removed, 1 not installed, 2 the thread has none.
int UninstallCrashHandlerForThread();

// Report contents: 0 added, 1 not installed, 2 refused (the text says why).
// File flags: 0x1 and 0x4 are passed to the sender; 0x2 accepts a missing file or a folder.
int AddCrashReportFileW(const wchar_t* source, const wchar_t* destination, const wchar_t* description,
                        std::uint32_t flags);
int AddCrashReportFileA(const char* source, const char* destination, const char* description,
                        std::uint32_t flags);
int AddCrashReportPropertyW(const wchar_t* name, const wchar_t* value);
int AddCrashReportPropertyA(const char* name, const char* value);
// keyPath: "HKEY_CURRENT_USER\..." or "HKEY_LOCAL_MACHINE\..." of the file-backed registry.
int AddCrashReportRegKeyW(const wchar_t* keyPath, const wchar_t* destination, std::uint32_t flags);
int AddCrashReportRegKeyA(const char* keyPath, const char* destination, std::uint32_t flags);
// 0 added, 1 not installed or quality above 100.
int AddCrashReportScreenshotEx(std::uint32_t flags, int jpegQuality);
int AddCrashReportScreenshot(std::uint32_t flags);
// 0 started; 1 not installed; 2 bad duration (ms, at most 600000, 0 = 60000); 3 bad frame
// interval (0 = 500); 4 already recording; 5 no video event; 6 the sender did not start.
// desiredFrameSize: width and height, or null; window: an X11 window id, or 0.
int AddCrashReportVideo(std::uint32_t flags, int duration, int frameInterval,
                        const std::int32_t* desiredFrameSize, unsigned long window);

// Stores the crash callback and its user parameter: 0, or 1 when not installed.
int SetCrashHandlerCallbackW(CrashCallbackW callback, void* userParam);
int SetCrashHandlerCallbackA(CrashCallbackA callback, void* userParam);

// Reports a fault of type 0 with the given code: 1 when reported, 0 otherwise. Neither this
// nor GenerateCrashReport takes the report lock or ends the process.
int ReportExceptionFilter(std::uint32_t code, CrashExceptionPointers* pointers);
// 0 done; 1 bad info; 2 cancelled by a callback, or no handler; 3 the sender did not start.
int GenerateCrashReport(ReportExceptionInfo* info);

// Raises a crash of the given type on the calling thread: 0 write to address 0, 1
// terminate, 2 unexpected, 3 pure virtual call, 4 operator new until it fails, 5 stack
// buffer overrun, 6 invalid parameter, 7 abort, 8 enable floating-point exceptions (and
// return 1), 9-12 raise SIGILL, SIGINT, SIGSEGV, SIGTERM, 32 raiseException(123), 33 an
// uncaught exception, 34 stack overflow. Returns only where no crash happened.
int TriggerTestCrash(int type);

// The runtime error paths that have no system form here.
namespace crashreport {

// A bad argument detected by the program: runs the invalid-parameter hook when one is
// installed, else writes the details to standard error and aborts.
void invalidParameter(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                      unsigned line);

// A program-defined fatal exception with a code: reaches the process filter as report
// type 0 with that code (SIGTRAP carrying the code). Returns when a report let the process
// go on.
void raiseException(std::uint32_t code);

}  // namespace crashreport

// Makes the start-up's InstallCrashReporting and UninstallCrashReporting use this handler.
void useCrashHandler();
