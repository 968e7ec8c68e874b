// The client's entry point: process-wide initialisation in a fixed order, then the tail.
//
// The mode choice and the windows join later; for now the program initialises what
// exists, reports it and ends.

#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <string>

#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "core/Random.h"
#include "core/SystemHelpers.h"

namespace {

const char* const kVersionText = "0.0.33-2-gc4ebe4b";
const wchar_t* const kVersionTextWide = L"0.0.33-2-gc4ebe4b";
const wchar_t* const kApplicationName = L"NimbrostaClient";

// The lib folder, computed once.
const std::wstring& libFolderWide() {
    static const std::wstring folder = utf8ToWide(getLibFolder());
    return folder;
}

void initApplication() {
    seedRandom(static_cast<unsigned>(std::time(nullptr)));

    const std::string lib = getLibFolder();
    LanguageStore& language = LanguageStore::instance();
    language.setFolder(lib);
    language.load(language.currentCode());

    ConfigStore& config = ConfigStore::instance();
    config.setPathAndLoad(joinPath(lib, "config.ini"));
    config.checkVersion();

    SetThreadName("Main Thread");
    InstallCrashReporting(kApplicationName, kVersionTextWide, true, libFolderWide().c_str());
    DisableExceptionSwallowing();
}

}  // namespace

int main(int argc, char** argv) {
    // Every argument is echoed as it arrived, without separators.
    for (int i = 0; i < argc; ++i) std::printf("%s", argv[i]);

    curl_global_init(CURL_GLOBAL_ALL);
    initApplication();

    LogLine(0, "main", __LINE__).stream() << "Nimbrosta client " << kVersionText << ", settings "
                                          << ConfigStore::instance().path() << ", language "
                                          << LanguageStore::instance().currentCode();

    UninstallCrashReporting();
    curl_global_cleanup();
    return 0;
}
