// The file work of an update: md5 of files and buffers, names that must stay inside the
// working folder, file writing with its modes, and the working-folder tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "UpdaterTestSupport.h"
#include "updater/UpdateFiles.h"
#include "updater/tasks/CheckWorkingFolderTask.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {
mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
std::vector<char> bytes(const std::string& text) { return std::vector<char>(text.begin(), text.end()); }
}  // namespace

TEST(UpdateFiles, Md5OfBuffersAndFiles) {
    TempDir dir;
    struct Case {
        std::string content;
        std::string md5;
    };
    // RFC 1321's test suite, and one file larger than a read chunk.
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(1048576 + 3, 'a'), ""},
    };
    for (const Case& c : cases) {
        const std::string md5 = md5HexOfBuffer(c.content.data(), c.content.size());
        if (!c.md5.empty()) {
            EXPECT_EQ(md5, c.md5);
        }
        writeFile(dir.file("f"), c.content);
        EXPECT_EQ(md5HexOfFile(dir.file("f")), md5) << c.content.size() << " bytes";
    }
    // Nothing to read: the empty text, which matches no digest.
    EXPECT_EQ(md5HexOfFile(dir.file("missing")), "");
    EXPECT_EQ(md5HexOfFile(dir.path()), "");
}

TEST(UpdateFiles, NamesThatLeaveTheWorkingFolderAreRefused) {
    const std::pair<const char*, bool> cases[] = {
        {"NimbrostaClient", true}, {"lib/a.so", true},   {"lib/./a.so", true},   {"..a", true},
        {"a..", true},             {"lib/..x/a", true},  {"", false},            {"/etc/passwd", false},
        {"..", false},             {"../a", false},      {"lib/../../a", false}, {"lib/..", false},
        {"lib/", false},           {"//a", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isSafeRelativeName(c.first), c.second) << c.first;
}

TEST(UpdateFiles, WritingKeepsTheOldModeAndMakesScriptsAndProgramsExecutable) {
    TempDir dir;
    const mode_t umaskNow = ::umask(022);
    struct Case {
        const char* what;
        std::string content;
        int oldMode;  // 0: no old file
        mode_t mode;
    };
    const Case cases[] = {
        {"new data file", "hello", 0, 0644},
        {"new script", "#!/bin/sh\necho hi\n", 0, 0755},
        {"new program", std::string("\x7f" "ELF\x02\x01", 6), 0, 0755},
        {"replaced program keeps its mode", std::string("\x7f" "ELF", 4), 0700, 0700},
        {"replaced data file keeps an execute bit", "data", 0751, 0751},
        {"empty file", "", 0, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("f");
        std::filesystem::remove(path);
        if (c.oldMode) {
            writeFile(path, "old");
            ::chmod(path.c_str(), mode_t(c.oldMode));
        }
        ASSERT_TRUE(writeFileBytes(path, bytes(c.content)));
        EXPECT_EQ(readFile(path), c.content);
        EXPECT_EQ(modeOf(path), c.mode);
    }
    ::umask(umaskNow);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    // A folder that cannot hold the file (a file is in its place): failure, nothing written.
    writeFile(dir.file("sub"), "a file");
    EXPECT_FALSE(writeFileBytes(dir.file("sub/x"), bytes("x")));
    EXPECT_EQ(readFile(dir.file("sub")), "a file");
}

TEST(CheckWorkingFolderTask, FolderTests) {
    TempDir dir;
    struct Case {
        const char* what;
        std::function<std::string()> make;
        bool readOk, writeOk;
    };
    const Case cases[] = {
        {"missing folder", [&] { return dir.file("missing"); }, false, false},
        {"a file given as the folder", [&] { writeFile(dir.file("file"), "x"); return dir.file("file"); }, false, false},
        {"empty folder: the test file itself is read",
         [&] { std::filesystem::create_directories(dir.file("empty")); return dir.file("empty"); }, true, true},
        {"leftover test file and a sub-folder",
         [&] {
             std::filesystem::create_directories(dir.file("used/lib"));
             writeFile(dir.file("used/test_file.txt"), "left over");
             writeFile(dir.file("used/zero"), "");
             return dir.file("used");
         },
         true, true},
        {"no folder at all", [] { return std::string(); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = c.make();
        bool readOk = !c.readOk, writeOk = !c.writeOk;
        updater::tasks::CheckWorkingFolderTask::testFolder(folder, readOk, writeOk);
        EXPECT_EQ(readOk, c.readOk);
        EXPECT_EQ(writeOk, c.writeOk);
        if (!folder.empty()) {
            EXPECT_FALSE(std::filesystem::exists(folder + "/test_file.txt"));
        }
    }
}
