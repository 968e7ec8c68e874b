#include "CrashHandler.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <cwctype>
#include <dirent.h>
#include <execinfo.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CrashHooks.h"
#include "IniText.h"
#include "LastError.h"
#include "core/LogLine.h"
#include "core/SystemHelpers.h"
#include "platform/Folders.h"
#include "platform/Thread.h"

using crashreport::setLastError;
namespace ctx = crashreport::ctx;
namespace hdr = crashreport::hdr;

namespace {

const wchar_t* const kSenderName = L"CrashReportSender";
const wchar_t* const kLanguageFileName = L"crashreport_lang.ini";
const wchar_t* const kDebugHelpName = L"dbghelp.so";
constexpr long kLanguageFileVersion = 1403;
// How long one wait for the crash event lasts before the sender is looked at again.
constexpr int kWaitSliceMs = 100;
// How long an ending process waits for its senders to end, after they let it go. Longer
// than a sender takes to write and send a report (its upload gives up after 30 s).
constexpr int kSenderEndWaitMs = 60000;

std::wstring text(const wchar_t* value) { return value ? std::wstring(value) : std::wstring(); }

std::wstring trimmed(const std::wstring& value) {
    std::size_t first = 0, last = value.size();
    while (first < last && std::iswspace(static_cast<wint_t>(value[first]))) ++first;
    while (last > first && std::iswspace(static_cast<wint_t>(value[last - 1]))) --last;
    return value.substr(first, last - first);
}

// The decimal number at the start of the text, as the C library reads it (0 when none).
long decimal(const std::wstring& value) { return std::wcstol(value.c_str(), nullptr, 10); }

// Splits "host:port" at the last ":"; the port stays when there is none.
void splitPort(std::wstring& host, std::int32_t& port) {
    const auto colon = host.rfind(L':');
    if (colon == std::wstring::npos) return;
    port = static_cast<std::int32_t>(decimal(host.substr(colon + 1)));
    host.resize(colon);
}

std::wstring withSeparator(std::wstring folder) {
    if (folder.empty() || folder.back() != L'/') folder += L'/';
    return folder;
}

// The executable's file name up to its first ".".
std::wstring executableStem() {
    std::string path = platform::executablePath();
    const auto slash = path.rfind('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
    const auto dot = path.find('.');
    if (dot != std::string::npos) path.resize(dot);
    return utf8ToWide(path);
}

// A version-4 UUID in lower-case 8-4-4-4-12 form; empty when the system has no random bytes.
std::wstring newCrashId() {
    unsigned char bytes[16];
    if (getrandom(bytes, sizeof(bytes), 0) != static_cast<ssize_t>(sizeof(bytes))) return std::wstring();
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring id;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += L'-';
        id += digits[bytes[i] >> 4];
        id += digits[bytes[i] & 0x0F];
    }
    return id;
}

bool isRegularReadableFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}

bool createFolders(const std::wstring& folder) {
    std::error_code ec;
    const std::filesystem::path path(wideToUtf8(folder));
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

// Shared names outlive the processes that made them: a process killed outright leaves its
// description and events behind. A description whose process is gone is of no further
// use, so its names are removed when the next handler installs.
void sweepStaleNames() {
    DIR* dir = opendir("/dev/shm");
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != 36 || name.find_first_not_of("0123456789abcdef-") != std::string::npos) continue;
        const int fd = shm_open(("/" + name).c_str(), O_RDONLY | O_CLOEXEC, 0);
        if (fd < 0) continue;
        std::uint8_t header[crashreport::kDescriptionHeaderSize];
        const bool read = pread(fd, header, sizeof(header), 0) == static_cast<ssize_t>(sizeof(header));
        close(fd);
        if (!read) continue;
        const crashreport::CrashDescriptionReader description(header, sizeof(header));
        if (std::memcmp(header, "CRD", 4) != 0 || description.u32(hdr::kVersion) != crashreport::kDescriptionVersion)
            continue;
        const pid_t owner = static_cast<pid_t>(description.u32(hdr::kProcessId));
        if (owner <= 0 || kill(owner, 0) == 0 || errno != ESRCH) continue;
        shm_unlink(("/" + name).c_str());
        NamedEvent::unlink(NamedEvent::crashEventName(name).c_str());
        NamedEvent::unlink(NamedEvent::videoEventName(name).c_str());
    }
    closedir(dir);
}

// A process that ends without uninstalling leaves no names behind.
void unlinkNamesAtExit() {
    if (const CCrashHandler* handler = CCrashHandler::instance()) handler->unlinkNames();
}

void writeStderr(const char* text) {
    const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

}  // namespace

CCrashHandler::CCrashHandler() = default;

CCrashHandler::~CCrashHandler() {
    if (initialized_) destroy();
    if (CrashHooks::handler() == this) CrashHooks::setHandler(nullptr);
    CrashHooks::stopSpareThread();
    unlinkNames();
    sharedBlock_.close();
}

CCrashHandler* CCrashHandler::instance() { return CrashHooks::handler(); }

int CCrashHandler::fail(const wchar_t* message) {
    setLastError(message);
    return 1;
}

int CCrashHandler::init(const wchar_t* applicationName, const wchar_t* applicationVersion,
                        const wchar_t* senderFolder, LegacyCrashCallback legacyCallback,
                        const wchar_t* emailRecipient, const wchar_t* emailSubject, const wchar_t* uploadUrl,
                        const std::int32_t* transportPriorities, std::uint32_t flags,
                        const wchar_t* privacyPolicyUrl, const wchar_t* debugHelpFolder,
                        std::uint32_t minidumpType, const wchar_t* reportFolder,
                        const wchar_t* restartCommandLine, const wchar_t* languageFilePath,
                        const wchar_t* emailText, const wchar_t* smtpProxy, const wchar_t* customIcon,
                        const wchar_t* smtpLogin, const wchar_t* smtpPassword, std::int32_t restartTimeout) {
    setLastError(L"Unspecified error.");
    flags_ = flags;
    minidumpType_ = minidumpType;
    legacyCallback_ = legacyCallback;

    applicationName_ = text(applicationName);
    if (applicationName_.empty()) applicationName_ = executableStem();
    // There is no version resource to fall back on.
    applicationVersion_ = text(applicationVersion);
    if (applicationVersion_.empty()) return fail(L"Application version is not specified.");

    executablePath_ = utf8ToWide(platform::executablePath());

    customIcon_ = text(customIcon);
    if (!customIcon_.empty()) {
        const auto comma = customIcon_.rfind(L',');
        const long index = comma == std::wstring::npos ? 0 : decimal(trimmed(customIcon_.substr(comma + 1)));
        if (index == -1) return fail(L"Invalid index of custom icon (it should not equal to -1).");
    }

    if (uploadUrl) uploadUrl_ = uploadUrl;

    if ((flags & CR_INST_STORE_ZIP_ARCHIVES) && !(flags & CR_INST_DONT_SEND_REPORT))
        return fail(L"The flag CR_INST_STORE_ZIP_ARCHIVES should be used with CR_INST_DONT_SEND_REPORT flag.");

    restartCommandLine_ = text(restartCommandLine);
    restartTimeout_ = restartTimeout < 1 ? 60 : restartTimeout;

    emailRecipient_ = text(emailRecipient);
    smtpPort_ = 25;
    splitPort(emailRecipient_, smtpPort_);

    smtpProxyPort_ = 25;
    if (smtpProxy) {
        smtpProxy_ = smtpProxy;
        splitPort(smtpProxy_, smtpProxyPort_);
    }

    if (smtpLogin) {
        smtpLogin_ = smtpLogin;
        if (smtpPassword) smtpPassword_ = smtpPassword;
    }

    emailSubject_ = text(emailSubject);
    if (emailSubject_.empty()) {
        emailSubject_ = applicationName_ + L" " + (applicationVersion_.empty() ? L"[unknown_ver]" : applicationVersion_) +
                        L" Error Report";
    }

    emailText_ = text(emailText);
    if (transportPriorities) {
        for (int i = 0; i < 3; ++i) transportPriorities_[i] = transportPriorities[i];
    }
    if (privacyPolicyUrl) privacyPolicyUrl_ = privacyPolicyUrl;

    const std::wstring executableFolder = utf8ToWide(platform::parentFolder(platform::executablePath()));
    const std::wstring senderDirectory = withSeparator(senderFolder && *senderFolder ? senderFolder : executableFolder);
    if (!isRegularReadableFile(wideToUtf8(senderDirectory + kSenderName)))
        return fail(L"CrashReportSender is not found in the specified path.");

    languageFilePath_ = languageFilePath && *languageFilePath ? languageFilePath : senderDirectory + kLanguageFileName;
    senderPath_ = senderDirectory + kSenderName;
    senderPathUtf8_ = wideToUtf8(senderPath_);
    const std::string version =
        crashreport::readIniString(wideToUtf8(languageFilePath_), "Settings", "CrashReportVersion", "", 1023);
    if (decimal(utf8ToWide(version)) != kLanguageFileVersion)
        return fail(L"Missing language file or wrong language file version.");

    // The debug-help library has no counterpart here: its path is passed on, nothing loads it.
    debugHelpPath_ = withSeparator(debugHelpFolder && *debugHelpFolder ? debugHelpFolder : executableFolder) + kDebugHelpName;

    if (reportFolder && *reportFolder) {
        reportFolder_ = reportFolder;
    } else {
        reportFolder_ = utf8ToWide(platform::localDataFolder()) + L"/CrashReport/UnsentCrashReports/" +
                        applicationName_ + L"_" + applicationVersion_;
    }
    if (!createFolders(reportFolder_)) return fail(L"Couldn't create crash report directory.");
    if (!createFolders(reportFolder_ + L"/Logs")) return fail(L"Couldn't create logs directory.");

    stoppedCaptionUtf8_ = wideToUtf8(executableStem()) + " has stopped working";

    sweepStaleNames();
    prepareReport();
    static const bool cleanupRegistered = std::atexit(&unlinkNamesAtExit) == 0;
    (void)cleanupRegistered;
    CrashHooks::startSpareThread();

    CrashHooks::setHandler(this);
    if (installProcessHooks(flags) != 0)
        return fail(L"Couldn't set C++ exception handlers for current process.");
    if (installThreadHooks(flags) != 0)
        return fail(L"Couldn't set C++ exception handlers for main execution thread.");

    if (flags & CR_INST_START_SENDER_AT_INSTALL) {
        CFileMappingBlock temporary;
        const bool written = writeDescriptionBlock(temporary, true) != nullptr;
        tempWriter_.putI32(hdr::kQueuedMode, 1);
        const int started = written ? startSenderProcess(temporary.name(), true, nullptr) : 1;
        currentWriter_ = &mainWriter_;
        tempWriter_.detach();
        CFileMappingBlock::unlinkName(temporary.name());
        temporary.close();
        if (started != 0) {
            removeThreadHooks();
            return fail(L"Couldn't launch CrashReportSender process.");
        }
    }

    // Every thread started from now on gets its alternate signal stack.
    platform::setThreadHooks({&CrashHooks::threadStarted, &CrashHooks::threadEnding});
    initialized_ = 1;
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::destroy() {
    setLastError(L"Unspecified error.");
    if (!initialized_) return fail(L"Can't destroy not initialized crash handler.");
    // A report, or the preparation after one, that is still running ends first, and none
    // starts while the handler goes: both use the events, names and texts released here.
    ReportLockGuard lock;
    platform::setThreadHooks({});
    if (videoActive_) {
        videoEvent_.set();
        waitForCrashEvent(videoSender_);
    }
    if (videoSender_ > 0) adoptSender(videoSender_);
    videoSender_ = 0;
    // Senders of reports that let the process go on end before it does, so that none stays
    // behind unreaped.
    waitForSenders(0, kSenderEndWaitMs);
    crashEvent_.close();
    videoEvent_.close();
    // Names outlive processes: nothing of this handler stays in the system.
    unlinkNames();
    CrashHooks::removeProcessFilter();
    CrashHooks::setHandler(nullptr);
    initialized_ = 0;
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::installProcessHooks(std::uint32_t flags) {
    setLastError(L"Unspecified error.");
    CrashHooks::installProcessHooks(flags);
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::installThreadHooks(std::uint32_t flags) {
    setLastError(L"Unspecified error.");
    if (!CrashHooks::installThreadHooks(flags)) return fail(L"Can't install handlers for current thread twice.");
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::removeThreadHooks() {
    setLastError(L"Unspecified error.");
    if (!CrashHooks::removeThreadHooks())
        return fail(L"Crash handler wasn't previously installed for current thread.");
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::setCrashCallback(CrashCallbackW callback, void* userParam) {
    callbackW_ = callback;
    callbackParam_ = userParam;
    return 0;
}

int CCrashHandler::setCrashCallback(CrashCallbackA callback, void* userParam) {
    callbackA_ = callback;
    callbackParam_ = userParam;
    return 0;
}

// ---- Preparing a report ----

void CCrashHandler::resetReportState() {
    continueAfterReport_.store(1);
    lastCallbackResult_ = 2;
}

void CCrashHandler::prepareReport() {
    resetReportState();
    reapSenders();
    // The names of the report before this one go; a sender that holds them keeps them open.
    unlinkNames();
    crashId_ = newCrashId();
    crashIdUtf8_ = wideToUtf8(crashId_);
    sharedNameUtf8_ = CFileMappingBlock::systemName(crashId_);
    crashEventNameUtf8_ = NamedEvent::crashEventName(crashIdUtf8_);
    videoEventNameUtf8_ = NamedEvent::videoEventName(crashIdUtf8_);
    crashEvent_.close();
    if (!crashEvent_.create(crashEventNameUtf8_))
        NIMBROSTA_LOG(50, "CCrashHandler::prepareReport") << "cannot create the crash event: " << std::strerror(errno);

    callbackFolderW_ = reportFolder_ + L"/" + applicationName_ + L"_" + applicationVersion_ + L"/" + crashId_;
    callbackFolderA_ = wideToUtf8(callbackFolderW_);

    mainWriter_.detach();
    sharedBlock_.close();
    writeDescriptionBlock(sharedBlock_, false);
}

void CCrashHandler::prepareNext(const CrashSite& site) {
    if (site.inSignalHandler) {
        // Preparing allocates: the spare thread does it once the signal handler is done.
        resetReportState();
        pendingPrepare_ = true;
        return;
    }
    prepareReport();
    restartVideo();
}

void CCrashHandler::prepareAfterSignal() {
    prepareReport();
    restartVideo();
}

void CCrashHandler::restartVideo() {
    if (!videoActive_) return;
    if (videoSender_ > 0) adoptSender(videoSender_);
    videoActive_ = 0;
    addVideo(videoFlags_ | 0x10, videoDuration_, videoFrameInterval_, desiredFrameSize_, videoWindow_);
}

void CCrashHandler::unlinkNames() const {
    if (!sharedNameUtf8_.empty()) shm_unlink(sharedNameUtf8_.c_str());
    if (!crashEventNameUtf8_.empty()) NamedEvent::unlink(crashEventNameUtf8_.c_str());
    if (!videoEventNameUtf8_.empty()) NamedEvent::unlink(videoEventNameUtf8_.c_str());
}

// ---- The description ----

std::uint8_t* CCrashHandler::writeDescriptionBlock(CFileMappingBlock& block, bool temporary) {
    DescriptionWriter& writer = temporary ? tempWriter_ : mainWriter_;
    currentWriter_ = &writer;
    writer.detach();
    const std::wstring name = temporary ? crashId_ + L"-tmp" : crashId_;
    if (!block.isOpen() && !block.init(name, false, static_cast<std::uint32_t>(crashreport::kSharedBlockSize), 0)) {
        setLastError(L"Couldn't initialize shared memory.");
        NIMBROSTA_LOG(50, "CCrashHandler::writeDescriptionBlock") << "cannot create shared memory: " << std::strerror(errno);
        return nullptr;
    }
    // One view of the whole block: later blocks, and the crash itself, write without mapping.
    auto* base = static_cast<std::uint8_t*>(block.createView(0, static_cast<std::size_t>(block.size())));
    if (!base) {
        setLastError(L"Couldn't create shared memory view.");
        return nullptr;
    }
    writer.attach(base, static_cast<std::size_t>(block.size()));
    writer.startHeader();
    writer.putU32(hdr::kFlags, flags_);
    writer.putU32(hdr::kMinidumpType, minidumpType_);
    writer.putI32(hdr::kSmtpPort, smtpPort_);
    writer.putI32(hdr::kSmtpProxyPort, smtpProxyPort_);
    for (int i = 0; i < 3; ++i) writer.putI32(hdr::kTransportPriorities + 4 * static_cast<std::size_t>(i), transportPriorities_[i]);
    writer.putI32(hdr::kScreenshotRequested, screenshotRequested_);
    writer.putU32(hdr::kScreenshotFlags, screenshotFlags_);
    writer.putI32(hdr::kJpegQuality, jpegQuality_);
    writer.putI32(hdr::kVideoStart, videoActive_);
    writer.putU32(hdr::kVideoWindow, static_cast<std::uint32_t>(videoWindow_));
    writer.putU32(hdr::kProcessId, static_cast<std::uint32_t>(getpid()));
    writer.putI32(hdr::kCrashInProgress, 0);
    writer.putI32(hdr::kRestartTimeout, restartTimeout_);

    const std::pair<std::size_t, const std::wstring*> strings[] = {
        {hdr::kAppName, &applicationName_},        {hdr::kAppVersion, &applicationVersion_},
        {hdr::kCrashId, &crashId_},                {hdr::kExecutablePath, &executablePath_},
        {hdr::kLanguageFile, &languageFilePath_},  {hdr::kDebugHelpPath, &debugHelpPath_},
        {hdr::kRestartCommandLine, &restartCommandLine_}, {hdr::kPrivacyPolicyUrl, &privacyPolicyUrl_},
        {hdr::kReportFolder, &reportFolder_},      {hdr::kCustomIcon, &customIcon_},
        {hdr::kUploadUrl, &uploadUrl_},            {hdr::kEmailRecipient, &emailRecipient_},
        {hdr::kEmailSubject, &emailSubject_},      {hdr::kEmailText, &emailText_},
        {hdr::kSmtpProxy, &smtpProxy_},            {hdr::kSmtpLogin, &smtpLogin_},
        {hdr::kSmtpPassword, &smtpPassword_},
    };
    for (const auto& field : strings) writer.putU32(field.first, writer.writeString(field.second->c_str()));

    for (const auto& file : files_) appendFile(file.second);
    for (const auto& property : properties_) appendProperty(property.first, property.second);
    for (const auto& key : regKeys_) appendRegKey(key.first, key.second);
    return base;
}

bool CCrashHandler::appendFile(const FileItem& item) {
    if (!currentWriter_->attached()) return false;
    if (currentWriter_->writeFile(item.source.c_str(), item.destination.c_str(), item.description.c_str(),
                                  item.firstOption, item.secondOption) != 0)
        return true;
    NIMBROSTA_LOG(50, "CCrashHandler::appendFile") << "no room in the crash description for " << wideToUtf8(item.source);
    return false;
}

bool CCrashHandler::appendProperty(const std::wstring& name, const std::wstring& value) {
    if (!currentWriter_->attached()) return false;
    if (currentWriter_->writeProperty(name.c_str(), value.c_str()) != 0) return true;
    NIMBROSTA_LOG(50, "CCrashHandler::appendProperty") << "no room in the crash description for property "
                                                       << wideToUtf8(name);
    return false;
}

bool CCrashHandler::appendRegKey(const std::wstring& keyPath, const RegKeyItem& item) {
    if (!currentWriter_->attached()) return false;
    if (currentWriter_->writeRegKey(item.option, keyPath.c_str(), item.destination.c_str()) != 0) return true;
    NIMBROSTA_LOG(50, "CCrashHandler::appendRegKey") << "no room in the crash description for key " << wideToUtf8(keyPath);
    return false;
}

// Completes the main description for the crash. Allocates nothing.
void CCrashHandler::updateDescription(const ReportExceptionInfo& info, const CrashSite& site) {
    DescriptionWriter& w = mainWriter_;
    if (!w.attached()) return;
    if (info.manual) w.putU32(hdr::kFlags, w.getU32(hdr::kFlags) & ~kFlagAutomaticReportsOnly);
    w.putI32(hdr::kCrashInProgress, 1);
    w.putI32(hdr::kVideoStart, 0);
    w.putU32(hdr::kProcessId, static_cast<std::uint32_t>(getpid()));
    w.putU32(hdr::kThreadId, static_cast<std::uint32_t>(site.threadId));
    w.putI32(hdr::kQueuedMode, 0);
    w.putI32(hdr::kReportType, info.reportType);
    if (info.reportType == kReportFilter) w.putU32(hdr::kExceptionCode, info.exceptionCode);
    if (info.reportType == kReportSigfpe) w.putI32(hdr::kFpeSubcode, info.fpeSubcode);
    if (info.reportType == kReportInvalidParameter) {
        w.putU32(hdr::kExpression, w.writeString(info.expression, true));
        w.putU32(hdr::kFunction, w.writeString(info.function, true));
        w.putU32(hdr::kFile, w.writeString(info.file, true));
        w.putU32(hdr::kLine, info.line);
    }

    const std::uint32_t at = w.reserveContext();
    w.putU32(hdr::kExceptionPointers, at);
    if (at == 0) return;
    const CrashExceptionPointers* pointers = info.exceptionPointers;
    const siginfo_t* signal = pointers ? pointers->signalInfo : nullptr;
    const ucontext_t* context = pointers ? pointers->context : nullptr;
    std::uint32_t flags = 0;
    if (site.stackOverflow) flags |= crashreport::kCtxStackOverflow;
    if (!signal) flags |= crashreport::kCtxCapturedOnRequest;
    if (signal) {
        w.putU32(at + ctx::kSignal, static_cast<std::uint32_t>(signal->si_signo));
        w.putI32(at + ctx::kSignalCode, signal->si_code);
        w.putI32(at + ctx::kSignalErrno, signal->si_errno);
        w.putU64(at + ctx::kFaultAddress, reinterpret_cast<std::uintptr_t>(signal->si_addr));
    }
    w.putU32(at + ctx::kThreadId, static_cast<std::uint32_t>(site.threadId));
#if defined(__x86_64__)
    if (context) {
        static_assert(NGREG == ctx::kMaxRegisters, "register block");
        w.putU32(at + ctx::kRegisterCount, NGREG);
        for (std::size_t i = 0; i < NGREG; ++i)
            w.putU64(at + ctx::kRegisters + 8 * i, static_cast<std::uint64_t>(context->uc_mcontext.gregs[i]));
        if (context->uc_mcontext.fpregs) {
            std::memcpy(w.base() + at + ctx::kFpRegisters, context->uc_mcontext.fpregs,
                        sizeof(*context->uc_mcontext.fpregs) < ctx::kFpRegistersSize ? sizeof(*context->uc_mcontext.fpregs)
                                                                                     : ctx::kFpRegistersSize);
            flags |= crashreport::kCtxFpRegisters;
        }
    }
#endif
    w.putU32(at + ctx::kFlags, flags);
    const int frames = site.frameCount < 0 ? 0 : site.frameCount;
    w.putU32(at + ctx::kFrameCount, static_cast<std::uint32_t>(frames));
    for (int i = 0; i < frames; ++i)
        w.putU64(at + ctx::kFrames + 8 * static_cast<std::size_t>(i), reinterpret_cast<std::uintptr_t>(site.frames[i]));
}

// ---- The report ----

int CCrashHandler::produceReport(ReportExceptionInfo* info) {
    CrashSite site;
    site.threadId = currentThreadId();
    return produceReport(info, site);
}

int CCrashHandler::produceReport(ReportExceptionInfo* info, CrashSite& site) {
    const bool quiet = site.inSignalHandler;
    if (!quiet) setLastError(L"Unspecified error.");
    if (!info) {
        if (!quiet) setLastError(L"Exception info is NULL.");
        return 1;
    }
    // One report at a time, and none while the handler is destroyed. A hook holds the lock
    // already; a report on request takes it here.
    ReportLockGuard lock;
    // Without a context the report describes the reporting thread as it is now; the
    // records live until the report returns.
    ucontext_t captured;
    CrashExceptionPointers capturedPointers{nullptr, &captured};
    const bool capture = info->exceptionPointers == nullptr;
    if (capture) {
        getcontext(&captured);
        info->exceptionPointers = &capturedPointers;
    }
    if (site.frameCount < 0) site.frameCount = takeBacktrace(site.frames, static_cast<int>(ctx::kMaxFrames));
    updateDescription(*info, site);

    bool cancelled = legacyCallback_ && legacyCallback_(nullptr) == 0;
    if (!cancelled) cancelled = runCrashCallback(kCallbackStageBeforeSender, info) == 0;
    if (cancelled) {
        prepareNext(site);
        if (capture) info->exceptionPointers = nullptr;
        if (!quiet) setLastError(L"The operation was cancelled by client.");
        return 2;
    }

    bool started = false;
    if (videoActive_ && videoSender_ > 0 && senderRunning(videoSender_)) {
        videoEvent_.set();
        waitForCrashEvent(videoSender_);
        if (!quiet) videoEvent_.close();  // closing allocates; preparing the next report closes it too
        info->senderProcess = videoSender_;
        started = true;
    } else {
        pid_t sender = 0;
        started = spawnSender(crashIdUtf8_.c_str(), &sender);
        if (started) {
            waitForCrashEvent(sender);
            info->senderProcess = sender;
        }
    }
    // The sender has taken what it needs: the names are of no further use.
    unlinkNames();

    runCrashCallback(kCallbackStageAfterSender, info);
    if (continueAfterReport_.load()) prepareNext(site);
    if (capture) info->exceptionPointers = nullptr;

    if (!started) {
        if (!quiet) setLastError(L"Error launching CrashReportSender");
        // No message box here: the text goes to standard error.
        writeStderr(stoppedCaptionUtf8_.c_str());
        writeStderr(": Error launching CrashReportSender\n");
        return 3;
    }
    if (!quiet) setLastError(L"Success.");
    return 0;
}

template <typename Char>
int CCrashHandler::callCrashCallback(int (*callback)(BasicReportCallbackInfo<Char>*), const Char* folder, int stage,
                                     ReportExceptionInfo* info) {
    BasicReportCallbackInfo<Char> callbackInfo;
    callbackInfo.stage = stage;
    callbackInfo.reportFolder = folder;
    callbackInfo.exceptionInfo = info;
    callbackInfo.userParam = callbackParam_;
    callbackInfo.continueFlag = continueAfterReport_.load();
    lastCallbackResult_ = callback(&callbackInfo);
    continueAfterReport_.store(callbackInfo.continueFlag);
    return lastCallbackResult_;
}

int CCrashHandler::runCrashCallback(int stage, ReportExceptionInfo* info) {
    if (lastCallbackResult_ != 2) return lastCallbackResult_;
    if (callbackW_) return callCrashCallback(callbackW_, callbackFolderW_.c_str(), stage, info);
    if (callbackA_) return callCrashCallback(callbackA_, callbackFolderA_.c_str(), stage, info);
    return lastCallbackResult_;
}

void CCrashHandler::runHook(ReportExceptionInfo& info, CrashSite& site) {
    CrashHooks::enterReportLock();
    // The handler was destroyed while this hook waited for the lock: nothing reports now.
    if (CrashHooks::handler() != this) {
        CrashHooks::leaveReportLock();
        return;
    }
    continueAfterReport_.store(0);
    if (site.stackOverflow) CrashHooks::reportOnSpareThread(*this, info, site);
    else produceReport(&info, site);
    // A fault of the running instruction would only happen again: such a crash always ends.
    if (continueAfterReport_.load() == 0 || site.synchronousFault) {
        unlinkNames();
        // The sender goes on writing (and sending) the report after it let this process
        // go. This process waits for it to end and reaps it: an orphan would be left to
        // whoever adopts it, which may never reap it.
        waitForSenders(info.senderProcess, kSenderEndWaitMs);
        _exit(1);
    }
    if (info.senderProcess > 0) adoptSender(info.senderProcess);
    if (pendingPrepare_) {
        pendingPrepare_ = false;
        if (CrashHooks::prepareOnSpareThread()) return;
    }
    CrashHooks::leaveReportLock();
}

// ---- The sender ----

bool CCrashHandler::spawnSender(const char* argument, pid_t* process) {
    if (senderPathUtf8_.empty()) return false;
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) return false;
    char* const argv[] = {const_cast<char*>(senderPathUtf8_.c_str()), const_cast<char*>(argument), nullptr};
    const pid_t child = _Fork();
    if (child == 0) {
        // The sender inherits no descriptor beyond the standard three (and the status
        // pipe, closed by execve) and no blocked signal of the crashed thread.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (status[1] > 3) close_range(3, static_cast<unsigned>(status[1]) - 1, 0);
        close_range(static_cast<unsigned>(status[1]) + 1, ~0U, 0);
        execve(argv[0], argv, environ);
        const int error = errno;
        const ssize_t ignored = write(status[1], &error, sizeof(error));
        (void)ignored;
        _exit(127);
    }
    close(status[1]);
    if (child < 0) {
        close(status[0]);
        return false;
    }
    int error = 0;
    ssize_t n;
    do {
        n = read(status[0], &error, sizeof(error));
    } while (n < 0 && errno == EINTR);
    close(status[0]);
    if (n == static_cast<ssize_t>(sizeof(error))) {
        waitpid(child, nullptr, 0);
        return false;
    }
    // Where the system restricts reading another process's memory to its ancestors, the
    // sender (our child) needs this to read ours.
    prctl(PR_SET_PTRACER, child, 0, 0, 0);
    *process = child;
    return true;
}

bool CCrashHandler::senderRunning(pid_t sender) {
    if (sender <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(sender, &status, WNOHANG);
    if (r == 0) return true;
    if (r == sender) return false;
    // Not our child to wait for (children ignored, or already reaped): ask the system.
    return kill(sender, 0) == 0 || errno == EPERM;
}

bool CCrashHandler::waitForCrashEvent(pid_t sender) {
    for (;;) {
        if (crashEvent_.wait(kWaitSliceMs)) return true;
        // The wait is bounded by the sender: once it is gone nothing will set the event.
        if (!senderRunning(sender)) return crashEvent_.wait(0);
    }
}

void CCrashHandler::adoptSender(pid_t sender) {
    for (pid_t& slot : senders_) {
        if (slot == 0) {
            slot = sender;
            return;
        }
    }
}

void CCrashHandler::reapSenders() {
    for (pid_t& slot : senders_) {
        if (slot > 0 && waitpid(slot, nullptr, WNOHANG) != 0) slot = 0;
    }
}

void CCrashHandler::waitForSenders(pid_t sender, int timeoutMs) {
    // Safe in a signal handler: waitpid, clock_gettime and nanosleep only.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long deadline = now.tv_sec * 1000LL + now.tv_nsec / 1000000 + timeoutMs;
    for (;;) {
        bool running = false;
        if (sender > 0) {
            if (waitpid(sender, nullptr, WNOHANG) == 0) running = true;
            else sender = 0;
        }
        for (pid_t& slot : senders_) {
            if (slot <= 0) continue;
            if (waitpid(slot, nullptr, WNOHANG) == 0) running = true;
            else slot = 0;
        }
        if (!running) return;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec * 1000LL + now.tv_nsec / 1000000 >= deadline) return;
        const timespec pause{0, 20 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

int CCrashHandler::startSenderProcess(const std::wstring& argument, bool wait, pid_t* process) {
    pid_t sender = 0;
    if (!spawnSender(wideToUtf8(argument).c_str(), &sender)) {
        setLastError(L"Error creating CrashReportSender process.");
        return 1;
    }
    if (wait) waitForCrashEvent(sender);
    if (process) *process = sender;
    else adoptSender(sender);
    setLastError(L"Success.");
    return 0;
}
