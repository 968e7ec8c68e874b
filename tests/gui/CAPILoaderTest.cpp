// The statistics collector loader: calls reach the collector when it is there and do nothing
// when it is not; what a read returns is bounded by the buffer whatever count the collector
// answers.

#include "gui/CAPILoader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {
const std::string kCollector = std::string(NIMBROSTA_TEST_PLUGIN_DIR) + "/collector/collector.so";
const std::string kNoEntry = std::string(NIMBROSTA_TEST_PLUGIN_DIR) + "/nimbrosta_test_plugin.so";
}  // namespace

TEST(CAPILoader, CallsReachTheCollectorAndReadsAreClamped) {
    CAPILoader loader(kCollector);
    ASSERT_TRUE(loader.available());
    loader.setText("VAAPIHDREADY_LOW", "PPACKET");
    loader.interval("DECODING", true);
    loader.interval("DECODING", false);
    void* library = dlopen(kCollector.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto calls = reinterpret_cast<const char* (*)()>(dlsym(library, "testCollectorCalls"));
    EXPECT_STREQ(calls(), "text VAAPIHDREADY_LOW=PPACKET;begin DECODING;end DECODING;");
    dlclose(library);

    struct Case {
        const char* series;
        std::size_t records;
    } cases[] = {{"three", 3}, {"many", 16}, {"negative", 0}, {"empty", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.series);
        std::vector<CollectorRecord> records(2);
        EXPECT_TRUE(loader.readData(c.series, records));
        EXPECT_EQ(records.size(), c.records);
    }
    std::vector<CollectorRecord> three;
    loader.readData("three", three);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[2].startTime, 102u);
    EXPECT_EQ(three[2].endTime, 202u);
    EXPECT_EQ(three[2].duration, 100u);
}

TEST(CAPILoader, WithoutCollectorEverythingDoesNothing) {
    for (const std::string& path : {kNoEntry, std::string("/nonexistent/collector.so")}) {
        SCOPED_TRACE(path);
        CAPILoader loader(path);
        EXPECT_FALSE(loader.available());
        loader.setText("a", "b");
        loader.interval("DECODING", true);
        std::vector<CollectorRecord> records(5);
        EXPECT_TRUE(loader.readData("SWAP BUFFERS", records));
        EXPECT_TRUE(records.empty());
    }
    // The process's loader looks for collector.so in the lib folder, where none is shipped.
    EXPECT_FALSE(CAPILoader::instance().available());
}
