// Bringing files up to date against the stand-in: keep, replace or fetch, md5 checks with
// three tries, the old copy kept until a verified one is at hand, names that would leave
// the working folder, and write failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "UpdaterTestSupport.h"
#include "core/ThreadPool.h"
#include "updater/UpdateFiles.h"
#include "updater/UpdaterApi.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using updater::UpdaterApi;
using updater::states::UpdateStateEvents;
using updatertest::EventLog;
using updatertest::stub;
namespace fs = std::filesystem;

namespace {
const std::string kNew = "new content\n";
std::string md5Of(const std::string& text) { return md5HexOfBuffer(text.data(), text.size()); }
}  // namespace

TEST(SuperDownloadFileTask, KeepReplaceOrFetch) {
    StubService& s = stub();
    struct Case {
        const char* what;
        std::string filename;
        std::function<void(const std::string& path)> before;  // prepares the local copy
        int mayBeModified;
        std::string servedMd5;  // "" = the md5 of kNew
        int failFirst;          // 500 answers before the file
        bool ok;
        std::string after;  // the file's content afterwards
        int requests;
        std::vector<int> events;
    };
    const auto old = [](const std::string& path) { writeFile(path, "old"); };
    const auto current = [](const std::string& path) { writeFile(path, kNew); };
    const auto none = [](const std::string&) {};
    const std::vector<int> kept{2}, written{2, 5}, failed{};
    const Case cases[] = {
        {"missing: fetched", "a.txt", none, 0, "", 0, true, kNew, 1, written},
        {"current: kept without a request", "a.txt", current, 0, "", 0, true, kNew, 0, kept},
        {"differs but may be modified: kept", "a.txt", old, 1, "", 0, true, "old", 0, kept},
        {"differs, flag left out (reads true): kept", "a.txt", old, -1, "", 0, true, "old", 0, kept},
        {"differs: replaced", "a.txt", old, 0, "", 0, true, kNew, 1, written},
        {"sub-folders are made", "lib/deep/a.so", none, 0, "", 0, true, kNew, 1, written},
        {"two failed answers, then the file", "a.txt", old, 0, "", 2, true, kNew, 3, written},
        // The old copy stays when no verified copy arrives.
        {"wrong md5: three tries, old file intact", "a.txt", old, 0, md5Of("something else"), 0, false, "old", 3, failed},
        {"upper-case md5 never matches", "a.txt", none, 0, "", 0, false, "", 3, failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reset();
        std::string md5 = c.servedMd5.empty() ? md5Of(kNew) : c.servedMd5;
        if (std::string(c.what).find("upper") != std::string::npos)
            for (char& ch : md5) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        updatertest::serveUpdates(s, {{c.filename, kNew}});
        if (c.failFirst) s.replyWith("/files/0", "busy", 500, c.failFirst);
        TempDir folder;
        const std::string path = folder.file(c.filename);
        c.before(path);
        UpdaterApi api(updatertest::fastTimings());
        EventLog<UpdateStateEvents> log;
        api.updateState.addListener(&log);
        UpdateFileInfo record, other;
        record.filename = c.filename;
        other.filename = "other";
        api.updateState.setUpdateList(true, {record, other});
        const std::size_t listEvents = log.events().size();
        auto task = api.makeSuperDownloadFileTask(s.baseUrl() + "/files/0", folder.path(), c.filename, md5,
                                                  c.mayBeModified != 0);
        EXPECT_EQ(ThreadPool::execute(task.get()), c.ok);
        EXPECT_EQ(fs::exists(path) ? readFile(path) : std::string(), c.after);
        EXPECT_EQ(updatertest::requestsTo(s, "/files/0"), c.requests);
        const std::vector<int> all = log.events();
        EXPECT_EQ(std::vector<int>(all.begin() + long(listEvents), all.end()), c.events);
        // Nothing but the file (and its folders) is left behind.
        for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
            EXPECT_TRUE(entry.is_directory() || entry.path() == path) << entry.path();
        api.updateState.removeListener(&log);
    }
}

TEST(SuperDownloadFileTask, WhatIsInTheWayAndWhatCannotBeWritten) {
    StubService& s = stub();
    s.reset();
    updatertest::serveUpdates(s, {{"x", kNew}, {"", ""}});
    const std::string url = s.baseUrl() + "/files/0";
    TempDir folder;
    UpdaterApi api(updatertest::fastTimings());
    EventLog<UpdateStateEvents> log;
    api.updateState.addListener(&log);

    // A non-empty folder where the file goes is moved aside as ".remove".
    fs::create_directories(folder.file("lib/x"));
    writeFile(folder.file("lib/x/keep"), "kept");
    EXPECT_TRUE(ThreadPool::execute(api.makeSuperDownloadFileTask(url, folder.path(), "lib/x", md5Of(kNew), false).get()));
    EXPECT_EQ(readFile(folder.file("lib/x")), kNew);
    EXPECT_EQ(readFile(folder.file("lib/x.remove/keep")), "kept");
    EXPECT_EQ(log.count(updater::states::OldFileRenamed), 1);

    // A file where a folder is needed: the download is fine, the write fails.
    writeFile(folder.file("sub"), "a file");
    EXPECT_FALSE(ThreadPool::execute(api.makeSuperDownloadFileTask(url, folder.path(), "sub/x", md5Of(kNew), false).get()));
    EXPECT_EQ(readFile(folder.file("sub")), "a file");

    // An empty file with the md5 of nothing.
    EXPECT_TRUE(ThreadPool::execute(
        api.makeSuperDownloadFileTask(s.baseUrl() + "/files/1", folder.path(), "empty", md5Of(""), false).get()));
    EXPECT_TRUE(fs::exists(folder.file("empty")));
    EXPECT_EQ(fs::file_size(folder.file("empty")), 0u);
    api.updateState.removeListener(&log);

    // Names from the network that would leave the working folder: refused before any request.
    s.reset();
    updatertest::serveUpdates(s, {{"x", kNew}});
    TempDir outer;
    const std::string work = outer.file("work");
    fs::create_directories(work);
    for (const std::string name : {"../escaped", "lib/../../escaped", "/tmp/nimbrosta-escaped", "", ".."}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ThreadPool::execute(api.makeSuperDownloadFileTask(url, work, name, md5Of(kNew), false).get()));
    }
    EXPECT_EQ(updatertest::requestsTo(s, "/files/0"), 0);
    EXPECT_FALSE(fs::exists(outer.file("escaped")));
    EXPECT_FALSE(fs::exists("/tmp/nimbrosta-escaped"));
}

TEST(UpdaterApi, StartDownloadsReportsAFailedFileAndFinishesTheOthers) {
    StubService& s = stub();
    s.reset();
    updatertest::serveUpdates(s, {{"good1", "1"}, {"bad", "2", md5Of("other")}, {"good2", "3"}});
    TempDir folder;
    UpdaterApi api(updatertest::fastTimings());
    EventLog<UpdateStateEvents> log;
    EventLog<updater::states::ErrorStateEvents> errors;
    api.updateState.addListener(&log);
    api.errorState.addListener(&errors);
    ASSERT_TRUE(ThreadPool::execute(api.makeCheckVersionGetUpdateListTask("player-win", "release").get()));
    api.startDownloads(folder.path());
    ASSERT_TRUE(errors.waitFor(updater::states::ErrorTextSet));
    // The other files go on after the error.
    ASSERT_TRUE(log.waitFor(updater::states::FileWritten, 2));
    EXPECT_TRUE(api.shutdown(10000));
    EXPECT_EQ(api.errorState.getErrorText(),
              "Failed to update files, please check folder permissions and internet connection");
    EXPECT_EQ(log.count(updater::states::FileWritten), 2);
    EXPECT_EQ(log.count(updater::states::AllFilesDone), 0) << "the failed file is never done";
    EXPECT_EQ(api.updateState.getProgressPercent(), 66);
    EXPECT_EQ(readFile(folder.file("good2")), "3");
    EXPECT_FALSE(fs::exists(folder.file("bad")));
    api.updateState.removeListener(&log);
    api.errorState.removeListener(&errors);
}
