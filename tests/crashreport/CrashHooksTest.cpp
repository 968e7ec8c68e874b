// Crashes in child processes: every test crash type ends the child with exit code 1 after
// the stand-in sender saw the description of that crash; callbacks cancel reports or let
// the process go on; the wait for the sender is bounded; no shared name is left behind.
//
// Sanitizer builds skip those that fault: AddressSanitizer owns the fault signals, the
// allocation limits and the stack checks that these crashes go through.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "CrashTestSupport.h"
#include "crashreport/CrashHandlerApi.h"

using crashreport::CrashDescriptionReader;
namespace hdr = crashreport::hdr;
namespace ctx = crashreport::ctx;

namespace {

// Runs one scenario with the stand-in sender saving what it saw.
struct StubRun {
    crashtest::SenderFolder senders;
    testsupport::TempDir reports;
    testsupport::TempDir saved;
    crashtest::ChildRun child;

    explicit StubRun(const std::vector<std::string>& args) {
        testsupport::ScopedEnv out("NIMBROSTA_TEST_SENDER_OUT", saved.path().c_str());
        child = crashtest::runChild(senders.path(), reports.path(), args);
    }
    std::vector<crashtest::SavedDescription> descriptions() const { return crashtest::savedDescriptions(saved.path()); }
};

void expectNoNamesOf(const std::string& crashId) {
    for (const std::string& name : crashtest::crashNames())
        EXPECT_EQ(name.find(crashId), std::string::npos) << name << " was left behind";
}

}  // namespace

TEST(CrashHooks, EveryTestCrashEndsInAReport) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    struct Case {
        const char* type;
        std::int32_t reportType;
        std::uint32_t code;    // for report type 0
        std::uint32_t signal;  // in the context block; 0 when the report came from no signal
        const char* flags;
    };
    const Case cases[] = {
        {"0", kReportSigsegv, 0, SIGSEGV, "0x1FFF"},
        {"0", kReportSigsegv, 0, SIGSEGV, "0"},  // a selection of 0 means every hook
        {"1", kReportTerminate, 0, 0, "0x1FFF"},
        {"2", kReportUnexpected, 0, 0, "0x1FFF"},
        {"3", kReportPureCall, 0, 0, "0x1FFF"},
        {"4", kReportNewFailure, 0, 0, "0x1FFF"},
        {"5", kReportSigabrt, 0, SIGABRT, "0x1FFF"},  // the stack protector aborts
        {"6", kReportInvalidParameter, 0, 0, "0x1FFF"},
        {"7", kReportSigabrt, 0, SIGABRT, "0x1FFF"},
        {"8", kReportSigfpe, 0, SIGFPE, "0x1FFF"},
        {"9", kReportSigill, 0, SIGILL, "0x1FFF"},
        {"10", kReportSigint, 0, SIGINT, "0x1FFF"},
        {"11", kReportSigsegv, 0, SIGSEGV, "0x1FFF"},
        {"12", kReportSigterm, 0, SIGTERM, "0x1FFF"},
        {"32", kReportFilter, 123, SIGTRAP, "0x1FFF"},
        {"33", kReportTerminate, 0, 0, "0x1FFF"},
        {"34", kReportFilter, kCodeStackOverflow, SIGSEGV, "0x1FFF"},
        {"34", kReportSigsegv, 0, SIGSEGV, "0x800"},  // without the filter the thread hook reports it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("type ") + c.type + " flags " + c.flags);
        const auto started = std::chrono::steady_clock::now();
        const StubRun run({"crash", c.type, c.flags});
        EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        const auto saved = run.descriptions();
        ASSERT_EQ(saved.size(), 1u) << run.child.out << run.child.err;
        const CrashDescriptionReader d = saved[0].reader();
        ASSERT_TRUE(d.valid());
        EXPECT_EQ(saved[0].name, d.stringAt(hdr::kCrashId));
        EXPECT_EQ(d.i32(hdr::kCrashInProgress), 1);
        EXPECT_EQ(d.u32(hdr::kProcessId), static_cast<std::uint32_t>(run.child.pid));
        EXPECT_EQ(d.u32(hdr::kThreadId), static_cast<std::uint32_t>(run.child.pid)) << "the main thread crashed";
        EXPECT_EQ(d.i32(hdr::kReportType), c.reportType);
        EXPECT_EQ(d.i32(hdr::kQueuedMode), 0);
        if (c.reportType == kReportFilter) {
            EXPECT_EQ(d.u32(hdr::kExceptionCode), c.code);
        }
        if (c.reportType == kReportSigfpe) {
            EXPECT_EQ(d.i32(hdr::kFpeSubcode), FPE_FLTDIV);
        }
        if (c.reportType == kReportInvalidParameter) {
            EXPECT_EQ(d.stringAt(hdr::kExpression), "format != nullptr");
            EXPECT_EQ(d.stringAt(hdr::kFunction), "printf");
            EXPECT_GT(d.u32(hdr::kLine), 0u);
        }
        const std::size_t at = d.u32(hdr::kExceptionPointers);
        ASSERT_EQ(d.tag(at), "CTX");
        EXPECT_EQ(d.u32(at + ctx::kSignal), c.signal);
        EXPECT_EQ(d.u32(at + ctx::kThreadId), static_cast<std::uint32_t>(run.child.pid));
        EXPECT_EQ(d.u32(at + ctx::kRegisterCount), ctx::kMaxRegisters);
        EXPECT_GT(d.u32(at + ctx::kFrameCount), 1u);
        EXPECT_EQ((d.u32(at + ctx::kFlags) & crashreport::kCtxStackOverflow) != 0, std::string(c.type) == "34");
        expectNoNamesOf(saved[0].name);
    }
}

TEST(CrashHooks, FaultsOfOtherThreadsReachTheProcessFilter) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    const StubRun run({"unhooked-thread"});
    EXPECT_EQ(run.child.status, 1);
    const auto saved = run.descriptions();
    ASSERT_EQ(saved.size(), 1u);
    const CrashDescriptionReader d = saved[0].reader();
    EXPECT_EQ(d.i32(hdr::kReportType), kReportFilter);
    EXPECT_EQ(d.u32(hdr::kExceptionCode), static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_NE(d.u32(hdr::kThreadId), static_cast<std::uint32_t>(run.child.pid));
}

TEST(CrashHooks, ACallbackLetsReportsGoOnButNeverAfterAFault) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    const StubRun run({"continue"});
    EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
    const std::string& out = run.child.out;
    EXPECT_NE(out.find("continued 10 0 Error raising SIGINT.\n"), std::string::npos) << out;
    EXPECT_NE(out.find("continued 11 0 Error raising SIGSEGV.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("after the fault"), std::string::npos) << out;
    // Three reports, each with its own crash id; the callback heard of each twice.
    const auto saved = run.descriptions();
    ASSERT_EQ(saved.size(), 3u);
    std::vector<std::int32_t> types;
    for (const auto& s : saved) {
        types.push_back(s.reader().i32(hdr::kReportType));
        EXPECT_NE(out.find("stage 10 " + run.reports.path() + "/NimbrostaClient_0.0.33-2-gc4ebe4b/" + s.name + "\n"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("stage 20 " + run.reports.path() + "/NimbrostaClient_0.0.33-2-gc4ebe4b/" + s.name + "\n"),
                  std::string::npos);
        expectNoNamesOf(s.name);
    }
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::int32_t>{kReportSigint, kReportSigsegv, kReportSigsegv}));
}

TEST(CrashHooks, ACallbackCancelsReports) {
    const StubRun run({"cancel"});
    EXPECT_EQ(run.child.status, 0) << run.child.out << run.child.err;
    EXPECT_EQ(run.child.out,
              "stage 10\n"
              "generate 2 The operation was cancelled by client.\n"
              "stage 10\n"
              "raised 0 Error raising SIGTERM.\n"
              "reinstall 0\n"
              "legacy 0 Error raising SIGINT.\n"
              "uninstall 0\n");
    EXPECT_TRUE(run.descriptions().empty()) << "no sender was started";
}

TEST(CrashHooks, TheWaitEndsWhenTheSenderIsGone) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    // A sender that ends without setting the crash event, and one that cannot start.
    testsupport::TempDir scripts;
    testsupport::writeFile(scripts.file("quits"), "#!/bin/sh\nexit 0\n");
    testsupport::writeFile(scripts.file("not-a-program"), "plain text\n");
    chmod(scripts.file("quits").c_str(), 0755);
    for (const char* sender : {"quits", "not-a-program"}) {
        SCOPED_TRACE(sender);
        crashtest::SenderFolder senders(scripts.file(sender));
        testsupport::TempDir reports;
        const auto started = std::chrono::steady_clock::now();
        const crashtest::ChildRun child = crashtest::runChild(senders.path(), reports.path(), {"crash", "0"});
        EXPECT_EQ(child.status, 1);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        if (std::string(sender) == "not-a-program") {
            EXPECT_NE(child.err.find("has stopped working: Error launching CrashReportSender"), std::string::npos)
                << child.err;
        }
    }
}
