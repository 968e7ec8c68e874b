#include "core/LanguageStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"

using testsupport::captureStdout;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(LanguageStore, LooksTextsUpWithTheNewlineRule) {
    TempDir dir;
    writeFile(dir.file("lang_en.ini"),
              "; English\ntext_title = Nimbrosta Launcher\nhello=two\\nlines\nboth=a\\nb\\nc\\\\n\n"
              "player_app_header=Nimbrosta\n[section]\nkey=in section\n");
    LanguageStore store(dir.path());
    EXPECT_EQ(store.currentCode(), "en");
    struct Case { std::string key; std::string expected; };
    const Case cases[] = {
        {"text_title", "Nimbrosta Launcher"},
        {"hello", "two\nlines"},
        {"both", "a\nb\nc\\\n"},
        {"menu_settings", "menu_settings"},   // missing key reads as itself
        {"missing\\nkey", "missing\nkey"},    // the rule applies to the returned key too
        {"faceName_alt_v2", ""},              // added when the file lacks it
        {"section.key", "in section"},
    };
    for (const auto& c : cases) EXPECT_EQ(store.text(c.key), c.expected) << c.key;

    std::string raw = "x\\ny";
    unescapeNewlines(raw);
    EXPECT_EQ(raw, "x\ny");
}

TEST(LanguageStore, MissingOrEmptyFilesKeepThePreviousTexts) {
    TempDir dir;
    writeFile(dir.file("lang_en.ini"), "text_ok=OK\nfaceName_alt_v2=default\n");
    writeFile(dir.file("lang_cm.ini"), "; only a comment\n\n");
    writeFile(dir.file("lang_em.ini"), "");
    writeFile(dir.file("lang_zh.ini"), "text_ok=\xE5\xA5\xBD\n");
    LanguageStore store(dir.path());
    EXPECT_EQ(store.text("faceName_alt_v2"), "default");

    for (const char* code : {"de", "cm", "em"}) {
        store.load(code);
        EXPECT_EQ(store.currentCode(), code);
        EXPECT_EQ(store.text("text_ok"), "OK") << code;
    }
    EXPECT_FALSE(store.loadFile(dir.file("lang_cm.ini")));

    store.load("zh");
    EXPECT_EQ(store.text("text_ok"), "\xE5\xA5\xBD");
    EXPECT_EQ(store.text("faceName_alt_v2"), "") << "texts are replaced as a whole";
}

TEST(LanguageStore, NoFileAtAllReadsKeys) {
    TempDir dir;
    LanguageStore store(dir.path());
    EXPECT_EQ(store.text("menu_settings"), "menu_settings");
    EXPECT_EQ(store.text("faceName_alt_v2"), "");
}

TEST(LanguageStore, SyntaxErrorIsLoggedWithTheFileAndChangesNothing) {
    TempDir dir;
    writeFile(dir.file("lang_en.ini"), "text_ok=OK\n");
    writeFile(dir.file("lang_fr.ini"), "a=1\na=2\n");
    LanguageStore store(dir.path());
    const std::string out = captureStdout([&] { store.load("fr"); });
    EXPECT_NE(out.find("duplicate key"), std::string::npos) << out;
    EXPECT_NE(out.find(dir.file("lang_fr.ini") + "(2)"), std::string::npos) << "names the file and line: " << out;
    EXPECT_NE(out.find("[E]["), std::string::npos) << out;
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(store.text("text_ok"), "OK");
    EXPECT_EQ(store.currentCode(), "fr");
}

TEST(LanguageStore, RefusesCodesThatLeaveTheFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("lib"));
    writeFile(dir.file("lang_x.ini"), "text_ok=outside\n");
    writeFile(dir.file("lib/lang_en.ini"), "text_ok=OK\n");
    LanguageStore store(dir.file("lib"));
    for (const char* code : {"../lang_x", "/etc/passwd", "..", "a\\b"}) {
        const std::string out = captureStdout([&] { store.load(code); });
        EXPECT_NE(out.find("[E]["), std::string::npos) << code;
        EXPECT_EQ(store.currentCode(), "en") << code;
        EXPECT_EQ(store.text("text_ok"), "OK") << code;
    }
    EXPECT_TRUE(LanguageStore::isValidCode("zh-CN"));
}

TEST(LanguageStore, SetFolderRedirectsLoads) {
    TempDir a, b;
    writeFile(a.file("lang_en.ini"), "k=from a\n");
    writeFile(b.file("lang_en.ini"), "k=from b\n");
    LanguageStore store(a.path());
    EXPECT_EQ(store.text("k"), "from a");
    store.setFolder(b.path());
    EXPECT_EQ(store.folder(), b.path());
    store.load(store.currentCode());
    EXPECT_EQ(store.text("k"), "from b");
}

TEST(LanguageStore, LookupsDuringLanguageChangesSeeOneLanguageWhole) {
    TempDir dir;
    writeFile(dir.file("lang_en.ini"), "a=en\nb=en\n");
    writeFile(dir.file("lang_de.ini"), "a=de\nb=de\n");
    LanguageStore store(dir.path());
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop) {
            const std::string a = store.text("a");
            if (a != "en" && a != "de") ++bad;
            (void)store.currentCode();
        }
    });
    for (int i = 0; i < 200; ++i) store.load(i % 2 ? "en" : "de");
    stop = true;
    reader.join();
    EXPECT_EQ(bad, 0);
}
