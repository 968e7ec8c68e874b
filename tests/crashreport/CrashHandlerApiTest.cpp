// The crash handler's interface in this process: results and texts with and without a
// handler, the install checks, thread hooks, report contents and the description the
// sender reads. Nothing here crashes; crashes run in child processes (CrashHooksTest).

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "CrashHandler.h"
#include "CrashTestSupport.h"
#include "DescriptionWriter.h"
#include "FileMappingBlock.h"
#include "core/SystemHelpers.h"
#include "crashreport/CrashHandlerApi.h"
#include "platform/Registry.h"

using crashreport::CrashDescriptionReader;
namespace hdr = crashreport::hdr;

namespace {

std::wstring lastText() {
    wchar_t text[512];
    GetCrashHandlerLastErrorW(text, 512);
    return text;
}

// An install record over a stand-in sender folder and a scratch report folder.
struct Installer {
    crashtest::SenderFolder senders;
    testsupport::TempDir reports;
    std::wstring senderFolder = utf8ToWide(senders.path());
    std::wstring reportFolder = utf8ToWide(reports.path());
    CrashHandlerInstallInfo info;

    Installer() {
        info.cb = kInstallInfoCb;
        info.applicationName = L"NimbrostaClient";
        info.applicationVersion = L"0.0.33-2-gc4ebe4b";
        info.senderFolder = senderFolder.c_str();
        info.reportFolder = reportFolder.c_str();
        info.flags = CR_INST_ALL_HOOKS;
        info.minidumpType = 0x61944;
    }
    ~Installer() { UninstallCrashHandler(); }

    CrashDescriptionReader description() const {
        const CCrashHandler* h = CCrashHandler::instance();
        return CrashDescriptionReader(h ? h->mainDescription() : nullptr, h ? crashreport::kSharedBlockSize : 0);
    }
};

std::size_t stringBlock(const std::wstring& text) { return 6 + 2 * text.size(); }

}  // namespace

TEST(CrashHandlerApi, ResultsAndTextsWithoutAHandler) {
    wchar_t buffer[64];
    // A thread that never called reads "No error.".
    std::thread([] {
        wchar_t text[64];
        EXPECT_EQ(GetCrashHandlerLastErrorW(text, 64), 9);
        EXPECT_EQ(std::wstring(text), L"No error.");
    }).join();
    EXPECT_EQ(GetCrashHandlerLastErrorW(nullptr, 64), -1);
    EXPECT_EQ(GetCrashHandlerLastErrorW(buffer, 0), -1);

    const std::wstring notInstalled = L"Crash handler wasn't previously installed for current process.";
    const std::wstring notForThread = L"Crash handler wasn't previously installed for current thread.";
    ReportExceptionInfo badInfo;
    badInfo.size = 40;
    ReportExceptionInfo goodInfo;
    goodInfo.size = kExceptionInfoSize;
    CrashHandlerInstallInfo shortRecord;
    shortRecord.cb = 100;
    struct Case {
        const char* call;
        std::function<int()> run;
        int result;
        std::wstring text;
    };
    const Case cases[] = {
        {"install null", [] { return InstallCrashHandlerW(nullptr); }, 1, L"pInfo is NULL or pInfo->cb member is not valid."},
        {"install cb 100", [&] { return InstallCrashHandlerW(&shortRecord); }, 1, L"pInfo is NULL or pInfo->cb member is not valid."},
        {"uninstall", [] { return UninstallCrashHandler(); }, 1, L"Crash handler wasn't preiviously installed for this process."},
        {"thread install", [] { return InstallCrashHandlerForThread(0); }, 1, notInstalled},
        {"thread uninstall", [] { return UninstallCrashHandlerForThread(); }, 1, notForThread},
        {"file", [] { return AddCrashReportFileW(L"/etc/hostname", nullptr, nullptr, 0); }, 1, notInstalled},
        {"property", [] { return AddCrashReportPropertyW(L"a", L"b"); }, 1, notInstalled},
        {"registry key", [] { return AddCrashReportRegKeyW(L"HKEY_CURRENT_USER\\a", L"a.reg", 0); }, 1, notInstalled},
        {"screenshot", [] { return AddCrashReportScreenshot(0); }, 1, notInstalled},
        {"video", [] { return AddCrashReportVideo(0, 0, 0, nullptr, 0); }, 1, notInstalled},
        {"callback", [] { return SetCrashHandlerCallbackW(nullptr, nullptr); }, 1, notInstalled},
        {"filter", [] { return ReportExceptionFilter(5, nullptr); }, 0, notInstalled},
        {"generate null", [] { return GenerateCrashReport(nullptr); }, 1, L"Exception info is NULL or invalid."},
        {"generate size 40", [&] { return GenerateCrashReport(&badInfo); }, 1, L"Exception info is NULL or invalid."},
        {"generate", [&] { return GenerateCrashReport(&goodInfo); }, 2, notInstalled},
        {"test crash 13", [] { return TriggerTestCrash(13); }, 1, L"Unknown exception type specified."},
        {"test crash 31", [] { return TriggerTestCrash(31); }, 1, L"Unknown exception type specified."},
        {"test crash 35", [] { return TriggerTestCrash(35); }, 1, L"Unknown exception type specified."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.result) << c.call;
        EXPECT_EQ(lastText(), c.text) << c.call;
    }

    // The readers cut and always terminate.
    AddCrashReportPropertyW(L"a", L"b");
    EXPECT_EQ(GetCrashHandlerLastErrorW(buffer, 1), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(GetCrashHandlerLastErrorW(buffer, 6), 5);
    EXPECT_EQ(std::wstring(buffer), L"Crash");
    char narrow[8];
    EXPECT_EQ(GetCrashHandlerLastErrorA(narrow, 8), 7);
    EXPECT_STREQ(narrow, "Crash h");
    EXPECT_EQ(GetCrashHandlerLastErrorA(nullptr, 8), -1);
}

TEST(CCrashHandler, InstallChecksTheRecord) {
    testsupport::TempDir scratch;
    testsupport::writeFile(scratch.file("lang_1402.ini"), "[Settings]\nCrashReportVersion=1402\n");
    testsupport::writeFile(scratch.file("lang_1403.ini"), "; ours\n[Settings]\n CrashReportVersion = 1403\n");
    testsupport::writeFile(scratch.file("plain-file"), "x");
    const std::wstring lang1402 = utf8ToWide(scratch.file("lang_1402.ini"));
    const std::wstring lang1403 = utf8ToWide(scratch.file("lang_1403.ini"));
    const std::wstring emptyFolder = utf8ToWide(scratch.path());
    const std::wstring underAFile = utf8ToWide(scratch.file("plain-file/reports"));
    using Edit = std::function<void(CrashHandlerInstallInfo&)>;
    struct Case {
        const char* what;
        Edit edit;
        int result;
        std::wstring text;
    };
    const Case cases[] = {
        {"as the start-up fills it", [](CrashHandlerInstallInfo&) {}, 0, L"Success."},
        {"flags 0", [](CrashHandlerInstallInfo& i) { i.flags = 0; }, 0, L"Success."},
        {"no version", [](CrashHandlerInstallInfo& i) { i.applicationVersion = nullptr; }, 4,
         L"Application version is not specified."},
        {"empty version", [](CrashHandlerInstallInfo& i) { i.applicationVersion = L""; }, 4,
         L"Application version is not specified."},
        {"icon index -1", [](CrashHandlerInstallInfo& i) { i.customIcon = L"a.ico, -1"; }, 4,
         L"Invalid index of custom icon (it should not equal to -1)."},
        {"icon without index", [](CrashHandlerInstallInfo& i) { i.customIcon = L"a.ico"; }, 0, L"Success."},
        {"icon index 2", [](CrashHandlerInstallInfo& i) { i.customIcon = L"a.ico,2"; }, 0, L"Success."},
        {"zip without don't-send", [](CrashHandlerInstallInfo& i) { i.flags |= CR_INST_STORE_ZIP_ARCHIVES; }, 4,
         L"The flag CR_INST_STORE_ZIP_ARCHIVES should be used with CR_INST_DONT_SEND_REPORT flag."},
        {"zip with don't-send",
         [](CrashHandlerInstallInfo& i) { i.flags |= CR_INST_STORE_ZIP_ARCHIVES | CR_INST_DONT_SEND_REPORT; }, 0,
         L"Success."},
        {"no sender in the folder", [&](CrashHandlerInstallInfo& i) { i.senderFolder = emptyFolder.c_str(); }, 4,
         L"CrashReportSender is not found in the specified path."},
        {"language file 1402", [&](CrashHandlerInstallInfo& i) { i.languageFilePath = lang1402.c_str(); }, 4,
         L"Missing language file or wrong language file version."},
        {"language file given", [&](CrashHandlerInstallInfo& i) { i.languageFilePath = lang1403.c_str(); }, 0,
         L"Success."},
        {"report folder under a file", [&](CrashHandlerInstallInfo& i) { i.reportFolder = underAFile.c_str(); }, 4,
         L"Couldn't create crash report directory."},
    };
    for (const Case& c : cases) {
        Installer installer;
        c.edit(installer.info);
        EXPECT_EQ(InstallCrashHandlerW(&installer.info), c.result) << c.what;
        EXPECT_EQ(lastText(), c.text) << c.what;
        if (c.result != 0) {
            EXPECT_EQ(CCrashHandler::instance(), nullptr) << c.what << ": nothing stays installed";
            continue;
        }
        // A second install changes nothing; after the uninstall every thread reads "No error.".
        EXPECT_EQ(InstallCrashHandlerW(&installer.info), 2) << c.what;
        EXPECT_EQ(lastText(), L"Can't install crash handler to the same process twice.");
        EXPECT_EQ(UninstallCrashHandler(), 0) << c.what;
        EXPECT_EQ(lastText(), L"No error.");
        EXPECT_EQ(AddCrashReportPropertyW(L"a", L"b"), 1) << c.what;
    }

    // A language file missing altogether, and the narrow record.
    crashtest::SenderFolder noLanguage;
    std::filesystem::remove(noLanguage.dir.file("crashreport_lang.ini"));
    Installer installer;
    CrashHandlerInstallInfoA narrow;
    narrow.cb = kInstallInfoCb;
    narrow.applicationVersion = "1.0";
    narrow.senderFolder = noLanguage.path().c_str();
    narrow.reportFolder = installer.reports.path().c_str();
    EXPECT_EQ(InstallCrashHandlerA(&narrow), 4);
    EXPECT_EQ(lastText(), L"Missing language file or wrong language file version.");
    narrow.senderFolder = installer.senders.path().c_str();
    EXPECT_EQ(InstallCrashHandlerA(&narrow), 0);
    EXPECT_EQ(installer.description().stringAt(hdr::kAppName), "crashreport_tests") << "the executable's name";
}

TEST(CCrashHandler, InstallValuesReachTheDescription) {
    testsupport::TempDir state;
    testsupport::ScopedEnv stateHome("XDG_STATE_HOME", state.path().c_str());
    struct Case {
        const wchar_t* recipient;
        const wchar_t* subject;
        const wchar_t* proxy;
        int restartTimeout;
        std::string expectRecipient;
        std::uint32_t expectPort;
        std::string expectSubject;
        std::uint32_t expectProxyPort;
        std::int32_t expectTimeout;
    };
    const Case cases[] = {
        {L"a@b.c:2525", nullptr, nullptr, 0, "a@b.c", 2525, "NimbrostaClient 0.0.33-2-gc4ebe4b Error Report", 25, 60},
        {L"a@b.c", L"Crash!", L"proxy:8080", 7, "a@b.c", 25, "Crash!", 8080, 7},
        {nullptr, L"", L"proxy", -3, "", 25, "NimbrostaClient 0.0.33-2-gc4ebe4b Error Report", 25, 60},
    };
    for (const Case& c : cases) {
        Installer installer;
        installer.info.reportFolder = nullptr;
        installer.info.emailRecipient = c.recipient;
        installer.info.emailSubject = c.subject;
        installer.info.smtpProxy = c.proxy;
        installer.info.restartTimeout = c.restartTimeout;
        ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0) << wideToUtf8(lastText());
        const CrashDescriptionReader d = installer.description();
        ASSERT_TRUE(d.valid());
        EXPECT_EQ(d.stringAt(hdr::kEmailRecipient), c.expectRecipient);
        EXPECT_EQ(d.u32(hdr::kSmtpPort), c.expectPort);
        EXPECT_EQ(d.stringAt(hdr::kEmailSubject), c.expectSubject);
        EXPECT_EQ(d.u32(hdr::kSmtpProxyPort), c.expectProxyPort);
        EXPECT_EQ(d.i32(hdr::kRestartTimeout), c.expectTimeout);
        // The default report folder and its logs folder are made under the local data folder.
        const std::string folder = state.path() + "/CrashReport/UnsentCrashReports/NimbrostaClient_0.0.33-2-gc4ebe4b";
        EXPECT_EQ(d.stringAt(hdr::kReportFolder), folder);
        EXPECT_TRUE(std::filesystem::is_directory(folder + "/Logs"));
        EXPECT_EQ(d.stringAt(hdr::kLanguageFile), installer.senders.path() + "/crashreport_lang.ini");
        EXPECT_EQ(d.u32(hdr::kMinidumpType), 0x61944u);
        EXPECT_EQ(d.u32(hdr::kFlags), CR_INST_ALL_HOOKS);
        EXPECT_EQ(d.u32(hdr::kProcessId), static_cast<std::uint32_t>(getpid()));
        EXPECT_EQ(d.i32(hdr::kCrashInProgress), 0);
        // The callback is told the folder of this report.
        const CCrashHandler* h = CCrashHandler::instance();
        EXPECT_EQ(wideToUtf8(h->callbackFolder()),
                  folder + "/NimbrostaClient_0.0.33-2-gc4ebe4b/" + d.stringAt(hdr::kCrashId));
    }
}

TEST(CCrashHandler, InstallRemovesTheNamesOfAKilledProcess) {
    // A process killed outright cannot remove its shared names; the next install does.
    crashtest::SenderFolder senders;
    testsupport::TempDir reports;
    testsupport::TempDir io;
    platform::ProcessHandle idle;
    ASSERT_EQ(platform::spawnProcess(crashtest::childProgram(), {senders.path(), reports.path(), "idle"}, idle), 0);
    // The child's description is the one that names its process.
    std::vector<std::string> added;
    for (int i = 0; i < 500 && added.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const std::string& name : crashtest::crashNames()) {
            std::string header(216, '\0');
            std::ifstream("/dev/shm/" + name, std::ios::binary).read(&header[0], 216);
            const CrashDescriptionReader d(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
            if (name.size() == 36 && d.u32(hdr::kProcessId) == static_cast<std::uint32_t>(idle.pid))
                added = {name, "sem.CrashReportEvent_" + name};
        }
    }
    ASSERT_FALSE(added.empty());
    platform::terminateProcess(idle);
    platform::waitForExit(idle, 5000);
    platform::releaseProcess(idle);
    for (const std::string& name : added) EXPECT_TRUE(std::filesystem::exists("/dev/shm/" + name)) << name;

    Installer installer;
    ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0);
    for (const std::string& name : added) EXPECT_FALSE(std::filesystem::exists("/dev/shm/" + name)) << name;
}

TEST(CCrashHandler, ThreadHooksAndUninstall) {
    Installer installer;
    stack_t before{};
    sigaltstack(nullptr, &before);
    ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0);
    stack_t stack{};
    sigaltstack(nullptr, &stack);
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, 0) << "the installing thread runs its handlers on a stack of its own";
    EXPECT_NE(stack.ss_sp, before.ss_sp);

    EXPECT_EQ(InstallCrashHandlerForThread(0), 2);
    EXPECT_EQ(lastText(), L"Can't install handlers for current thread twice.");
    std::thread([] {
        EXPECT_EQ(UninstallCrashHandlerForThread(), 2);
        EXPECT_EQ(lastText(), L"Crash handler wasn't previously installed for current thread.");
        EXPECT_EQ(InstallCrashHandlerForThreadDefault(), 0);
        EXPECT_EQ(InstallCrashHandlerForThread(CR_INST_SIGSEGV_HOOK), 2);
        EXPECT_EQ(UninstallCrashHandlerForThread(), 0);
        EXPECT_EQ(lastText(), L"No error.") << "the thread's entry is gone";
        EXPECT_EQ(InstallCrashHandlerForThread(CR_INST_SIGSEGV_HOOK), 0) << "again after removing";
        // Uninstalling the process from a thread without the installer's hooks is refused.
        EXPECT_EQ(UninstallCrashHandlerForThread(), 0);
        EXPECT_EQ(UninstallCrashHandler(), 2);
        EXPECT_NE(CCrashHandler::instance(), nullptr);
        // A thread that ends with its hooks gives them back by itself.
        EXPECT_EQ(InstallCrashHandlerForThreadDefault(), 0);
    }).join();

    const std::string crashId = wideToUtf8(CCrashHandler::instance()->crashId());
    EXPECT_EQ(UninstallCrashHandler(), 0);
    for (const std::string& name : crashtest::crashNames())
        EXPECT_EQ(name.find(crashId), std::string::npos) << name << " outlived the handler";
    sigaltstack(nullptr, &stack);
    EXPECT_EQ(stack.ss_sp, before.ss_sp) << "the thread's previous alternate stack is back";
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, before.ss_flags & SS_DISABLE);
    EXPECT_EQ(InstallCrashHandlerForThread(0), 1);
    EXPECT_EQ(InstallCrashHandlerW(&installer.info), 0) << "a new install after the uninstall";
    EXPECT_EQ(UninstallCrashHandler(), 0);
}

TEST(CCrashHandler, ReportContentsFollowTheirRules) {
    Installer installer;
    testsupport::TempDir files;
    testsupport::TempDir registry;
    testsupport::ScopedEnv registryRoot("NIMBROSTA_REGISTRY_ROOT", registry.path().c_str());
    ASSERT_TRUE(platform::registrySetString(platform::RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Lang", "en"));
    testsupport::writeFile(files.file("app.txt"), "log");
    const std::wstring appTxt = utf8ToWide(files.file("app.txt"));
    const std::wstring folder = utf8ToWide(files.path());
    const std::wstring missing = utf8ToWide(files.file("missing.txt"));
    const std::wstring pattern = utf8ToWide(files.file("*.log"));
    ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0);

    struct Case {
        const char* what;
        std::function<int()> run;
        int result;
        std::wstring text;
    };
    const std::wstring keyError = L"Invalid parameter or key doesn't exist.";
    const Case cases[] = {
        {"file: no source", [] { return AddCrashReportFileW(nullptr, nullptr, nullptr, 0); }, 2, L"Invalid file name specified."},
        {"file: blank destination", [&] { return AddCrashReportFileW(appTxt.c_str(), L" \t ", nullptr, 0); }, 2,
         L"Invalid destination file name specified."},
        {"file: missing", [&] { return AddCrashReportFileW(missing.c_str(), nullptr, nullptr, 0); }, 2,
         L"The file does not exists or not a regular file."},
        {"file: a folder", [&] { return AddCrashReportFileW(folder.c_str(), L"f", nullptr, 0); }, 2,
         L"The file does not exists or not a regular file."},
        {"file: missing with 0x2", [&] { return AddCrashReportFileW(missing.c_str(), nullptr, nullptr, 0x2); }, 0, L"Success."},
        {"file: named by its last part", [&] { return AddCrashReportFileW(appTxt.c_str(), nullptr, L"log", 0x5); }, 0,
         L"Success."},
        {"file: the same name again", [&] { return AddCrashReportFileW(appTxt.c_str(), nullptr, nullptr, 0); }, 2,
         L"A file with such a destination name already exists."},
        {"file: a pattern", [&] { return AddCrashReportFileW(pattern.c_str(), L"ignored", nullptr, 0); }, 0, L"Success."},
        {"file: the pattern again replaces it", [&] { return AddCrashReportFileW(pattern.c_str(), nullptr, nullptr, 0); }, 0,
         L"Success."},
        {"property: empty name", [] { return AddCrashReportPropertyW(L"", L"x"); }, 2, L"Invalid property name specified."},
        {"property", [] { return AddCrashReportPropertyW(L"build", L"42"); }, 0, L"Success."},
        {"property: replaced", [] { return AddCrashReportPropertyW(L"build", L"43"); }, 0, L"Success."},
        {"key: no destination", [] { return AddCrashReportRegKeyW(L"HKEY_CURRENT_USER\\Software", nullptr, 0); }, 2, keyError},
        {"key: destination with a backslash",
         [] { return AddCrashReportRegKeyW(L"HKEY_CURRENT_USER\\Software\\Nimbrosta", L"a\\b", 0); }, 2, keyError},
        {"key: classes root", [] { return AddCrashReportRegKeyW(L"HKEY_CLASSES_ROOT\\x", L"a.reg", 0); }, 2, keyError},
        {"key: lower case", [] { return AddCrashReportRegKeyW(L"hkey_current_user\\Software", L"a.reg", 0); }, 2, keyError},
        {"key: empty subkey", [] { return AddCrashReportRegKeyW(L"HKEY_CURRENT_USER\\", L"a.reg", 0); }, 2, keyError},
        {"key: missing", [] { return AddCrashReportRegKeyW(L"HKEY_LOCAL_MACHINE\\Software\\None", L"a.reg", 0); }, 2, keyError},
        {"key", [] { return AddCrashReportRegKeyW(L"HKEY_CURRENT_USER\\Software\\Nimbrosta", L"settings.reg", 1); }, 0, L"Success."},
        {"screenshot: quality 101", [] { return AddCrashReportScreenshotEx(0, 101); }, 1, L"Invalid Jpeg quality."},
        {"screenshot: quality -1", [] { return AddCrashReportScreenshotEx(0, -1); }, 1, L"Invalid Jpeg quality."},
        {"screenshot: quality 100", [] { return AddCrashReportScreenshotEx(3, 100); }, 0, L"Success."},
        {"video: duration 600001", [] { return AddCrashReportVideo(0, 600001, 0, nullptr, 0); }, 2, L"Invalid video duration."},
        {"video: interval -1", [] { return AddCrashReportVideo(0, 1000, -1, nullptr, 0); }, 3, L"Invalid frame interval."},
        {"video: interval above the duration", [] { return AddCrashReportVideo(0, 1000, 1001, nullptr, 0); }, 3,
         L"Invalid frame interval."},
        {"video: 600000, interval equal", [] { return AddCrashReportVideo(1, 600000, 600000, nullptr, 0); }, 0, L"Success."},
        {"video: twice", [] { return AddCrashReportVideo(0, 0, 0, nullptr, 0); }, 4, L"Can not add video recording twice."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.result) << c.what;
        EXPECT_EQ(lastText(), c.text) << c.what;
    }
    // Below the interface a bad registry destination leaves the starting text.
    crashreport::CrashDescriptionReader d = installer.description();
    EXPECT_EQ(CCrashHandler::instance()->addRegKey(L"HKEY_CURRENT_USER\\Software", L"a\nb", 0), 1);

    // What the handler keeps, and what the description says.
    const auto& kept = CCrashHandler::instance()->files();
    ASSERT_EQ(kept.count(L"app.txt"), 1u);
    EXPECT_EQ(kept.at(L"app.txt").firstOption, 1);
    EXPECT_EQ(kept.at(L"app.txt").secondOption, 1);
    EXPECT_EQ(kept.count(L"*.log"), 1u);
    EXPECT_EQ(kept.count(L"missing.txt"), 1u);
    EXPECT_EQ(d.u32(hdr::kFileCount), 4u) << "the replaced pattern adds a block";
    EXPECT_EQ(d.u32(hdr::kPropertyCount), 2u);
    EXPECT_EQ(d.u32(hdr::kRegKeyCount), 1u);
    EXPECT_EQ(d.i32(hdr::kScreenshotRequested), 1);
    EXPECT_EQ(d.u32(hdr::kScreenshotFlags), 3u);
    EXPECT_EQ(d.i32(hdr::kJpegQuality), 100);
    EXPECT_EQ(d.i32(hdr::kVideoStart), 1);
    EXPECT_EQ(d.i32(hdr::kVideoDuration), 600000);
    EXPECT_EQ(d.i32(hdr::kVideoFrameInterval), 600000);

    // The next report's description holds each kept item once.
    ReportExceptionInfo info;
    info.size = kExceptionInfoSize;
    info.manual = 1;
    const std::string firstId = d.stringAt(hdr::kCrashId);
    EXPECT_EQ(GenerateCrashReport(&info), 0);
    EXPECT_GT(info.senderProcess, 0);
    waitpid(info.senderProcess, nullptr, 0);
    d = installer.description();
    EXPECT_NE(d.stringAt(hdr::kCrashId), firstId);
    EXPECT_EQ(d.u32(hdr::kFileCount), 3u);
    EXPECT_EQ(d.u32(hdr::kPropertyCount), 1u);
    EXPECT_EQ(d.i32(hdr::kVideoStart), 1) << "capture starts again after a report that goes on";
    EXPECT_EQ(d.u32(hdr::kVideoFlags), 0x11u);
}

TEST(CrashDescription, LayoutOfHeaderStringsAndItems) {
    Installer installer;
    testsupport::TempDir files;
    testsupport::writeFile(files.file("app.txt"), "log");
    installer.info.emailSubject = L"S";
    installer.info.customIcon = L"icon.png";
    const std::wstring longText(40000, L'x');
    installer.info.emailText = longText.c_str();
    ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0);
    const CCrashHandler* h = CCrashHandler::instance();
    CrashDescriptionReader d = installer.description();
    ASSERT_TRUE(d.valid());
    EXPECT_EQ(std::memcmp(h->mainDescription(), "CRD\0", 4), 0);
    EXPECT_EQ(d.u16(hdr::kHeaderSize), 216);
    EXPECT_EQ(d.u32(hdr::kVersion), 1403u);

    // Seventeen strings after the header, in their order, each at the total before it.
    const std::size_t fields[] = {hdr::kAppName,        hdr::kAppVersion,   hdr::kCrashId,       hdr::kExecutablePath,
                                  hdr::kLanguageFile,   hdr::kDebugHelpPath, hdr::kRestartCommandLine,
                                  hdr::kPrivacyPolicyUrl, hdr::kReportFolder, hdr::kCustomIcon,  hdr::kUploadUrl,
                                  hdr::kEmailRecipient, hdr::kEmailSubject, hdr::kEmailText,     hdr::kSmtpProxy,
                                  hdr::kSmtpLogin,      hdr::kSmtpPassword};
    std::size_t expected = 216;
    for (const std::size_t field : fields) {
        EXPECT_EQ(d.u32(field), expected) << field;
        expected += 6 + 2 * utf8ToWide(d.stringAt(field)).size();
    }
    EXPECT_EQ(d.u32(hdr::kTotalSize), expected);
    EXPECT_EQ(d.u16(d.u32(hdr::kAppName) + 4), stringBlock(L"NimbrostaClient")) << "36 bytes";
    EXPECT_EQ(d.u16(d.u32(hdr::kSmtpLogin) + 4), 6u) << "an empty string";
    // Texts are capped so that a string block's size fits its 16 bits.
    EXPECT_EQ(d.u16(d.u32(hdr::kEmailText) + 4), 65534u);
    EXPECT_EQ(d.stringAt(hdr::kEmailText), std::string(crashreport::kMaxStringUnits, 'x'));
    EXPECT_EQ(d.stringAt(hdr::kCustomIcon), "icon.png");

    // A file block: 28 bytes and its three strings.
    const std::size_t fileAt = d.u32(hdr::kTotalSize);
    const std::wstring source = utf8ToWide(files.file("app.txt"));
    ASSERT_EQ(AddCrashReportFileW(source.c_str(), L"app.txt", L"", 1), 0);
    EXPECT_EQ(d.tag(fileAt), "FIL");
    EXPECT_EQ(d.u16(fileAt + 4), 28 + stringBlock(source) + 20 + 6);
    EXPECT_EQ(d.u32(fileAt + 8), fileAt + 28);
    EXPECT_EQ(d.stringAt(fileAt + 8), files.file("app.txt"));
    EXPECT_EQ(d.stringAt(fileAt + 12), "app.txt");
    EXPECT_EQ(d.stringAt(fileAt + 16), "");
    EXPECT_EQ(d.u32(fileAt + 20), 1u);
    EXPECT_EQ(d.u32(hdr::kFileCount), 1u);

    // A property and a registry key; a text beyond the basic plane takes two units a character.
    const std::size_t propertyAt = d.u32(hdr::kTotalSize);
    ASSERT_EQ(AddCrashReportPropertyW(L"n", L"\U0001F600"), 0);
    EXPECT_EQ(d.tag(propertyAt), "CPR");
    EXPECT_EQ(d.u16(propertyAt + 4), 16u + 8 + 10);
    EXPECT_EQ(d.stringAt(propertyAt + 12), "\xF0\x9F\x98\x80");

    // An item whose block with its strings would not fit its 16-bit size is refused and
    // nothing is appended.
    const std::size_t before = d.u32(hdr::kTotalSize);
    EXPECT_EQ(AddCrashReportPropertyW(L"long", longText.c_str()), 2);
    EXPECT_EQ(lastText(), L"The crash description has no room for this item.");
    EXPECT_EQ(d.u32(hdr::kTotalSize), before);
    EXPECT_EQ(d.u32(hdr::kPropertyCount), 1u);
}

TEST(CrashDescription, TheSenderStartedAtInstallGetsATemporaryDescription) {
    Installer installer;
    testsupport::TempDir saved;
    testsupport::ScopedEnv out("NIMBROSTA_TEST_SENDER_OUT", saved.path().c_str());
    installer.info.flags |= CR_INST_START_SENDER_AT_INSTALL;
    ASSERT_EQ(InstallCrashHandlerW(&installer.info), 0) << wideToUtf8(lastText());
    const std::string crashId = wideToUtf8(CCrashHandler::instance()->crashId());
    const auto descriptions = crashtest::savedDescriptions(saved.path());
    ASSERT_EQ(descriptions.size(), 1u);
    EXPECT_EQ(descriptions[0].name, crashId + "-tmp");
    const CrashDescriptionReader temporary = descriptions[0].reader();
    EXPECT_EQ(temporary.i32(hdr::kQueuedMode), 1);
    EXPECT_EQ(temporary.stringAt(hdr::kCrashId), crashId);
    const CrashDescriptionReader main = installer.description();
    EXPECT_EQ(main.i32(hdr::kQueuedMode), 0);
    EXPECT_EQ(main.u32(hdr::kTotalSize), temporary.u32(hdr::kTotalSize)) << "the same description, untouched";
    for (const std::string& name : crashtest::crashNames())
        EXPECT_NE(name, crashId + "-tmp") << "the temporary block's name is gone";
}

TEST(DescriptionWriter, NeverWritesPastTheBlock) {
    // A block just big enough for the header, a few items and the room kept for a crash.
    const std::size_t capacity = DescriptionWriter::kCrashReserve + 216 + 100;
    std::string block(capacity + 64, '\x5A');
    DescriptionWriter w;
    w.attach(reinterpret_cast<std::uint8_t*>(&block[0]), capacity);
    w.startHeader();
    int written = 0;
    while (w.writeProperty(L"name", L"value") != 0) ++written;
    EXPECT_EQ(written, 2) << "two 46-byte blocks fit in 100 bytes";
    EXPECT_EQ(w.total(), 216u + 2 * 46);
    EXPECT_EQ(w.writeString(L"12345678901234567890"), 0u) << "items and texts stay out of the crash's room";
    // The crash itself may use its room, up to the end and no further.
    EXPECT_NE(w.reserveContext(), 0u);
    std::size_t crashStrings = 0;
    const std::wstring text(crashreport::kMaxStringUnits, L'y');
    while (w.writeString(text.c_str(), true) != 0) ++crashStrings;
    EXPECT_EQ(crashStrings, 3u);
    EXPECT_LE(w.total(), capacity);
    EXPECT_EQ(block.substr(capacity), std::string(64, '\x5A'));
}

TEST(CFileMappingBlock, ViewsAtAnyOffsetAndExclusiveNames) {
    const std::wstring name = L"nimbrosta-test-block-" + std::to_wstring(getpid());
    CFileMappingBlock block;
    EXPECT_EQ(block.init(name, true, 0, 0), 0) << "no such block yet";
    ASSERT_EQ(block.init(name, false, 3 * 4096, 0), 1);
    EXPECT_EQ(block.init(name, false, 4096, 0), 0) << "one block at a time";
    CFileMappingBlock other;
    EXPECT_EQ(other.init(name, false, 4096, 0), 0) << "a name in use is never taken over";
    auto* at5000 = static_cast<char*>(block.createView(5000, 100));
    auto* whole = static_cast<char*>(block.createView(0, 3 * 4096));
    ASSERT_NE(at5000, nullptr);
    ASSERT_NE(whole, nullptr);
    std::memcpy(at5000, "view", 4);
    EXPECT_EQ(std::memcmp(whole + 5000, "view", 4), 0);
    block.destroyView(at5000);
    block.destroyView(at5000 + 1);  // not a view: ignored
    EXPECT_EQ(other.init(name, true, 0, 0), 1);
    EXPECT_EQ(other.size(), 3u * 4096);
    EXPECT_EQ(block.close(), 1);
    EXPECT_FALSE(block.isOpen());
    CFileMappingBlock::unlinkName(name);
    CFileMappingBlock gone;
    EXPECT_EQ(gone.init(name, true, 0, 0), 0);
}

TEST(useCrashHandler, TheStartUpInstallsThroughTheHandler) {
    crashtest::SenderFolder senders;
    testsupport::TempDir state;
    testsupport::ScopedEnv stateHome("XDG_STATE_HOME", state.path().c_str());
    const std::wstring folder = utf8ToWide(senders.path());
    useCrashHandler();
    struct Case {
        const char* uploadOverride;
        std::string upload;
    };
    for (const Case& c : {Case{nullptr, "https://crash.nimbrosta.net/dump_win"},
                          Case{"http://127.0.0.1:9/dump_win", "http://127.0.0.1:9/dump_win"}}) {
        testsupport::ScopedEnv upload("NIMBROSTA_CRASH_UPLOAD_URL", c.uploadOverride);
        ASSERT_TRUE(InstallCrashReporting(L"NimbrostaClient", L"0.0.33-2-gc4ebe4b", true, folder.c_str()));
        const CCrashHandler* h = CCrashHandler::instance();
        ASSERT_NE(h, nullptr);
        const CrashDescriptionReader d(h->mainDescription(), crashreport::kSharedBlockSize);
        EXPECT_EQ(d.stringAt(hdr::kUploadUrl), c.upload);
        EXPECT_EQ(d.u32(hdr::kFlags), 0x1FFFu);
        EXPECT_EQ(d.u32(hdr::kMinidumpType), 0x61944u);
        EXPECT_EQ(d.stringAt(hdr::kAppVersion), "0.0.33-2-gc4ebe4b");
        EXPECT_EQ(UninstallCrashReporting(), 0);
    }
    // Without a sender the start-up prints the handler's text and goes on.
    testsupport::TempDir empty;
    const std::wstring emptyFolder = utf8ToWide(empty.path());
    bool installed = true;
    const std::string out = testsupport::captureStdout(
        [&] { installed = InstallCrashReporting(L"NimbrostaClient", L"0.0.33-2-gc4ebe4b", true, emptyFolder.c_str()); });
    EXPECT_FALSE(installed);
    EXPECT_EQ(out, "CrashReportSender is not found in the specified path.\n");
    EXPECT_EQ(UninstallCrashReporting(), 1);
    setCrashReporterBackend(CrashReporterBackend());
}
