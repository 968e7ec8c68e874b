#include "core/UserLocale.h"

#include <mutex>
#include <stdexcept>

#include "core/LogLine.h"

namespace {
std::mutex g_mutex;
std::locale g_locale = std::locale::classic();
}  // namespace

bool loadUserLocale() {
    std::locale chosen = std::locale::classic();
    bool ok = true;
    try {
        chosen = std::locale("");
    } catch (const std::runtime_error&) {
        ok = false;
        try {
            chosen = std::locale("C.UTF-8");
        } catch (const std::runtime_error&) {
            chosen = std::locale::classic();
        }
        NIMBROSTA_LOG(40, "loadUserLocale") << "the locale of the environment is not installed, using "
                                            << chosen.name();
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_locale = chosen;
    return ok;
}

std::locale userLocale() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_locale;
}
