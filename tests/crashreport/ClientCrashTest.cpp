// The client's own crash test: `NimbrostaClient --crash test` faults at once, and the
// crash handler that the start-up installed leaves a report and sends it.

#include <gtest/gtest.h>

#include <filesystem>

#include "ClientTestSupport.h"
#include "CrashTestSupport.h"
#include "StubService.h"

TEST(NimbrostaClient, CrashTestLeavesAReportAndSendsIt) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer owns the fault signals";
#endif
    StubService stub;
    testsupport::TempDir state;
    testsupport::ScopedEnv stateHome("XDG_STATE_HOME", state.path().c_str());
    testsupport::ScopedEnv ca("NIMBROSTA_EXTRA_ROOT_CA", stub.caPath().c_str());
    testsupport::ScopedEnv upload("NIMBROSTA_CRASH_UPLOAD_URL", (stub.baseUrl() + "/dump_win").c_str());
    clienttest::Installation app;
    for (const char* file : {"CrashReportSender", "crashreport_lang.ini"})
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/" + file, app.lib + "/" + file);

    crashtest::becomeSubreaper();
    const std::vector<pid_t> before = crashtest::childrenOfThisProcess();
    EXPECT_EQ(app.run({"--access_token", "t", "--crash", "test"}), 1) << app.out() << app.err();
    EXPECT_TRUE(crashtest::waitForOrphans(20000, before)) << "the sender ends";

    const std::string reports =
        state.path() + "/CrashReport/UnsentCrashReports/NimbrostaClient_0.0.33-2-gc4ebe4b/NimbrostaClient_0.0.33-2-gc4ebe4b";
    std::vector<std::string> folders;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(reports, ec)) folders.push_back(entry.path().string());
    ASSERT_EQ(folders.size(), 1u) << app.out() << app.err();
    const std::string summary = testsupport::readFile(folders[0] + "/crashinfo.txt");
    EXPECT_NE(summary.find("Application: NimbrostaClient 0.0.33-2-gc4ebe4b\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Report type: 11 (SIGSEGV)\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("parseCommandLine"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"Main Thread\" (crashed)"), std::string::npos) << summary;
    EXPECT_TRUE(std::filesystem::file_size(folders[0] + "/crashdump.bin") > 0);
    EXPECT_NE(app.err().find("The crash report was sent."), std::string::npos) << app.err();

    int uploads = 0;
    for (const LoggedRequest& r : stub.log())
        if (r.method == "POST" && r.path == "/dump_win") ++uploads;
    EXPECT_EQ(uploads, 1);
    const std::string crashId = std::filesystem::path(folders[0]).filename().string();
    for (const std::string& name : crashtest::crashNames()) EXPECT_EQ(name.find(crashId), std::string::npos) << name;
}
