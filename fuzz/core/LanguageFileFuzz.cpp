// Arbitrary bytes as a language file: loaded, then looked up by the keys the file names
// and by fixed ones. A file that gives nothing must leave the texts as they were.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzFiles.h"
#include "core/LanguageStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    static const fuzzfiles::ScratchFolder folder("fuzz-lang");
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzzfiles::writeFile(folder.file("lang_en.ini"), "text_ok=OK\n");
    fuzzfiles::writeFile(folder.file("lang_xx.ini"), input);
    LanguageStore store(folder.path());
    const bool loaded = store.loadFile(folder.file("lang_xx.ini"));
    if (!loaded && store.text("text_ok") != "OK") std::abort();
    if (store.text(LanguageStore::kAltFaceKey) == LanguageStore::kAltFaceKey) std::abort();

    // Every "key=" of the input, as a key.
    std::size_t line = 0;
    while (line < input.size()) {
        std::size_t end = input.find('\n', line);
        if (end == std::string::npos) end = input.size();
        const std::size_t eq = input.find('=', line);
        if (eq < end) (void)store.text(input.substr(line, eq - line)).size();
        line = end + 1;
    }
    for (const char* key : {"menu_settings", "", ".", "a.b", "text_ok"}) (void)store.text(key).size();
    store.load("xx");
    return 0;
}
