// Threads the program starts run the process-wide thread hooks around their bodies (the crash
// reporter gives each its alternate signal stack there), and no code of the program starts
// a thread any other way.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Thread.h"

namespace {

std::mutex g_eventsMutex;
std::vector<std::pair<std::string, std::thread::id>> g_events;

void record(const std::string& event) {
    std::lock_guard<std::mutex> lock(g_eventsMutex);
    g_events.emplace_back(event, std::this_thread::get_id());
}

}  // namespace

TEST(ThreadScope, StartedThreadsRunTheHooksAroundTheirBodies) {
    g_events.clear();
    platform::setThreadHooks({[] { record("started"); }, [] { record("ending"); }});
    int sum = 0;
    platform::startThread([&sum](int a, int b) { record("body"); sum = a + b; }, 2, 3).join();
    platform::setThreadHooks({});
    platform::startThread([] { record("unhooked"); }).join();

    EXPECT_EQ(sum, 5);
    ASSERT_EQ(g_events.size(), 4u);
    const char* expected[] = {"started", "body", "ending", "unhooked"};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(g_events[i].first, expected[i]);
    EXPECT_NE(g_events[0].second, std::this_thread::get_id()) << "on the new thread";
    EXPECT_EQ(g_events[0].second, g_events[1].second);
    EXPECT_EQ(g_events[1].second, g_events[2].second);
}

// A thread started past startThread would have no alternate signal stack: a stack overflow
// on it would kill the process without a report.
TEST(ThreadScope, EveryThreadOfTheProgramStartsThroughStartThread) {
    const std::regex start(R"(std::thread\s*\(|std::thread\s+\w+\s*[({]|pthread_create\s*\(|std::async\s*\(|boost::thread\b)");
    // The one place that makes std::threads, and the crash reporter's spare thread, which
    // gives itself its stack.
    const std::vector<std::string> allowed = {"platform/include/platform/Thread.h", "crashreport/src/CrashHooks.cpp"};
    std::vector<std::string> found;
    for (const char* folder : {"app", "core", "platform", "stream", "rtspclient", "gui", "webapi", "shell", "player",
                               "player-ui", "launcher", "updater", "crashreport", "render"}) {
        const std::filesystem::path root = std::filesystem::path(NIMBROSTA_SOURCE_DIR) / folder;
        if (!std::filesystem::exists(root)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            const std::string relative = std::filesystem::relative(entry.path(), NIMBROSTA_SOURCE_DIR).string();
            if (std::find(allowed.begin(), allowed.end(), relative) != allowed.end()) continue;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number)
                if (std::regex_search(line, start)) found.push_back(relative + ":" + std::to_string(number) + ": " + line);
        }
    }
    std::ostringstream list;
    for (const std::string& f : found) list << f << "\n";
    EXPECT_TRUE(found.empty()) << list.str();
}
