#pragma once
// Names of threads as debuggers, top and /proc show them.

#include <string>

namespace platform {

// Longest name the kernel keeps, in bytes.
constexpr std::size_t kMaxThreadNameBytes = 15;

// Names the calling thread. Longer names are shortened to 15 bytes without cutting a
// UTF-8 character in two. Returns false when the system refused the name.
bool setCurrentThreadName(const char* name);

// The calling thread's name as the system holds it.
std::string currentThreadName();

}  // namespace platform
