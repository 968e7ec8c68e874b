#include "core/ConfigStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "TestSupport.h"

using testsupport::captureStdout;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {
const std::string kStampFile = "[System]\nConfigVersion=Tz4pLw8vRb\n";
}

TEST(ConfigStore, FirstStartWritesOnlyTheStampThenAppendsInOrder) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    EXPECT_EQ(readFile(path), kStampFile);

    store.set("Tutorial.MenuFinished", true, true);
    store.set("Decoder.FPS", 60, true);
    store.set("Tutorial.SelectOsFinished", false, true);
    EXPECT_EQ(readFile(path), kStampFile + "[Tutorial]\nMenuFinished=1\nSelectOsFinished=0\n[Decoder]\nFPS=60\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // A second start with a matching stamp keeps everything.
    ConfigStore again(path);
    again.checkVersion();
    EXPECT_TRUE(again.get<bool>("Tutorial.MenuFinished", "0"));
    EXPECT_EQ(again.get<int>("Decoder.FPS", "0"), 60);
}

TEST(ConfigStore, ForeignOrBrokenFileIsKeptAsOldAndResetToTheStamp) {
    std::string tenKeys = "[System]\nConfigVersion=old\n[General]\n";
    for (int i = 0; i < 10; ++i) tenKeys += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    struct Case { std::string content; std::string reason; };
    const Case cases[] = {
        {tenKeys, "another format stamp"},
        {"[General]\nScale=1.0\n", "no format stamp"},
        {"[System]\nConfigVersion=Tz4pLw8vRb\n[A]\nx=1\nx=2\n", "does not parse"},  // duplicate key
        {"[System]\nConfigVersion=Tz4pLw8vRb\n[broken\n", "does not parse"},
        {"", "no format stamp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        TempDir dir;
        const std::string path = dir.file("config.ini");
        writeFile(path, c.content);
        writeFile(path + ".old", "an older copy");
        ConfigStore store(path);
        store.setString("User.Lang", "de", false);
        const std::string out = captureStdout([&] { store.checkVersion(); });
        EXPECT_EQ(readFile(path), kStampFile);
        EXPECT_EQ(readFile(path + ".old"), c.content) << "the user's file is kept";
        EXPECT_NE(out.find("[W]["), std::string::npos) << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << out;
        EXPECT_NE(out.find(path + " "), std::string::npos) << out;
        EXPECT_NE(out.find(path + ".old"), std::string::npos) << out;
        EXPECT_FALSE(store.has("General.Key0"));
        EXPECT_EQ(store.getString("User.Lang", "en"), "de") << "the volatile layer survives";
    }
}

TEST(ConfigStore, FileThatCannotBeKeptIsLeftAloneAndNothingIsWritten) {
    struct Case { std::string name; std::function<void(const std::string&)> arrange; std::string original; };
    const Case cases[] = {
        // A folder where config.ini should be, with something of the user's inside.
        {"folder in its place",
         [](const std::string& path) {
             std::filesystem::create_directory(path);
             writeFile(path + "/notes.txt", "mine");
         },
         ""},
        // A file with a foreign stamp that cannot be renamed: config.ini.old is a folder
        // that is not empty.
        {"no room for the old copy",
         [](const std::string& path) {
             writeFile(path, "[System]\nConfigVersion=old\n[General]\nScale=2.0\n");
             std::filesystem::create_directory(path + ".old");
             writeFile(path + ".old/x", "x");
         },
         "[System]\nConfigVersion=old\n[General]\nScale=2.0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("config.ini");
        c.arrange(path);
        ConfigStore store(path);
        const std::string out = captureStdout([&] {
            store.checkVersion();
            store.set("Tutorial.MenuFinished", true, true);
        });
        EXPECT_NE(out.find("[E]["), std::string::npos) << out;
        EXPECT_NE(out.find(path), std::string::npos) << out;
        EXPECT_TRUE(store.get<bool>("Tutorial.MenuFinished", "0")) << "settings live on in memory";
        EXPECT_EQ(store.getString("System.ConfigVersion", ""), ConfigStore::kFormatStamp);
        if (c.original.empty()) {
            EXPECT_TRUE(std::filesystem::is_directory(path));
            EXPECT_EQ(readFile(path + "/notes.txt"), "mine");
        } else {
            EXPECT_EQ(readFile(path), c.original);
        }
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    }
}

// The stamp in memory may come from an earlier file (the executable's folder); a file at
// the new path that was not loaded is still the user's and is kept.
TEST(ConfigStore, FileBehindAnEarlierStampedFileIsKeptToo) {
    const std::string broken = kStampFile + "[A]\nx=1\nx=2\n";
    for (bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "file that does not parse");
        TempDir dir;
        std::filesystem::create_directory(dir.file("lib"));
        writeFile(dir.file("config.ini"), kStampFile + "[General]\nIp=10.0.0.5\n");
        const std::string path = dir.file("lib/config.ini");
        if (folder) std::filesystem::create_directory(path);
        else writeFile(path, broken);
        ConfigStore store(dir.file("config.ini"));
        const std::string out = captureStdout([&] {
            store.setPathAndLoad(path);
            store.checkVersion();
            store.set("Tutorial.MenuFinished", true, true);
        });
        EXPECT_EQ(store.getString("General.Ip", ""), "10.0.0.5");
        EXPECT_TRUE(store.get<bool>("Tutorial.MenuFinished", "0"));
        if (folder) {
            EXPECT_TRUE(std::filesystem::is_directory(path));
            EXPECT_NE(out.find("[E]["), std::string::npos) << out;
            EXPECT_EQ(out.find("cannot replace"), std::string::npos) << "no attempt to write over it: " << out;
        } else {
            EXPECT_EQ(readFile(path + ".old"), broken);
            EXPECT_EQ(readFile(path), kStampFile + "[General]\nIp=10.0.0.5\n[Tutorial]\nMenuFinished=1\n");
        }
    }
}

TEST(ConfigStore, PersistentLayerShadowsVolatileAndVolatileIsNeverSaved) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    writeFile(path, kStampFile + "[General]\nIp=2.2.2.2\nEmpty=\n");
    ConfigStore store(path);
    store.checkVersion();

    store.setString("General.Ip", "1.1.1.1", false);
    store.setString("User.Token", "secret", false);
    EXPECT_EQ(store.getString("General.Ip", ""), "2.2.2.2");
    EXPECT_EQ(store.getString("User.Token", ""), "secret");
    EXPECT_EQ(store.getString("General.Empty", "dflt"), "");
    EXPECT_EQ(store.getString("General.Missing", "dflt"), "dflt");
    EXPECT_TRUE(store.has("User.Token"));
    EXPECT_TRUE(store.has("General.Ip"));
    EXPECT_FALSE(store.has("General.Missing"));
    EXPECT_EQ(store.get<int>("General.StatisticsTickPeriod", "5000"), 5000);

    store.set("General.Scale", 1.25f, true);
    EXPECT_EQ(readFile(path), kStampFile + "[General]\nIp=2.2.2.2\nEmpty=\nScale=1.25\n");

    // Loading again replaces the persistent layer as a whole; volatile values stay.
    writeFile(path, kStampFile);
    store.load();
    EXPECT_EQ(store.getString("General.Ip", ""), "1.1.1.1");
    EXPECT_EQ(store.getString("User.Token", ""), "secret");
}

TEST(ConfigStore, TypedConversionsAndFallbacks) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    writeFile(path, kStampFile +
                        "[General]\nScale=1.25\nPort=6666\nBad=abc\nTrimmed= 5 \nNegative=-3\n"
                        "RealtimePriority=1\nWordBool=true\nBig=99999999999\n");
    ConfigStore store(path);

    EXPECT_FLOAT_EQ(store.get<float>("General.Scale", "1.0"), 1.25f);
    EXPECT_DOUBLE_EQ(store.get<double>("General.Scale", "1.0"), 1.25);
    EXPECT_EQ(store.get<int>("General.Port", "0"), 6666);
    EXPECT_EQ(store.get<int>("General.Negative", "0"), -3);
    EXPECT_TRUE(store.get<bool>("General.RealtimePriority", "0"));
    EXPECT_FALSE(store.get<bool>("General.Missing", "0"));
    EXPECT_EQ(store.get<std::string>("General.Bad", ""), "abc");
    EXPECT_EQ(store.get<int>("General.Trimmed", "0"), 5) << "the ini reader trims values";
    store.setString("General.Blank", " 5", false);

    struct Failure { std::string key; std::function<bool()> check; };
    const Failure failures[] = {
        {"General.Bad", [&] { return store.get<float>("General.Bad", "1.0") == 1.0f; }},
        {"General.Blank", [&] { return store.get<int>("General.Blank", "7") == 7; }},
        {"General.WordBool", [&] { return store.get<bool>("General.WordBool", "0") == false; }},
        {"General.Big", [&] { return store.get<int>("General.Big", "42") == 42; }},
        {"General.Bad", [&] { return store.get<int>("General.Bad", "also bad") == 0; }},
    };
    for (const auto& f : failures) {
        bool ok = false;
        const std::string out = captureStdout([&] { ok = f.check(); });
        EXPECT_TRUE(ok) << f.key;
        EXPECT_NE(out.find("[E]["), std::string::npos) << f.key;
        EXPECT_NE(out.find("ConfigStore::get"), std::string::npos) << out;
        EXPECT_NE(out.find(f.key), std::string::npos) << out;
    }

    store.set("Benchmark.Best", std::string("render-ffmpeg"), false);
    store.set("Benchmark.Name", "c-string", false);
    store.set("Benchmark.NeedToRun", true, false);
    EXPECT_EQ(store.getString("Benchmark.Best", ""), "render-ffmpeg");
    EXPECT_EQ(store.getString("Benchmark.Name", ""), "c-string");
    EXPECT_EQ(store.getString("Benchmark.NeedToRun", ""), "1");
}

TEST(ConfigStore, FailedSaveKeepsMemoryAndOldFile) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    // A folder where the temporary file would go makes every save fail, even for root.
    std::filesystem::create_directory(path + ".tmp");
    const std::string out = captureStdout([&] { store.set("Decoder.Last", "cuda", true); });
    EXPECT_NE(out.find("[E]["), std::string::npos) << out;
    EXPECT_EQ(store.getString("Decoder.Last", ""), "cuda");
    EXPECT_EQ(readFile(path), kStampFile);

    // Gone after a restart.
    ConfigStore restarted(path);
    EXPECT_FALSE(restarted.has("Decoder.Last"));
}

TEST(ConfigStore, ValuesOfAnEarlierFileMoveToTheNewPath) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("lib"));
    writeFile(dir.file("config.ini"), kStampFile + "[General]\nIp=10.0.0.5\n");
    ConfigStore store(dir.file("config.ini"));
    store.setPathAndLoad(dir.file("lib/config.ini"));  // no file there
    store.checkVersion();                              // stamp matches: nothing reset
    EXPECT_EQ(store.getString("General.Ip", ""), "10.0.0.5");
    EXPECT_FALSE(std::filesystem::exists(dir.file("lib/config.ini")));
    store.set("Tutorial.MenuFinished", true, true);
    EXPECT_EQ(readFile(dir.file("lib/config.ini")), kStampFile + "[General]\nIp=10.0.0.5\n[Tutorial]\nMenuFinished=1\n");
}

TEST(ConfigStore, DeepKeyIsKeptInMemoryButNotWritten) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    const std::string out = captureStdout([&] { store.setString("A.B.C", "x", true); });
    EXPECT_NE(out.find("[E]["), std::string::npos);
    EXPECT_EQ(store.getString("A.B.C", ""), "x");
    EXPECT_EQ(readFile(path), kStampFile);
}

TEST(ConfigStore, ConcurrentPersistentSetsLeaveACompleteFile) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                store.set("T" + std::to_string(t) + ".K" + std::to_string(i), i, true);
                (void)store.get<int>("T0.K0", "0");
            }
        });
    }
    for (auto& th : threads) th.join();
    ConfigStore reread(path);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(reread.get<int>("T" + std::to_string(t) + ".K" + std::to_string(i), "-1"), i);
}

TEST(ConfigStore, ValuesThatWouldBreakTheFileAreKeptForThisRunOnly) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    store.set("Tutorial.MenuFinished", true, true);
    const std::string before = readFile(path);
    struct Case { std::string key; std::string value; };
    const Case cases[] = {
        {"Benchmark.RenderName", "two\nlines"},
        {"Benchmark.Other", "carriage\rreturn"},
        {"Benchmark.a=b", "x"},
        {"Benchmark.;comment", "x"},
        {"[Section].Key", "x"},
    };
    for (const auto& c : cases) {
        const std::string out = captureStdout([&] { store.setString(c.key, c.value, true); });
        EXPECT_NE(out.find("[E]["), std::string::npos) << c.key;
        EXPECT_EQ(store.getString(c.key, ""), c.value) << c.key;
    }
    EXPECT_EQ(readFile(path), before);
    ConfigStore restarted(path);
    restarted.checkVersion();
    EXPECT_TRUE(restarted.get<bool>("Tutorial.MenuFinished", "0")) << "nothing else was lost";
}

// Each save replaces the file (a new inode), so an unchanged inode means no write.
TEST(ConfigStore, SettingTheStoredValueAgainWritesNothing) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ConfigStore store(path);
    store.checkVersion();
    auto inode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    store.set("General.Quality", 4, true);
    const auto written = inode();
    for (int i = 0; i < 60; ++i) store.set("General.Quality", 4, true);
    EXPECT_EQ(inode(), written) << "the same value was written again";

    store.set("General.Quality", 5, true);
    EXPECT_NE(inode(), written);
    EXPECT_EQ(ConfigStore(path).get<int>("General.Quality", "0"), 5);

    // After a failed write the same value is written again, so the file catches up.
    const std::string sub = dir.file("sub");
    std::filesystem::create_directory(sub);
    ConfigStore inSub(sub + "/config.ini");
    inSub.set("General.Quality", 1, true);
    std::filesystem::remove_all(sub);
    inSub.set("General.Quality", 2, true);  // cannot be written: the folder is gone
    std::filesystem::create_directory(sub);
    inSub.set("General.Quality", 2, true);
    EXPECT_EQ(ConfigStore(sub + "/config.ini").get<int>("General.Quality", "0"), 2);

    // A value held only for this run is persisted when it is set persistently.
    store.setString("Decoder.Last", "DXVA", false);
    store.setString("Decoder.Last", "DXVA", true);
    EXPECT_EQ(ConfigStore(path).getString("Decoder.Last", ""), "DXVA");
}
