// The removal of the files the self-updater left behind, on a scratch tree.

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "core/ThreadPool.h"
#include "launcher/RemoveOldFilesTask.h"

namespace fs = std::filesystem;
using testsupport::writeFile;

TEST(RemoveOldFilesTask, DeletesMarkedFilesAtAnyDepthAndNothingElse) {
    testsupport::TempDir dir;
    const std::string root = dir.path();
    fs::create_directories(root + "/sub/deep");
    fs::create_directories(root + "/d.remove");
    struct Entry {
        std::string path;
        bool removed;
    };
    const Entry entries[] = {
        {"a.remove", true},
        {"sub/deep/b.remove", true},
        {"d.remove/c.remove", true},  // a folder with the extension is searched
        {"a.remove.txt", false},      // the extension must end the name
        {"a.REMOVE", false},          // compared case-sensitively
        {"keep.dll", false},
    };
    for (const Entry& e : entries) writeFile(root + "/" + e.path, "x");
    // A link to a folder elsewhere is not followed.
    testsupport::TempDir elsewhere;
    fs::create_directories(elsewhere.path() + "/pkg");
    writeFile(elsewhere.path() + "/pkg/e.remove", "x");
    fs::create_directory_symlink(elsewhere.path() + "/pkg", root + "/sub/link");

    RemoveOldFilesTask task(root, ".remove");
    EXPECT_TRUE(ThreadPool::execute(&task));
    EXPECT_TRUE(task.repeat()) << "something was deleted: the job runs again";
    for (const Entry& e : entries) {
        EXPECT_EQ(!fs::exists(root + "/" + e.path), e.removed) << e.path;
    }
    EXPECT_TRUE(fs::is_directory(root + "/d.remove"));
    EXPECT_TRUE(fs::exists(elsewhere.path() + "/pkg/e.remove"));

    // Nothing left to delete: the job ends.
    EXPECT_TRUE(ThreadPool::execute(&task));
    EXPECT_FALSE(task.repeat());
}

TEST(RemoveOldFilesTask, AFolderThatCannotBeReadEndsTheJob) {
    testsupport::TempDir dir;
    writeFile(dir.file("file"), "x");
    struct Case {
        std::string folder;
        std::string logged;
    };
    const Case cases[] = {
        {dir.file("missing"), ""},
        // A file where the folder should be: the listing fails (this works as root too).
        {dir.file("file"), "no access rights? Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        RemoveOldFilesTask task(c.folder, ".remove");
        task.setRepeat(true);
        const std::string out = testsupport::captureStdout([&] { ThreadPool::execute(&task); });
        EXPECT_FALSE(task.repeat());
        if (c.logged.empty()) {
            EXPECT_EQ(out, "");
        } else {
            EXPECT_NE(out.find("[E]"), std::string::npos) << out;
            EXPECT_NE(out.find("RemoveOldFilesTask::removeFiles"), std::string::npos) << out;
            EXPECT_NE(out.find(c.logged), std::string::npos) << out;
        }
    }
}
