#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

namespace {
const std::string kPluginName = "nimbrosta_test_plugin.so";

// Restores the process-wide lib folder after a test.
struct LibFolderGuard {
    std::string saved = platform::libraryFolder();
    ~LibFolderGuard() { platform::setLibraryFolder(saved); }
};

int callAnswer(void* library) {
    auto fn = reinterpret_cast<int (*)()>(platform::librarySymbol(library, "nimbrostaTestPluginAnswer"));
    return fn ? fn() : -1;
}
}  // namespace

TEST(DynamicLibrary, BareNamesAreFoundInTheLibFolder) {
    LibFolderGuard guard;
    std::string error;
    platform::setLibraryFolder("");
    EXPECT_EQ(platform::openLibrary(kPluginName, &error), nullptr) << "not on the system's path";
    EXPECT_NE(error.find(kPluginName), std::string::npos) << error;

    platform::setLibraryFolder(std::string(NIMBROSTA_TEST_PLUGIN_DIR) + "/");
    EXPECT_EQ(platform::libraryFolder(), NIMBROSTA_TEST_PLUGIN_DIR);
    void* library = platform::openLibrary(kPluginName, &error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(callAnswer(library), 42);
    EXPECT_EQ(platform::librarySymbol(library, "noSuchSymbol"), nullptr);
    EXPECT_EQ(platform::librarySymbol(nullptr, "nimbrostaTestPluginAnswer"), nullptr);
    platform::closeLibrary(library);
}

TEST(DynamicLibrary, PathsAndSystemNames) {
    LibFolderGuard guard;
    platform::setLibraryFolder("/nonexistent");
    void* byPath = platform::openLibrary(std::string(NIMBROSTA_TEST_PLUGIN_DIR) + "/" + kPluginName);
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(callAnswer(byPath), 42);
    platform::closeLibrary(byPath);

    // A bare name missing from the lib folder falls back to the system's search path.
    void* system = platform::openLibrary("libm.so.6");
    EXPECT_NE(system, nullptr);
    platform::closeLibrary(system);

    std::string error;
    EXPECT_EQ(platform::openLibrary("", &error), nullptr);
    EXPECT_FALSE(error.empty());
    platform::closeLibrary(nullptr);
}
