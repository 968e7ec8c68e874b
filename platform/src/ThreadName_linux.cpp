#include "platform/ThreadName.h"

#include <pthread.h>
#include <string>

namespace platform {

bool setCurrentThreadName(const char* name) {
    if (!name) return false;
    std::string shortened(name);
    if (shortened.size() > kMaxThreadNameBytes) {
        std::size_t cut = kMaxThreadNameBytes;
        // Step back over continuation bytes so a multi-byte character is not split.
        while (cut > 0 && (static_cast<unsigned char>(shortened[cut]) & 0xC0) == 0x80) --cut;
        shortened.resize(cut);
    }
    return ::pthread_setname_np(::pthread_self(), shortened.c_str()) == 0;
}

std::string currentThreadName() {
    char buffer[64] = {0};
    if (::pthread_getname_np(::pthread_self(), buffer, sizeof buffer) != 0) return std::string();
    return buffer;
}

}  // namespace platform
