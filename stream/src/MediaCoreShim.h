#pragma once
// Settings and thread naming for the media path.

#include <pthread.h>

#include <string>

#if __has_include("core/ConfigStore.h")
#include "core/ConfigStore.h"
inline bool mediaSettingBool(const char* key, const char* defaultText) {
    return ConfigStore::instance().get<bool>(key, defaultText);
}
#else
inline bool mediaSettingBool(const char*, const char* defaultText) { return std::string(defaultText) == "1"; }
#endif

#if __has_include("core/SystemHelpers.h")
#include "core/SystemHelpers.h"
inline void mediaSetThreadName(const char* name) { SetThreadName(name); }
#else
inline void mediaSetThreadName(const char* name) {
    char shortName[16] = {};
    std::string(name).copy(shortName, 15);
    pthread_setname_np(pthread_self(), shortName);
}
#endif
