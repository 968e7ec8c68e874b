// Crashes in child processes: every test crash type ends the child with exit code 1 after
// the stand-in sender saw the description of that crash; callbacks cancel reports or let
// the process go on; the wait for the sender is bounded; no shared name is left behind.
//
// Sanitizer builds skip those that fault: AddressSanitizer owns the fault signals, the
// allocation limits and the stack checks that these crashes go through.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>

#include "CrashTestSupport.h"
#include "ProgramRun.h"
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

// No description in /dev/shm belongs to the process (its events are named after the
// description's crash id, so they go with it).
void expectNoNamesOfProcess(pid_t pid) {
    for (const std::string& id : crashtest::descriptionsOfProcess(pid)) ADD_FAILURE() << "description " << id << " was left behind";
}

bool x11lessWaitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
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

TEST(CrashHooks, AStackOverflowOnAPoolWorkerIsReported) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    const StubRun run({"pool-overflow"});
    EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
    const auto saved = run.descriptions();
    ASSERT_EQ(saved.size(), 1u) << run.child.out << run.child.err;
    const CrashDescriptionReader d = saved[0].reader();
    EXPECT_EQ(d.i32(hdr::kReportType), kReportFilter);
    EXPECT_EQ(d.u32(hdr::kExceptionCode), kCodeStackOverflow);
    const auto workerAt = run.child.out.find("worker ");
    ASSERT_NE(workerAt, std::string::npos) << run.child.out;
    EXPECT_EQ(d.u32(hdr::kThreadId), static_cast<std::uint32_t>(std::stoul(run.child.out.substr(workerAt + 7))));
    const std::size_t at = d.u32(hdr::kExceptionPointers);
    ASSERT_EQ(d.tag(at), "CTX");
    EXPECT_NE(d.u32(at + ctx::kFlags) & crashreport::kCtxStackOverflow, 0u);
    expectNoNamesOf(saved[0].name);
}

// A SIGTERM or SIGINT from another process asks the program to end: no report, and the
// program's own handler (installed before the crash handler) ends it normally. One the
// process sends itself is still a crash.
TEST(CrashHooks, OnlySignalsToEndThatTheProcessRaisedItselfAreCrashes) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    struct Case {
        int signal;  // sent by the test; 0: the child sends itself SIGTERM
        int status;
        std::size_t reports;
    };
    for (const Case c : {Case{SIGTERM, 0, 0}, Case{SIGINT, 0, 0}, Case{0, 1, 1}}) {
        SCOPED_TRACE(c.signal);
        crashtest::SenderFolder senders;
        testsupport::TempDir reports, saved, io;
        testsupport::ScopedEnv out("NIMBROSTA_TEST_SENDER_OUT", saved.path().c_str());
        testsupport::ProgramRun child;
        ASSERT_TRUE(child.start(crashtest::childProgram(),
                                {senders.path(), reports.path(), "end-request", c.signal == 0 ? "self" : "outside"}));
        ASSERT_TRUE(x11lessWaitFor([&] { return child.out().find("installed\n") != std::string::npos; }));
        if (c.signal != 0) {
            ASSERT_EQ(::kill(child.pid(), c.signal), 0);
        }
        EXPECT_EQ(child.wait(20000), c.status) << child.out() << child.err();
        const auto descriptions = crashtest::savedDescriptions(saved.path());
        ASSERT_EQ(descriptions.size(), c.reports);
        if (c.reports == 0) {
            EXPECT_NE(child.out().find("end requested 1\nuninstall 0\n"), std::string::npos) << child.out();
        } else {
            EXPECT_EQ(descriptions[0].reader().i32(hdr::kReportType), kReportSigterm);
        }
    }
}

// The start-up's uninstall works from whichever thread ends the process (the updater ends
// from an engine worker), and leaves no shared name behind.
TEST(CrashHooks, TheStartupsUninstallWorksFromAnyThread) {
    crashtest::SenderFolder senders;
    testsupport::TempDir reports, state;
    testsupport::ScopedEnv stateHome("XDG_STATE_HOME", state.path().c_str());
    const crashtest::ChildRun child = crashtest::runChild(senders.path(), reports.path(), {"end-from-thread"});
    EXPECT_EQ(child.status, 0) << child.out << child.err;
    EXPECT_EQ(child.out, "installed\nuninstall 0\n");
    expectNoNamesOfProcess(child.pid);
}

// The sender goes on after it let the crashed process go; the crashed process waits for its
// end and reaps it, so no sender is left to whoever adopts orphans (which may never reap it).
TEST(CrashHooks, TheCrashedProcessReapsItsSender) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns these signals";
    crashtest::becomeSubreaper();
    const std::vector<pid_t> before = crashtest::childrenOfThisProcess();
    testsupport::ScopedEnv linger("NIMBROSTA_TEST_SENDER_LINGER_MS", "500");
    for (const char* type : {"0", "12"}) {
        SCOPED_TRACE(type);
        const StubRun run({"crash", type});
        EXPECT_EQ(run.child.status, 1);
        EXPECT_EQ(run.descriptions().size(), 1u);
        std::vector<pid_t> orphans;
        for (const pid_t child : crashtest::childrenOfThisProcess())
            if (std::find(before.begin(), before.end(), child) == before.end()) orphans.push_back(child);
        EXPECT_TRUE(orphans.empty()) << orphans.size() << " sender(s) outlived the crashed process";
        crashtest::waitForOrphans(10000, before);
    }
}
