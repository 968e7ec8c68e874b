#pragma once
// CCrashHandler: the one process-wide crash handler behind the flat interface.
//
// At installation it checks and completes the install record, finds the sender program
// and its language file, prepares the report folder and the first report (a crash id, a
// crash event and the description in shared memory) and installs the hooks. When a hook
// fires it completes the description, starts the sender, waits until the sender has taken
// what it needs from this process (or has gone) and ends the process with exit code 1,
// unless a crash callback lets it go on; then a fresh report is prepared.
//
// The crash path allocates nothing and takes no mutex: the names it needs are prepared
// beforehand, the sender is started with _Fork and execve, and work that must allocate
// (preparing the next report after a signal) goes to the crash reporter's spare thread,
// which also runs the report of a stack overflow.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>

#include "DescriptionWriter.h"
#include "FileMappingBlock.h"
#include "NamedEvent.h"
#include "crashreport/CrashHandlerApi.h"

// Where a report comes from, beyond what ReportExceptionInfo says.
struct CrashSite {
    pid_t threadId = 0;            // the crashed thread
    bool inSignalHandler = false;  // nothing may allocate or store texts
    bool stackOverflow = false;
    bool synchronousFault = false;  // a fault of the running instruction: never continued
    int frameCount = -1;            // -1: take the backtrace of the reporting thread
    void* frames[crashreport::ctx::kMaxFrames] = {};
};

class CCrashHandler {
public:
    struct FileItem {
        std::wstring source;
        std::wstring destination;
        std::wstring description;
        std::int32_t firstOption = 0;
        std::int32_t secondOption = 0;
    };
    struct RegKeyItem {
        std::wstring destination;
        std::uint8_t option = 0;
    };

    CCrashHandler();
    virtual ~CCrashHandler();
    CCrashHandler(const CCrashHandler&) = delete;
    CCrashHandler& operator=(const CCrashHandler&) = delete;

    // The handler in force, or null.
    static CCrashHandler* instance();

    // The install record's values in record order; 0 on success, 1 with the failure's text.
    int init(const wchar_t* applicationName, const wchar_t* applicationVersion, const wchar_t* senderFolder,
             LegacyCrashCallback legacyCallback, const wchar_t* emailRecipient, const wchar_t* emailSubject,
             const wchar_t* uploadUrl, const std::int32_t* transportPriorities, std::uint32_t flags,
             const wchar_t* privacyPolicyUrl, const wchar_t* debugHelpFolder, std::uint32_t minidumpType,
             const wchar_t* reportFolder, const wchar_t* restartCommandLine, const wchar_t* languageFilePath,
             const wchar_t* emailText, const wchar_t* smtpProxy, const wchar_t* customIcon,
             const wchar_t* smtpLogin, const wchar_t* smtpPassword, std::int32_t restartTimeout);
    int destroy();
    bool isInitialized() const { return initialized_ != 0; }

    // 0, or 1 with the text. A selection of 0 means every hook.
    int installProcessHooks(std::uint32_t flags);
    int installThreadHooks(std::uint32_t flags);
    int removeThreadHooks();

    // 0 done, 1 no info, 2 cancelled, 3 the sender did not start.
    int produceReport(ReportExceptionInfo* info);
    int produceReport(ReportExceptionInfo* info, CrashSite& site);

    // Stores the wide or the narrow crash callback with its parameter; returns 0.
    int setCrashCallback(CrashCallbackW callback, void* userParam);
    int setCrashCallback(CrashCallbackA callback, void* userParam);

    // Report contents: 0 added, or the refusal code with its text.
    int addFile(const wchar_t* source, const wchar_t* destination, const wchar_t* description, std::uint32_t flags);
    int addProperty(const wchar_t* name, const wchar_t* value);
    int addRegKey(const wchar_t* keyPath, const wchar_t* destination, std::uint32_t flags);
    int addScreenshot(std::uint32_t flags, int jpegQuality);
    int addVideo(std::uint32_t flags, int duration, int frameInterval, const std::int32_t* desiredFrameSize,
                 unsigned long window);

    // Writes a whole description into block (created under the crash id, with "-tmp" for
    // the temporary one) and makes it the current description. The header's address, or
    // null with the text.
    std::uint8_t* writeDescriptionBlock(CFileMappingBlock& block, bool temporary);
    // Starts the sender with one argument; with wait, waits for the crash event while the
    // sender runs. 0, or 1 with "Error creating CrashReportSender process.".
    int startSenderProcess(const std::wstring& argument, bool wait, pid_t* process);

    // The body of every hook: takes the report lock, reports and ends the process with
    // exit code 1 unless the report lets it go on (never after a synchronous fault).
    void runHook(ReportExceptionInfo& info, CrashSite& site);

    // Work the spare thread does for a hook that ran in a signal handler.
    void prepareAfterSignal();

    // Takes a sender that nobody else waits for; it is reaped once it has ended.
    void adoptSender(pid_t sender);

    // Removes the names of the current report from the system (safe in a signal handler).
    void unlinkNames() const;

    std::uint32_t flags() const { return flags_; }
    const std::wstring& crashId() const { return crashId_; }
    const std::wstring& applicationName() const { return applicationName_; }
    const std::wstring& applicationVersion() const { return applicationVersion_; }
    const std::wstring& senderPath() const { return senderPath_; }
    const std::wstring& reportFolder() const { return reportFolder_; }
    const std::wstring& emailRecipient() const { return emailRecipient_; }
    const std::wstring& emailSubject() const { return emailSubject_; }
    int smtpPort() const { return smtpPort_; }
    int smtpProxyPort() const { return smtpProxyPort_; }
    int restartTimeout() const { return restartTimeout_; }
    const std::wstring& callbackFolder() const { return callbackFolderW_; }
    // The main description (the whole shared block), or null.
    const std::uint8_t* mainDescription() const { return mainWriter_.base(); }
    const std::map<std::wstring, FileItem>& files() const { return files_; }

private:
    friend class CrashHooks;

    // Stores the failure's text; returns 1.
    int fail(const wchar_t* text);
    // Fresh crash id, crash event, callback folder texts and description with every item.
    void prepareReport();
    // The part of preparing that allocates nothing: continue and the callback result.
    void resetReportState();
    // Prepares now, or after a signal hands it to the spare thread.
    void prepareNext(const CrashSite& site);
    void restartVideo();
    void updateDescription(const ReportExceptionInfo& info, const CrashSite& site);
    int runCrashCallback(int stage, ReportExceptionInfo* info);
    template <typename Char>
    int callCrashCallback(int (*callback)(BasicReportCallbackInfo<Char>*), const Char* folder, int stage,
                          ReportExceptionInfo* info);
    bool spawnSender(const char* argument, pid_t* process);
    bool waitForCrashEvent(pid_t sender);
    static bool senderRunning(pid_t sender);
    void reapSenders();
    // Waits up to timeoutMs until the sender (0: none) and every adopted one have ended,
    // and reaps them. Safe in a signal handler.
    void waitForSenders(pid_t sender, int timeoutMs);
    // Appends an item to the current description; false (and a log line) when it does not fit.
    bool appendFile(const FileItem& item);
    bool appendProperty(const std::wstring& name, const std::wstring& value);
    bool appendRegKey(const std::wstring& keyPath, const RegKeyItem& item);
    // Stores an item under its name and appends it; when it does not fit, the map is put
    // back as it was and the refusal is stored.
    template <typename Item, typename Append>
    int storeAndAppend(std::map<std::wstring, Item>& items, const std::wstring& name, const Item& item, Append append);

    int initialized_ = 0;
    std::wstring applicationName_;
    std::wstring applicationVersion_;
    std::wstring crashId_;
    std::wstring executablePath_;
    std::uint32_t flags_ = 0;
    std::uint32_t minidumpType_ = 0;
    std::wstring restartCommandLine_;
    std::int32_t restartTimeout_ = 60;
    std::wstring uploadUrl_;
    std::wstring emailRecipient_;
    std::int32_t smtpPort_ = 25;
    std::wstring smtpProxy_;
    std::int32_t smtpProxyPort_ = 2525;
    std::wstring smtpLogin_;
    std::wstring smtpPassword_;
    std::wstring emailSubject_;
    std::wstring emailText_;
    std::int32_t transportPriorities_[3] = {0, 0, 0};
    std::wstring privacyPolicyUrl_;
    std::wstring senderPath_;
    std::wstring languageFilePath_;
    std::wstring debugHelpPath_;
    std::wstring reportFolder_;
    LegacyCrashCallback legacyCallback_ = nullptr;
    std::int32_t screenshotRequested_ = 0;
    std::uint32_t screenshotFlags_ = 0;
    std::int32_t jpegQuality_ = 95;
    std::int32_t videoActive_ = 0;
    std::uint32_t videoFlags_ = 0;
    std::int32_t videoDuration_ = 60000;
    std::int32_t videoFrameInterval_ = 500;
    std::int32_t desiredFrameSize_[2] = {0, 0};
    unsigned long videoWindow_ = 0;
    std::wstring customIcon_;
    std::map<std::wstring, FileItem> files_;
    std::map<std::wstring, std::wstring> properties_;
    std::map<std::wstring, RegKeyItem> regKeys_;
    NamedEvent crashEvent_;
    NamedEvent videoEvent_;
    CFileMappingBlock sharedBlock_;
    DescriptionWriter mainWriter_;         // the main description
    DescriptionWriter tempWriter_;         // the temporary description written at install
    DescriptionWriter* currentWriter_ = &mainWriter_;
    pid_t videoSender_ = 0;                // the sender recording video
    CrashCallbackW callbackW_ = nullptr;
    CrashCallbackA callbackA_ = nullptr;
    void* callbackParam_ = nullptr;
    std::string callbackFolderA_;
    std::wstring callbackFolderW_;
    std::int32_t lastCallbackResult_ = 2;
    std::atomic<std::int32_t> continueAfterReport_{1};
    bool pendingPrepare_ = false;

    // Prepared texts the crash path uses without allocating.
    std::string senderPathUtf8_;
    std::string crashIdUtf8_;
    std::string sharedNameUtf8_;
    std::string crashEventNameUtf8_;
    std::string videoEventNameUtf8_;
    std::string stoppedCaptionUtf8_;       // "<name> has stopped working"

    // Senders of reports that let the process go on, reaped later so they leave no zombie.
    static constexpr int kMaxSenders = 16;
    pid_t senders_[kMaxSenders] = {};
};
