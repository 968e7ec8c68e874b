// The real CrashReportSender behind a crashed child: the report folder holds the dump of the
// crashed thread (registers, return addresses, memory maps, threads, stack), a summary, the
// listed files and registry keys; the report reaches the upload stand-in only when the
// flags allow it; no shared name is left.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/ucontext.h>

#include "CrashReportSender.h"
#include "CrashTestSupport.h"
#include "ProcessSnapshot.h"
#include "StubService.h"
#include "crashreport/CrashHandlerApi.h"
#include "platform/Registry.h"

namespace {

std::uint32_t u32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}
std::uint64_t u64(const std::string& b, std::size_t at) {
    return u32(b, at) | (static_cast<std::uint64_t>(u32(b, at + 4)) << 32);
}

// The sections of a crashdump.bin by tag; empty when the file is not one.
std::map<std::string, std::string> dumpSections(const std::string& bytes) {
    std::map<std::string, std::string> sections;
    if (bytes.size() < 8 || bytes.compare(0, 4, "NCDB") != 0 || u32(bytes, 4) != 1) return sections;
    std::size_t at = 8;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t length = u32(bytes, at + 4);
        if (at + 8 + length > bytes.size()) break;
        sections[bytes.substr(at, 4)] = bytes.substr(at + 8, length);
        at += 8 + length;
    }
    return sections;
}

// The single report folder under reports/<name>_<version>/.
std::string findReportFolder(const std::string& reports) {
    const std::string parent = reports + "/NimbrostaClient_0.0.33-2-gc4ebe4b";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(parent, ec))
        if (entry.is_directory()) return entry.path().string();
    return std::string();
}

struct SenderRun {
    crashtest::SenderFolder senders{crashtest::realSender()};
    testsupport::TempDir reports;
    testsupport::TempDir files;
    testsupport::TempDir registry;
    crashtest::ChildRun child;
    std::string folder;

    SenderRun(std::uint32_t flags, const std::string& uploadUrl) {
        std::filesystem::remove(senders.dir.file("crashreport_lang.ini"));
        std::filesystem::copy_file(std::string(NIMBROSTA_LIB_DIR) + "/crashreport_lang.ini",
                                   senders.dir.file("crashreport_lang.ini"));
        testsupport::ScopedEnv root("NIMBROSTA_REGISTRY_ROOT", registry.path().c_str());
        platform::registrySetString(platform::RegistryRoot::CurrentUser, "Software\\Nimbrosta", "Language", "de");
        platform::registrySetString(platform::RegistryRoot::CurrentUser, "Software\\Nimbrosta\\Window", "Size", "1280x720");
        testsupport::writeFile(files.file("client.log"), "line one\nline two\n");
        crashtest::becomeSubreaper();
        const std::vector<pid_t> before = crashtest::childrenOfThisProcess();
        child = crashtest::runChild(senders.path(), reports.path(),
                                    {"report", std::to_string(flags), files.file("client.log"),
                                     "HKEY_CURRENT_USER\\Software\\Nimbrosta", uploadUrl});
        // The sender goes on after the child has ended; wait until it has finished too.
        EXPECT_TRUE(crashtest::waitForOrphans(20000, before));
        folder = findReportFolder(reports.path());
    }
};

}  // namespace

TEST(CrashReportSender, WritesTheReportOfACrashedThread) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns the fault signals";
    const SenderRun run(CR_INST_ALL_HOOKS | CR_INST_DONT_SEND_REPORT, "");
    EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
    ASSERT_FALSE(run.folder.empty()) << run.child.err;
    const std::string crashId = std::filesystem::path(run.folder).filename().string();
    const auto workerAt = run.child.out.find("worker ");
    ASSERT_NE(workerAt, std::string::npos);
    const std::uint32_t worker = static_cast<std::uint32_t>(std::stoul(run.child.out.substr(workerAt + 7)));

    const auto dump = dumpSections(testsupport::readFile(run.folder + "/crashdump.bin"));
    for (const char* tag : {"INFO", "REGS", "FPRG", "BTRC", "MAPS", "THRD", "STAK"}) EXPECT_EQ(dump.count(tag), 1u) << tag;
    const std::string& info = dump.at("INFO");
    EXPECT_EQ(u32(info, 0), static_cast<std::uint32_t>(run.child.pid));
    EXPECT_EQ(u32(info, 4), worker) << "the crashed thread, not the main one";
    EXPECT_EQ(u32(info, 8), static_cast<std::uint32_t>(kReportSigsegv));
    EXPECT_EQ(u32(info, 16), static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_EQ(u64(info, 24), 0u) << "the fault address";

    // Registers at the fault: the instruction is in the child's code, the first return
    // address is that instruction, and the stack pointer is where the stack dump starts.
    const std::string& regs = dump.at("REGS");
    ASSERT_EQ(regs.size(), 23u * 8);
    const std::uint64_t rip = u64(regs, 8 * REG_RIP);
    const std::uint64_t rsp = u64(regs, 8 * REG_RSP);
    const std::vector<MapEntry> maps = parseMaps(dump.at("MAPS"));
    const MapEntry* code = findMapping(maps, rip);
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->path, crashtest::childProgram());
    EXPECT_NE(code->permissions.find('x'), std::string::npos);
    ASSERT_GE(dump.at("BTRC").size(), 16u);
    EXPECT_EQ(u64(dump.at("BTRC"), 0), rip);
    EXPECT_EQ(u64(dump.at("STAK"), 0), rsp);
    EXPECT_GT(dump.at("STAK").size(), 8u + 64);
    EXPECT_NE(findMapping(maps, rsp), nullptr);
    // The threads: the crashed one by name, and another one with its registers.
    const std::string& threads = dump.at("THRD");
    bool sawWorker = false, sawRegisters = false;
    for (std::size_t at = 0; at + 13 <= threads.size();) {
        const std::uint32_t id = u32(threads, at);
        const std::uint32_t nameLength = u32(threads, at + 4);
        const std::string name = threads.substr(at + 8, nameLength);
        const std::uint32_t registers = u32(threads, at + 9 + nameLength);
        if (id == worker) sawWorker = name == "Worker";
        if (id != worker && registers > 0) sawRegisters = true;
        at += 13 + nameLength + 8 * registers;
    }
    EXPECT_TRUE(sawWorker);
    EXPECT_TRUE(sawRegisters);

    const std::string summary = testsupport::readFile(run.folder + "/crashinfo.txt");
    for (const std::string& part : std::vector<std::string>{"Application: NimbrostaClient 0.0.33-2-gc4ebe4b\n", "Crash id: " + crashId + "\n",
                                   "Report type: 11 (SIGSEGV)\n", "crashInWorker()", "\"Worker\" (crashed)",
                                   "  build = 42\n", "  gpu = llvmpipe\n", "  client.log <- " + run.files.file("client.log"),
                                   "absent.txt <- /no/such/file.txt (missing)",
                                   "HKEY_CURRENT_USER\\Software\\Nimbrosta -> settings.reg\n"})
        EXPECT_NE(summary.find(part), std::string::npos) << part << "\n" << summary;

    // The listed file and the exported key.
    EXPECT_EQ(testsupport::readFile(run.folder + "/client.log"), "line one\nline two\n");
    EXPECT_EQ(testsupport::readFile(run.folder + "/settings.reg"),
              "[HKEY_CURRENT_USER\\Software\\Nimbrosta]\n\"Language\"=\"de\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\Nimbrosta\\Window]\n\"Size\"=\"1280x720\"\n\n");
    for (const std::string& name : crashtest::crashNames()) EXPECT_EQ(name.find(crashId), std::string::npos) << name;
}

TEST(CrashReportSender, UploadsOnlyWhenTheFlagsAllow) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns the fault signals";
    StubService stub;
    testsupport::ScopedEnv ca("NIMBROSTA_EXTRA_ROOT_CA", stub.caPath().c_str());
    const std::string url = stub.baseUrl() + "/dump_win";
    struct Case {
        std::uint32_t flags;
        int uploads;
    };
    for (const Case c : {Case{CR_INST_ALL_HOOKS | CR_INST_DONT_SEND_REPORT, 0}, Case{CR_INST_ALL_HOOKS, 1}}) {
        stub.control("clear_log");
        const SenderRun run(c.flags, url);
        EXPECT_EQ(run.child.status, 1);
        EXPECT_FALSE(run.folder.empty());
        int uploads = 0;
        for (const LoggedRequest& r : stub.log())
            if (r.method == "POST" && r.path == "/dump_win") ++uploads;
        EXPECT_EQ(uploads, c.uploads) << "flags " << std::hex << c.flags;
    }
}

TEST(CrashReportSender, NamesFromTheDescriptionStayInsideTheReportFolder) {
    const struct {
        const char* name;
        const char* safe;
    } cases[] = {{"app.txt", "app.txt"}, {"../../etc/passwd", ".._.._etc_passwd"}, {"..", "_.."}, {"", "_"}, {"a/b", "a_b"}};
    for (const auto& c : cases) EXPECT_EQ(CrashReportSender::safeFileName(c.name), c.safe) << c.name;
}

// A disk that refuses the report (here its dump can only go to /dev/full, which answers
// every write as a full disk does): the sender says the report was not saved, and why, and
// leaves no temporary file behind.
TEST(CrashReportSender, AReportThatCannotBeWrittenIsSaidToBeNotSavedAndLeavesNoTemporary) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns the fault signals";
    const crashtest::SenderFolder senders(crashtest::realSender());
    testsupport::TempDir reports;
    const crashtest::ChildRun child = crashtest::runChild(senders.path(), reports.path(), {"full-disk"});
    EXPECT_EQ(child.status, 1) << child.out << child.err;
    const auto at = child.out.find("folder ");
    ASSERT_NE(at, std::string::npos) << child.out;
    const std::string folder = child.out.substr(at + 7, child.out.find('\n', at) - at - 7);
    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder + "/crashdump.bin.tmp"))) << "the temporary is removed";
    EXPECT_FALSE(fs::exists(folder + "/crashdump.bin"));
    EXPECT_NE(child.err.find("The crash report could not be saved in " + folder + " (crashdump.bin: No space left on device)"),
              std::string::npos)
        << child.err;
    EXPECT_EQ(child.err.find("was saved"), std::string::npos) << child.err;
}
