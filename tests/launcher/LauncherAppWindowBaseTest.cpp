// The remembered login and the launcher's language file, byte for byte, on a scratch
// per-user folder; and the RC4 cipher they rest on.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestSupport.h"
#include "core/LanguageStore.h"
#include "launcher/LauncherAppWindowWin32.h"
#include "launcher/Rc4Cipher.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string unhex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

// A launcher window object (never shown) whose per-user folder is a fresh scratch folder.
struct ScratchLauncher {
    testsupport::TempDir home;
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.path().c_str()};
    LauncherAppWindowWin32 window{LauncherOptions(), platform::makeLoggingTrayIcon({})};

    ScratchLauncher() { mkdir(window.perUserFolder().c_str(), 0700); }
    std::string file() const { return window.userDataPath(); }
};

}  // namespace

TEST(Rc4Cipher, BothImplementationsGiveTheKnownKeyStreams) {
    struct Case {
        std::string key, plain, cipherHex;
    };
    const Case cases[] = {
        // Published test vectors of the cipher.
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
        // The remembered login's key, its terminating zero included.
        {LauncherAppWindowBase::userDataKey(), "alice\tp\tw", "a3a978952cbe731883"},
        {LauncherAppWindowBase::userDataKey(), "", ""},
    };
    EXPECT_TRUE(Rc4Cipher::haveOpenSsl()) << "OpenSSL's legacy provider is part of libssl3";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(hex(Rc4Cipher::apply(c.key, c.plain)), c.cipherHex);
        EXPECT_EQ(hex(Rc4Cipher::applyPortable(c.key, c.plain)), c.cipherHex);
        EXPECT_EQ(Rc4Cipher::apply(c.key, unhex(c.cipherHex)), c.plain);
    }
}

TEST(LauncherAppWindowBase, TheRememberedLoginIsStoredByteExactAndReadBack) {
    struct Case {
        std::string login, password, fileHex;
    };
    const Case cases[] = {
        // The password keeps its own TAB: the split is at the first one.
        {"alice", "p\tw", "a3a978952cbe731883"},
        // An empty login: the file starts with the enciphered TAB.
        {"", "secret", "cbb674953bd277"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileHex);
        ScratchLauncher s;
        s.window.setUserLogonData(c.login, c.password, true);
        EXPECT_EQ(hex(readFile(s.file())), c.fileHex);
        struct stat st {};
        ASSERT_EQ(stat(s.file().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds a password";
        // The same text gives the same file.
        s.window.setUserLogonData(c.login, c.password, true);
        EXPECT_EQ(hex(readFile(s.file())), c.fileHex);

        ScratchLauncher fresh;
        writeFile(fresh.file(), readFile(s.file()));
        std::string login = "?", password = "?";
        EXPECT_TRUE(fresh.window.getUserLogonData(login, password));
        EXPECT_EQ(login, c.login);
        EXPECT_EQ(password, c.password);
    }
}

TEST(LauncherAppWindowBase, FilesThatAreNoRememberedLoginAreIgnored) {
    const std::string key = LauncherAppWindowBase::userDataKey();
    struct Case {
        const char* what;
        std::string bytes;
        bool remember;
        std::string login;     // what the out arguments hold afterwards
        std::string password;
    };
    const Case cases[] = {
        {"4095 bytes", Rc4Cipher::apply(key, "a\t" + std::string(4093, 'x')), true, "a", std::string(4093, 'x')},
        // Too long: the out arguments are not touched.
        {"4096 bytes", Rc4Cipher::apply(key, "a\t" + std::string(4094, 'x')), false, "untouched", "untouched"},
        // Another key: no TAB comes out. The login known from this run stays; no password.
        {"another key", Rc4Cipher::apply("another key", "bob\tpw"), false, "known@example.com", ""},
        {"empty", "", false, "known@example.com", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchLauncher s;
        s.window.setUserLogonData("known@example.com", "old", false);  // the in-memory login
        writeFile(s.file(), c.bytes);
        std::string login = "untouched", password = "untouched";
        EXPECT_EQ(s.window.getUserLogonData(login, password), c.remember);
        EXPECT_EQ(login, c.login);
        EXPECT_EQ(password, c.password);
    }
}

TEST(LauncherAppWindowBase, ForgettingTheLoginRemovesTheFileQuietly) {
    ScratchLauncher s;
    // No file yet: nothing is created and nothing is logged.
    const std::string out = testsupport::captureStdout([&] { s.window.setUserLogonData("", "", false); });
    EXPECT_EQ(out, "");
    EXPECT_FALSE(std::filesystem::exists(s.file()));

    s.window.setUserLogonData("a@b.c", "pw", true);
    ASSERT_TRUE(std::filesystem::exists(s.file()));
    s.window.setUserLogonData("a@b.c", "pw", false);
    EXPECT_FALSE(std::filesystem::exists(s.file()));
    // No temporary file is left beside it.
    EXPECT_TRUE(std::filesystem::is_empty(s.window.perUserFolder()));
    // The login is still known in this run, without its password.
    std::string login, password;
    EXPECT_FALSE(s.window.getUserLogonData(login, password));
    EXPECT_EQ(login, "a@b.c");
    EXPECT_EQ(password, "");
}

TEST(LauncherAppWindowBase, TheLoginIsStoredEvenWhenThePerUserFolderIsMissing) {
    testsupport::TempDir home;
    testsupport::ScopedEnv data("XDG_DATA_HOME", (home.path() + "/not/yet").c_str());
    LauncherAppWindowWin32 window(LauncherOptions(), platform::makeLoggingTrayIcon({}));
    window.setUserLogonData("a@b.c", "pw", true);
    std::string login, password;
    EXPECT_TRUE(window.getUserLogonData(login, password));
    EXPECT_EQ(readFile(window.userDataPath()).size(), 8u);
}

TEST(LauncherAppWindowBase, TheLanguageComesFromTheLauncherSettings) {
    struct Case {
        const char* what;
        const char* file;  // null: no file
        std::string code;
    };
    const Case cases[] = {
        {"no file", nullptr, "en"},
        {"a language", "Language=de\n", "de"},
        {"no such key", "Other=1\n", "en"},
        {"malformed", "[unclosed\nLanguage=fr\n", "en"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir home;
        testsupport::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
        mkdir((home.path() + "/Nimbrosta").c_str(), 0700);
        if (c.file) writeFile(home.path() + "/Nimbrosta/launcher.config.ini", c.file);
        // The constructor loads it, before any window exists.
        LauncherAppWindowWin32 window(LauncherOptions(), platform::makeLoggingTrayIcon({}));
        EXPECT_EQ(LanguageStore::instance().currentCode(), c.code);
        window.saveLanguage();
        EXPECT_EQ(readFile(window.launcherConfigPath()), "Language=" + c.code + "\n");
    }
    LanguageStore::instance().load("en");
}
