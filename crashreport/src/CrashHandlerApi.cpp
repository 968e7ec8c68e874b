#include "crashreport/CrashHandlerApi.h"

#include <cstring>
#include <cwchar>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "CrashHandler.h"
#include "CrashHooks.h"
#include "LastError.h"
#include "core/SystemHelpers.h"

using crashreport::setLastError;

namespace {

const wchar_t* const kNotInstalled = L"Crash handler wasn't previously installed for current process.";

struct LastErrors {
    std::mutex mutex;
    std::map<pid_t, std::wstring> texts;
};

// Made before the program's main code runs and never destroyed, so that a thread ending
// late still finds it.
LastErrors& lastErrors() {
    static LastErrors* errors = new LastErrors;
    return *errors;
}
const bool g_lastErrorsReady = (lastErrors(), true);

// The handler in force; without one the not-installed text is stored and null returned.
CCrashHandler* handlerOrNotInstalled() {
    CCrashHandler* handler = CCrashHandler::instance();
    if (!handler) setLastError(kNotInstalled);
    return handler;
}

CCrashHandler* installedHandler() {
    CCrashHandler* handler = CCrashHandler::instance();
    return handler && handler->isInitialized() ? handler : nullptr;
}

}  // namespace

namespace crashreport {

void setLastError(const wchar_t* text) {
    LastErrors& e = lastErrors();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.texts[currentThreadId()] = text ? text : L"";
}

bool lastError(std::wstring& text) {
    LastErrors& e = lastErrors();
    std::lock_guard<std::mutex> lock(e.mutex);
    const auto it = e.texts.find(currentThreadId());
    if (it == e.texts.end()) return false;
    text = it->second;
    return true;
}

void eraseLastError() {
    LastErrors& e = lastErrors();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.texts.erase(currentThreadId());
}

void clearLastErrors() {
    LastErrors& e = lastErrors();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.texts.clear();
}

}  // namespace crashreport

int InstallCrashHandlerW(const CrashHandlerInstallInfo* pInfo) {
    setLastError(L"Success.");
    if (!pInfo || pInfo->cb != kInstallInfoCb) {
        setLastError(L"pInfo is NULL or pInfo->cb member is not valid.");
        return 1;
    }
    if (installedHandler()) {
        setLastError(L"Can't install crash handler to the same process twice.");
        return 2;
    }
    CCrashHandler* handler = CCrashHandler::instance();
    if (!handler) {
        handler = new (std::nothrow) CCrashHandler();
        if (!handler) {
            setLastError(L"Error allocating memory for crash handler.");
            return 3;
        }
    }
    const CrashHandlerInstallInfo& i = *pInfo;
    if (handler->init(i.applicationName, i.applicationVersion, i.senderFolder, i.legacyCallback, i.emailRecipient,
                      i.emailSubject, i.uploadUrl, i.transportPriorities, i.flags, i.privacyPolicyUrl,
                      i.debugHelpFolder, i.minidumpType, i.reportFolder, i.restartCommandLine, i.languageFilePath,
                      i.emailText, i.smtpProxy, i.customIcon, i.smtpLogin, i.smtpPassword, i.restartTimeout) == 0)
        return 0;
    // Nothing stays installed after a failed install, so a later call may try again.
    std::wstring message;
    crashreport::lastError(message);
    delete handler;
    CrashHooks::setHandler(nullptr);
    setLastError(message);
    return 4;
}

int InstallCrashHandlerA(const CrashHandlerInstallInfoA* pInfo) {
    if (!pInfo) return InstallCrashHandlerW(nullptr);
    // The converted texts live until the call returns (a list never moves its elements).
    std::list<std::wstring> texts;
    auto wide = [&texts](const char* narrow) -> const wchar_t* {
        if (!narrow) return nullptr;
        texts.push_back(utf8ToWide(narrow));
        return texts.back().c_str();
    };
    CrashHandlerInstallInfo w;
    w.cb = pInfo->cb;
    w.applicationName = wide(pInfo->applicationName);
    w.applicationVersion = wide(pInfo->applicationVersion);
    w.emailRecipient = wide(pInfo->emailRecipient);
    w.emailSubject = wide(pInfo->emailSubject);
    w.uploadUrl = wide(pInfo->uploadUrl);
    w.senderFolder = wide(pInfo->senderFolder);
    w.legacyCallback = pInfo->legacyCallback;
    std::memcpy(w.transportPriorities, pInfo->transportPriorities, sizeof(w.transportPriorities));
    w.flags = pInfo->flags;
    w.privacyPolicyUrl = wide(pInfo->privacyPolicyUrl);
    w.debugHelpFolder = wide(pInfo->debugHelpFolder);
    w.minidumpType = pInfo->minidumpType;
    w.reportFolder = wide(pInfo->reportFolder);
    w.restartCommandLine = wide(pInfo->restartCommandLine);
    w.languageFilePath = wide(pInfo->languageFilePath);
    w.emailText = wide(pInfo->emailText);
    w.smtpProxy = wide(pInfo->smtpProxy);
    w.customIcon = wide(pInfo->customIcon);
    w.smtpLogin = wide(pInfo->smtpLogin);
    w.smtpPassword = wide(pInfo->smtpPassword);
    w.restartTimeout = pInfo->restartTimeout;
    return InstallCrashHandlerW(&w);
}

int UninstallCrashHandler() {
    setLastError(L"Success.");
    CCrashHandler* handler = installedHandler();
    if (!handler) {
        setLastError(L"Crash handler wasn't preiviously installed for this process.");
        return 1;
    }
    if (handler->removeThreadHooks() != 0) return 2;
    if (handler->destroy() != 0) return 3;
    delete handler;
    crashreport::clearLastErrors();
    return 0;
}

int GetCrashHandlerLastErrorW(wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    std::wstring text;
    if (!crashreport::lastError(text)) text = L"No error.";
    const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size) - 1);
    std::wmemcpy(buffer, text.data(), count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

int GetCrashHandlerLastErrorA(char* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    std::vector<wchar_t> wide(static_cast<std::size_t>(size));
    const int result = GetCrashHandlerLastErrorW(wide.data(), size);
    const std::string narrow = wideToUtf8(wide.data());
    // Cut to size - 1 bytes, never inside a UTF-8 sequence.
    std::size_t count = std::min<std::size_t>(narrow.size(), static_cast<std::size_t>(size) - 1);
    while (count > 0 && count < narrow.size() && (static_cast<unsigned char>(narrow[count]) & 0xC0) == 0x80) --count;
    std::memcpy(buffer, narrow.data(), count);
    buffer[count] = '\0';
    return result;
}

int InstallCrashHandlerForThread(std::uint32_t flags) {
    setLastError(L"Success.");
    CCrashHandler* handler = installedHandler();
    if (!handler) {
        setLastError(kNotInstalled);
        return 1;
    }
    return handler->installThreadHooks(flags) == 0 ? 0 : 2;
}

int InstallCrashHandlerForThreadDefault() { return InstallCrashHandlerForThread(0); }

int UninstallCrashHandlerForThread() {
    setLastError(L"Success.");
    CCrashHandler* handler = CCrashHandler::instance();
    if (!handler) {
        setLastError(L"Crash handler wasn't previously installed for current thread.");
        return 1;
    }
    if (handler->removeThreadHooks() != 0) return 2;
    crashreport::eraseLastError();
    return 0;
}

int AddCrashReportFileW(const wchar_t* source, const wchar_t* destination, const wchar_t* description,
                        std::uint32_t flags) {
    setLastError(L"Success.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    return handler->addFile(source, destination, description, flags) == 0 ? 0 : 2;
}

int AddCrashReportFileA(const char* source, const char* destination, const char* description, std::uint32_t flags) {
    const std::wstring s = source ? utf8ToWide(source) : std::wstring();
    const std::wstring d = destination ? utf8ToWide(destination) : std::wstring();
    const std::wstring t = description ? utf8ToWide(description) : std::wstring();
    return AddCrashReportFileW(source ? s.c_str() : nullptr, destination ? d.c_str() : nullptr,
                               description ? t.c_str() : nullptr, flags);
}

int AddCrashReportPropertyW(const wchar_t* name, const wchar_t* value) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    return handler->addProperty(name, value) == 0 ? 0 : 2;
}

int AddCrashReportPropertyA(const char* name, const char* value) {
    const std::wstring n = name ? utf8ToWide(name) : std::wstring();
    const std::wstring v = value ? utf8ToWide(value) : std::wstring();
    return AddCrashReportPropertyW(name ? n.c_str() : nullptr, value ? v.c_str() : nullptr);
}

int AddCrashReportRegKeyW(const wchar_t* keyPath, const wchar_t* destination, std::uint32_t flags) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    if (handler->addRegKey(keyPath, destination, flags) != 0) {
        setLastError(L"Invalid parameter or key doesn't exist.");
        return 2;
    }
    return 0;
}

int AddCrashReportRegKeyA(const char* keyPath, const char* destination, std::uint32_t flags) {
    const std::wstring k = keyPath ? utf8ToWide(keyPath) : std::wstring();
    const std::wstring d = destination ? utf8ToWide(destination) : std::wstring();
    return AddCrashReportRegKeyW(keyPath ? k.c_str() : nullptr, destination ? d.c_str() : nullptr, flags);
}

int AddCrashReportScreenshotEx(std::uint32_t flags, int jpegQuality) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    return handler->addScreenshot(flags, jpegQuality);
}

int AddCrashReportScreenshot(std::uint32_t flags) { return AddCrashReportScreenshotEx(flags, 95); }

int AddCrashReportVideo(std::uint32_t flags, int duration, int frameInterval, const std::int32_t* desiredFrameSize,
                        unsigned long window) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    return handler->addVideo(flags, duration, frameInterval, desiredFrameSize, window);
}

namespace {
template <typename Callback>
int setCrashCallback(Callback callback, void* userParam) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 1;
    handler->setCrashCallback(callback, userParam);
    setLastError(L"Success.");
    return 0;
}
}  // namespace

int SetCrashHandlerCallbackW(CrashCallbackW callback, void* userParam) { return setCrashCallback(callback, userParam); }

int SetCrashHandlerCallbackA(CrashCallbackA callback, void* userParam) { return setCrashCallback(callback, userParam); }

int ReportExceptionFilter(std::uint32_t code, CrashExceptionPointers* pointers) {
    setLastError(L"Unspecified error.");
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 0;
    ReportExceptionInfo info;
    info.size = kExceptionInfoSize;
    info.reportType = kReportFilter;
    info.exceptionPointers = pointers;
    info.exceptionCode = code;
    const int result = handler->produceReport(&info);
    if (info.senderProcess > 0) handler->adoptSender(info.senderProcess);
    if (result != 0) return 0;
    setLastError(L"Success.");
    return 1;
}

int GenerateCrashReport(ReportExceptionInfo* info) {
    setLastError(L"Unspecified error.");
    if (!info || info->size != kExceptionInfoSize) {
        setLastError(L"Exception info is NULL or invalid.");
        return 1;
    }
    CCrashHandler* handler = handlerOrNotInstalled();
    if (!handler) return 2;
    return handler->produceReport(info);
}
