// Whole-file writes: the new bytes with the asked permissions, or the old file untouched.

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "TestSupport.h"
#include "core/AtomicFile.h"

TEST(AtomicFile, ReplacesTheFileWithTheGivenModeAndLeavesNothingElse) {
    struct Case {
        const char* what;
        bool existing;
        mode_t mode;
    };
    const Case cases[] = {{"new file, secret", false, 0600}, {"replaced, readable", true, 0644}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        const std::string path = dir.file("data");
        if (c.existing) testsupport::writeFile(path, "old and longer");
        std::string error;
        ASSERT_TRUE(writeFileAtomically(path, std::string("new\0bytes", 9), c.mode, &error)) << error;
        EXPECT_EQ(testsupport::readFile(path), std::string("new\0bytes", 9));
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode);
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
        EXPECT_EQ(files, 1u);
    }
}

TEST(AtomicFile, AFailureLeavesTheOldFileAndSaysWhy) {
    testsupport::TempDir dir;
    std::string error;
    EXPECT_FALSE(writeFileAtomically(dir.file("missing/data"), "x", 0600, &error));
    EXPECT_NE(error.find(dir.file("missing/data")), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    // A folder in the file's place cannot be replaced; it stays, and no temporary is left.
    std::filesystem::create_directory(dir.file("taken"));
    EXPECT_FALSE(writeFileAtomically(dir.file("taken"), "x", 0600, &error));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken")));
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) entries += entry.exists();
    EXPECT_EQ(entries, 1u);
}
